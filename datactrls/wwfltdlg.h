#pragma once
// The filter dialog component: a list of per-field search conditions for the
// dataset of its data source, edited in the filter window and applied either
// by a record callback (local filter) or by rewriting a query's WHERE clause.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/datasource.h"

class TQuery;
class TwwFilterDlg;
class TwwFilterDialog;
class TwwLocalFilter;

DECLARE_ENUM(TwwFilterMatchType, fdMatchStart, fdMatchAny, fdMatchExact, fdMatchEnd, fdMatchRange, fdMatchNone)
DECLARE_ENUM(TwwFilterMethod, fdByFilter, fdByQueryModify, fdByQueryParams)
DECLARE_ENUM(TwwDefaultFilterBy, fdSmartFilter, fdFilterByRange, fdFilterByValue)
DECLARE_ENUM(TwwFilterDialogSort, fdSortByFieldNo, fdSortByFieldName)
DECLARE_ENUM(TwwFilterOptimization, fdNone, fdUseAllIndexes, fdUseActiveIndex)
DECLARE_ENUM(TwwFilterDialogOption, fdCaseSensitive, fdShowCaseSensitive, fdShowOKCancel, fdShowViewSummary,
             fdShowFieldOrder, fdShowValueRangeTab, fdShowNonMatching)
using TwwFilterDialogOptions = TSet<TwwFilterDialogOption>;

inline constexpr const char* kwwFilterNeedsActiveDataSet =
    "Dataset must be active to perform local filtering (FilterMethod=fdByFilter).";
inline constexpr const char* kwwFilterSameAndOr = "And and Or Operators have the same value.";
inline constexpr const char* kwwFilterOperatorsNotUnique = "Operators do not have a unique value.";
inline constexpr const char* kwwFilterInvalidMethod =
    "Invalid FilterMethod for Dataset. \rOnly fdByFilter is supported for this type of Dataset";
// Heads the one warning about the conditions an apply leaves out.
inline constexpr const char* kwwFilterConditionsSkipped = "These filter conditions cannot be applied and are left out:";

// One search condition. A new one is all empty.
class TwwFieldInfo : public TObject {
  DECLARE_CLASS(TwwFieldInfo, TObject)
 public:
  std::string FieldName;  // empty: found from DisplayLabel before use
  std::string DisplayLabel;
  TwwFilterMatchType MatchType = fdMatchStart;
  std::string FilterValue;
  std::string MinValue;
  std::string MaxValue;
  bool CaseSensitive = false;
  bool NonMatching = false;
  void CopyFrom(const TwwFieldInfo& other);
};
using TwwFieldInfoList = std::vector<std::unique_ptr<TwwFieldInfo>>;
std::unique_ptr<TwwFieldInfo> wwCopyFieldInfo(const TwwFieldInfo& info);

// One field that may be searched.
class TwwDBFieldInfo : public TObject {
  DECLARE_CLASS(TwwDBFieldInfo, TObject)
 public:
  std::string FieldName;     // unique within the list
  std::string SqlFieldName;  // the column as written in SQL
  std::string TableName;     // qualifies the column in SQL; empty for local filtering
  TFieldType DataType = ftUnknown;
  std::string DisplayLabel;
};
using TwwDBFieldInfoList = std::vector<std::unique_ptr<TwwDBFieldInfo>>;

// The words that join alternatives, join requirements and stand for an empty field.
class TwwFieldOperators : public TPersistent {
  DECLARE_CLASS(TwwFieldOperators, TPersistent)
 public:
  const std::string& OrChar() const { return or_; }
  const std::string& AndChar() const { return and_; }
  const std::string& NullChar() const { return null_; }
  // A changed word is stored trimmed of blanks and tabs; when two words are
  // then equal (ignoring case) a warning says so, and the value stays.
  void SetOrChar(const std::string& value) { Store(or_, value); }
  void SetAndChar(const std::string& value) { Store(and_, value); }
  void SetNullChar(const std::string& value) { Store(null_, value); }
  void Assign(const TPersistent* source) override;

 private:
  void Store(std::string& slot, const std::string& value);
  std::string or_ = "or";
  std::string and_ = "and";
  std::string null_ = "null";
};

// ---- splitting a filter value into pieces
enum class TwwFilterJoin { Single, Or, And };
struct TwwFilterPieces {
  TwwFilterJoin Join = TwwFilterJoin::Single;
  std::vector<std::string> Pieces;  // words joined by single blanks
};
// Words are read with blanks and tabs skipped, a double-quoted text one word
// without its quotes; a one-character or/and word also ends a word. The first
// or-word after the first word makes an or-list, else the first and-word an
// and-list.
TwwFilterPieces wwSplitFilterValue(const std::string& value, const TwwFieldOperators& ops);
// True when the value holds the or- or and-word at a join position.
bool wwFilterValueHasJoin(const std::string& value, const TwwFieldOperators& ops);

using TwwFilterDlgEvent = std::function<void(TwwFilterDlg* dialog)>;
using TwwExecuteSQLEvent = std::function<void(TwwFilterDlg* dialog, TQuery* query)>;

