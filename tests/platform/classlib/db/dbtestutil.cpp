#include "dbtestutil.h"

void FillNumbered(TMemDataSet& ds, int rows) {
  ds.FieldDefs().Add("ID", ftInteger);
  ds.FieldDefs().Add("Name", ftString, 20);
  ds.FieldDefs().Add("Amount", ftFloat);
  ds.Open();
  for (int i = 1; i <= rows; ++i)
    ds.AppendRecord({Variant(i), Variant("N" + std::to_string(i)), Variant(i * 1.5)});
  ds.First();
}

std::unique_ptr<TMemDataSet> MakeNumbered(int rows, TComponent* owner) {
  auto ds = std::make_unique<TMemDataSet>(owner);
  FillNumbered(*ds, rows);
  return ds;
}

void EventLog::Attach(TDataSet& ds) {
  auto rec = [this](const char* name) {
    return [this, name](TDataSet*) { names.push_back(name); };
  };
  ds.BeforeOpen = rec("BeforeOpen");
  ds.AfterOpen = rec("AfterOpen");
  ds.BeforeClose = rec("BeforeClose");
  ds.AfterClose = rec("AfterClose");
  ds.BeforeInsert = rec("BeforeInsert");
  ds.AfterInsert = rec("AfterInsert");
  ds.BeforeEdit = rec("BeforeEdit");
  ds.AfterEdit = rec("AfterEdit");
  ds.BeforePost = rec("BeforePost");
  ds.AfterPost = rec("AfterPost");
  ds.BeforeCancel = rec("BeforeCancel");
  ds.AfterCancel = rec("AfterCancel");
  ds.BeforeDelete = rec("BeforeDelete");
  ds.AfterDelete = rec("AfterDelete");
  ds.BeforeScroll = rec("BeforeScroll");
  ds.AfterScroll = rec("AfterScroll");
  ds.BeforeRefresh = rec("BeforeRefresh");
  ds.AfterRefresh = rec("AfterRefresh");
  ds.OnNewRecord = rec("OnNewRecord");
}

std::string EventLog::Joined() const {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : " ") + n;
  return s;
}

std::string TRecordingLink::Joined() const {
  std::string s;
  for (const auto& c : calls) s += (s.empty() ? "" : ", ") + c;
  return s;
}

std::vector<std::string> TRecordingLink::Rows(const std::string& fieldName) {
  std::vector<std::string> rows;
  int saved = ActiveRecord();
  for (int i = 0; i < RecordCount(); ++i) {
    SetActiveRecord(i);
    rows.push_back(DataSet()->FieldByName(fieldName)->AsString());
  }
  SetActiveRecord(saved);
  return rows;
}
