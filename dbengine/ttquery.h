#pragma once
// The SQL dataset: keeps the SQL text and its parameters, prepares an engine
// statement on the database, binds the parameter values, executes the
// statement and reads the resulting cursor. Its parameters travel in form
// files as the binary "Data" property.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/ttblobstream.h"
#include "dbengine/tttable.h"
#include "platform/classlib/db/params.h"

class TttQuery;

namespace querytext {
inline constexpr const char* NoSQLStatement = "No SQL statement available";
inline constexpr const char* NoParameterValue = "No value for parameter '%s'";
inline constexpr const char* BadParamStream = "Unable to load bind parameters";
inline constexpr const char* ParamTooBig = "Parameter '%s', cannot save data larger than %d bytes";
inline constexpr const char* UnsupportedType = "Field '%s' is of an unsupported type";
inline constexpr const char* UnknownType = "Field '%s' is of unknown type";
}  // namespace querytext

// A named, typed parameter value (native forms as the class library's TParam).
class TttParam : public TParam {
  DECLARE_CLASS(TttParam, TParam)
 public:
  explicit TttParam(TCollection* collection = nullptr) : TParam(collection) {}
};

// The native size of a parameter, refusing the types that have no stored form.
int CheckedDataSize(const TParam* param);

class TttParams : public TParams {
  DECLARE_CLASS(TttParams, TParams)
 public:
  explicit TttParams(TPersistent* owner = nullptr);
  // The first parameter that bears the name of the index-th one.
  TParam* Items(int index) const;
  TParam* CreateParam(TFieldType type, const std::string& name, TParamType paramType);

  static constexpr int kMaxStoredValue = 2048;
  // The "Data" stream of form files; versions 1 and 2 are read, 1 is written.
  void ReadBinaryData(TStream* stream);
  void WriteBinaryData(TStream* stream) const;
};

// Rewrites ":name" markers of SQL text as "?" ("::" is a colon; quoted text
// and quoted names are kept apart) and, with a list, adds one parameter per
// marker. Returns the new text.
std::string ScanQueryParams(const std::string& sql, TttParams* params);

// Takes parameter values from the master data source of a query.
class TttQueryDataLink : public TDataLink {
  DECLARE_CLASS(TttQueryDataLink, TDataLink)
 public:
  explicit TttQueryDataLink(TttQuery* query) : query_(query) {}

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;
  void CheckBrowseMode() override;

 private:
  TttQuery* query_;
};

class TttQuery : public TttDBDataset {
  DECLARE_CLASS(TttQuery, TttDBDataset)
 public:
  explicit TttQuery(TComponent* owner = nullptr);
  ~TttQuery() override;

  TStrings* SQL() const { return sql_.get(); }
  void SetSQL(TStrings* sql);
  const std::string& SQLText() const { return sqlText_; }
  TttParams* Params() const { return params_.get(); }
  void SetParams(TttParams* params) { params_->AssignValues(params); }
  TParam* ParamByName(const std::string& name) const { return params_->ParamByName(name); }
  int ParamCount() const { return params_->Count(); }
  bool ParamCheck() const { return paramCheck_; }
  void SetParamCheck(bool on) { paramCheck_ = on; }
  bool RequestLive() const { return requestLive_; }
  void SetRequestLive(bool on) { requestLive_ = on; }
  bool Constrained() const { return constrained_; }
  void SetConstrained(bool on) { constrained_ = on; }
  bool UniDirectional() const { return uniDirectional_; }
  void SetUniDirectional(bool on) { uniDirectional_ = on; }
  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* source);
  TDataSource* GetDataSource() const override { return DataSource(); }
  bool Prepared() const { return prepared_; }
  void SetPrepared(bool value);
  void Prepare() { SetPrepared(true); }
  void UnPrepare() { SetPrepared(false); }
  // The rows the last execution changed: asked of the statement while the
  // query is prepared, else the count kept when it was unprepared; -1 when
  // unknown.
  int RowsAffected() const;
  bool Local() const { return local_; }
  TSqlStmt* StmtHandle() const { return statement_; }
  // Runs a statement that returns no rows.
  void ExecSQL();

  void DisconnectFromDatabase() override;
  void SetDatabaseUseFlag(TDatabaseUse flag, bool value) override;
  // Re-opens the query with the master's current values.
  void RefreshParams();
  void DefineProperties(TFiler* filer) override;

 protected:
  TBaseTable* OpenCursorHandle() override;
  // What a statement is prepared from: the SQL text with "?" markers.
  virtual const std::string& StatementSource() const { return sqlText_; }
  // The error text when there is none.
  virtual const char* MissingSourceText() const { return querytext::NoSQLStatement; }
  virtual void PrepareStatement();
  virtual void BindParams();
  TSqlStmt*& StatementSlot() { return statement_; }
  // The engine's image of the parameter values: one descriptor per
  // parameter and one value buffer (long texts and blobs through pointer
  // slots into `texts`).
  struct TParamImage {
    std::vector<TFieldDesc> descs;
    std::vector<std::uint8_t> values;
    std::vector<std::string> texts;
  };
  TParamImage ParamImage();

 private:
  void QueryChanged();
  void FreeStatement();
  void SetParamsFromSource();

  std::unique_ptr<TStringList> sql_;
  std::unique_ptr<TttParams> params_;
  std::unique_ptr<TttQueryDataLink> dataLink_;
  std::string sqlText_;
  std::vector<std::uint8_t> sqlBinary_;
  TSqlStmt* statement_ = nullptr;
  bool prepared_ = false;
  bool local_ = false;
  bool paramCheck_ = true;
  bool requestLive_ = false;
  bool constrained_ = false;
  bool uniDirectional_ = false;
  bool checkRowsAffected_ = false;
  int rowsAffected_ = -1;
};

// The published properties of queries (the engine's and the class library's).
template <class C>
void PublishQueryProperties(classlib_detail::TPublisher<C>& P) {
  using Class = C;
  PROP_BOOL(Constrained, Constrained, SetConstrained, false);
  PROP_OBJ(DataSource, DataSource, SetDataSource);
  PROP_BOOL(ParamCheck, ParamCheck, SetParamCheck, true);
  PROP_BOOL(RequestLive, RequestLive, SetRequestLive, false);
  PROP_OBJ(SQL, SQL, SetSQL);
  PROP_BOOL(UniDirectional, UniDirectional, SetUniDirectional, false);
  PROP_ENUM(UpdateMode, UpdateMode, SetUpdateMode, upWhereAll);
  PROP_OBJ(UpdateObject, UpdateObject, SetUpdateObject);
}