// The form that owns the record handler; created with the component, never shown.
class TwwDummyForm : public TForm {
  DECLARE_CLASS(TwwDummyForm, TForm)
 public:
  explicit TwwDummyForm(TwwFilterDialog* dialog);
  ~TwwDummyForm() override;
  TwwFilterDialog* Dialog() const { return dialog_; }
  TDataSet* DataSet = nullptr;
  // The dataset's record callback: Accept when every condition holds.
  void FilterRecord(TDataSet* dataSet, bool& accept);
  TwwLocalFilter* LocalFilter() const { return local_.get(); }

 private:
  TwwFilterDialog* dialog_;
  std::unique_ptr<TwwLocalFilter> local_;
};

class TwwFilterDialog : public TComponent {
  DECLARE_CLASS(TwwFilterDialog, TComponent)
 public:
  explicit TwwFilterDialog(TComponent* owner = nullptr);
  ~TwwFilterDialog() override;

  TDataSource* DataSource() const { return link_->DataSource(); }
  // A source whose dataset is a TTable switches to fdByFilter.
  void SetDataSource(TDataSource* value);
  TDataSet* DataSet() const;
  TwwFilterDialogOptions Options{fdShowCaseSensitive, fdShowOKCancel, fdShowViewSummary, fdShowFieldOrder,
                                 fdShowValueRangeTab};
  TwwFilterDialogSort SortBy = fdSortByFieldNo;
  std::string Caption;
  TwwFilterMethod FilterMethod() const { return filterMethod_; }
  // Only fdByFilter for a dataset that is no query and publishes no Sql.
  void SetFilterMethod(TwwFilterMethod value);
  TwwFilterMatchType DefaultMatchType = fdMatchStart;  // start, any or exact
  TwwDefaultFilterBy DefaultFilterBy = fdSmartFilter;
  std::string DefaultField;
  TwwFieldOperators* FieldOperators() const { return operators_.get(); }
  void SetFieldOperators(TwwFieldOperators* value) { operators_->Assign(value); }
  // Each entry a field name, optionally followed by ";" and a display label.
  TStrings* SelectedFields() const { return selectedFields_.get(); }
  void SetSelectedFields(TStrings* value) { selectedFields_->Assign(value); }
  TwwFilterOptimization FilterOptimization = fdNone;
  TwwFilterDlgEvent OnInitDialog;
  TwwExecuteSQLEvent OnExecuteSQL;

  // The conditions in evaluation order; the component owns them.
  TwwFieldInfoList& FieldInfo() { return conditions_; }
  const TwwFieldInfoList& FieldInfo() const { return conditions_; }
  // The searchable fields, built by the window and by ApplyFilter.
  TwwDBFieldInfoList& FieldList() { return fields_; }
  TwwDBFieldInfo* FindFieldRecord(const std::string& fieldName) const;
  // The query text before the first rewrite (empty until then).
  TStrings* OriginalSql() const { return originalSql_.get(); }

  virtual void InitDialog(TwwFilterDlg* dialog);
  // Shows the window and applies the confirmed conditions; true on OK.
  virtual bool Execute();
  // Rebuilds the field list and applies the conditions without the window.
  void ApplyFilter();
  // Frees every condition; a rewritten query gets its saved text back (it is
  // neither reopened nor refiltered here).
  void ClearFilter();
  // ClearFilter, then the conditions given (all at once: a caller that failed
  // to read them changes nothing).
  void ReplaceConditions(TwwFieldInfoList conditions);
  // The window while it is shown (nil otherwise).
  TwwFilterDlg* Window() const { return window_; }

  void BuildFieldList();
  // The query rewrite (fdByQueryModify).
  void BuildSqlWhere();

 private:
  bool UsesQueryRewrite() const;
  // The name of the field a label shows: the dataset's field of that label,
  // else the field record of that label.
  std::string FieldNameForLabel(const std::string& label) const;
  void Apply();
  void InstallLocalFilter(TDataSet* dataSet);
  void RemoveLocalFilter(TDataSet* dataSet);
  void BuildQueryFieldList();
  std::unique_ptr<TDataLink> link_;
  std::unique_ptr<TwwFieldOperators> operators_ = std::make_unique<TwwFieldOperators>();
  std::unique_ptr<TStringList> selectedFields_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> originalSql_ = std::make_unique<TStringList>();
  TwwFieldInfoList conditions_;
  TwwDBFieldInfoList fields_;
  TwwDummyForm* dummy_ = nullptr;
  TwwFilterDlg* window_ = nullptr;
  TDataSet* installedOn_ = nullptr;  // the dataset that calls the record handler
  TwwFilterMethod filterMethod_ = fdByFilter;
  bool showWindow_ = true;
  bool rangeSet_ = false;  // the index optimisation set a range on the table
};

// True for a dataset that publishes a Sql text list (the query rewrite's datasets).
bool wwHasSqlProperty(TObject* dataSet);
TStrings* wwSqlProperty(TObject* dataSet);
