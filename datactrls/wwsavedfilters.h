#pragma once
// Named sets of filter-dialog conditions kept in one text file, and the small
// window that lists the stored names.
//
// The file: CR LF lines; each set is its name line, one line per condition of
// seven TAB-separated fields (FieldName, DisplayLabel, MatchType as a decimal
// number, FilterValue, MinValue, MaxValue, "True"/"False" for CaseSensitive),
// then the delimiter line. Only name lines are names: a condition line or a
// delimiter never matches one.

#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/component.h"

class TButton;
class TListBox;
class TStrings;
class TwwFilterDialog;

inline constexpr const char* kwwSavedFilterExists = "\"%s\" already exists.  Overwrite?";
inline constexpr const char* kwwSavedFilterBadName =
    "A saved filter cannot be named \"%s\": a name must not equal the delimiter line or hold a line break.";
inline constexpr const char* kwwSavedFilterBadText =
    "The filter cannot be saved: the %s of field \"%s\" holds a TAB or a line break, which the "
    "saved-filters file cannot store.";
inline constexpr const char* kwwSavedFilterDamaged = "The saved filter \"%s\" is damaged and was not loaded: %s";
inline constexpr const char* kwwSavedFiltersDamaged = "These saved filters are damaged and are not listed:";

class TwwSaveFilter : public TComponent {
  DECLARE_CLASS(TwwSaveFilter, TComponent)
 public:
  explicit TwwSaveFilter(TComponent* owner = nullptr);
  ~TwwSaveFilter() override;

  std::string Delimiter = "///";
  std::string FilePath;
  bool OverwriteMessage = true;
  TwwFilterDialog* wwFilterDialog() const { return dialog_; }
  void SetwwFilterDialog(TwwFilterDialog* value);

  // Stores the dialog's conditions under Name (appended at the end of the
  // file, which is made when missing). True when saved; false for an empty
  // name, a refused overwrite, or a name or value the file cannot hold
  // (reported).
  virtual bool SaveFilter(const std::string& name);
  // Removes the set of that name; true when one was removed. The file is
  // written only when it changed.
  virtual bool DeleteFilter(const std::string& name);
  // Replaces the dialog's conditions by the set and applies them. False when
  // no set has that name, or when the set is damaged (reported; the dialog's
  // conditions stay as they were).
  virtual bool LoadFilter(const std::string& name);
  // The names of the readable sets; damaged sets are reported once. False
  // when there is none or no file.
  virtual bool GetFilterNames(TStrings* list);
  virtual bool FilterExists(const std::string& name);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TwwFilterDialog* dialog_ = nullptr;
};

// The lines of one stored set, as found in the file (0-based line numbers).
struct TwwSavedFilterSet {
  std::string Name;
  int NameLine = 0;
  int EndLine = 0;       // the delimiter line, or one past the last line when missing
  bool Closed = false;   // a delimiter line ends it
  std::string Damage;    // why the set cannot be loaded; empty when it can
};
// The sets of a file's lines. Empty lines and stray delimiter lines between
// sets are passed over.
std::vector<TwwSavedFilterSet> wwReadSavedFilterSets(TStrings* lines, const std::string& delimiter);

// The window that lists stored names: double click closes it with OK; Delete
// removes the selected name from the list only (the caller decides what to do
// with names that are gone).
class TSelectSaveFilter : public TForm {
  DECLARE_CLASS(TSelectSaveFilter, TForm)
 public:
  explicit TSelectSaveFilter(TComponent* owner);
  TListBox* FiltersBox;
  TButton* Button1;
  TButton* Button2;
};
