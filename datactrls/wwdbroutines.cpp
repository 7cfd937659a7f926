#include "datactrls/wwdbroutines.h"

#include <cctype>
#include <vector>

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwtable.h"
#include "dbengine/basedatabase.h"
#include "dbengine/ttsession.h"
#include "dbengine/tttable.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/db/fielddefs.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

// ":alias:table" with the alias's directory in front of the table; empty
// when the alias has no path.
std::string AliasAnswerName(const std::string& name) {
  std::string rest = name.substr(1);
  std::size_t colon = rest.find(':');
  if (colon == std::string::npos || colon == 0) return {};  // no alias named
  std::string path = wwGetAliasPath(rest.substr(0, colon));
  if (path.empty()) return {};
  std::string table = rest.substr(colon + 1);
  bool joined = path.back() == '\\' || (!table.empty() && table.front() == '\\');
  return path + (joined ? "" : "\\") + table;
}

// A name on a drive other than the one of the session's private directory.
bool OnAnotherDrive(const std::string& name, TttSession* session) {
  if (name.size() < 2 || name[1] != ':') return false;
  std::string priv = session != nullptr ? session->PrivateDir() : std::string();
  return priv.empty() || std::toupper(static_cast<unsigned char>(priv.front())) !=
                             std::toupper(static_cast<unsigned char>(name.front()));
}

// Runs the statement into the answer table; the statement keeps no answer
// name, so that its next run writes nothing.
DBIResult RunIntoAnswer(TVirtEng* engine, TSqlStmt* statement, const std::string& name) {
  DBIResult code = engine->SetProperty(statement, kStatementAnswerNameProperty,
                                       reinterpret_cast<TPropertyValue>(name.c_str()));
  if (code == 0) code = engine->ExecuteStatement(statement, nullptr);
  engine->SetProperty(statement, kStatementAnswerNameProperty, 0);
  return code;
}

// The class library's table behind a dataset; nil for any other dataset
// (the engine's own tables are no tables of the class library).
TttTable* LibraryTable(TDataSet* dataSet) {
  auto* table = dynamic_cast<TttTable*>(dataSet);
  return table != nullptr && wwInheritsFromName(dataSet, "TTable") ? table : nullptr;
}

std::vector<std::string> FieldNames(const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (std::size_t end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
    names.push_back(list.substr(start, end - start));
  names.push_back(list.substr(start));
  return names;
}

// Reopens the table on the index, then finds the nearest record to the
// remembered key values.
void ReopenOnIndex(TttTable* table, const TIndexDef* index) {
  std::vector<std::string> fields = FieldNames(index->Fields());
  std::vector<std::string> values;
  for (const std::string& field : fields) values.push_back(table->FieldByName(field)->AsString());
  table->Close();
  table->SetIndexName(index->Name());
  table->Open();
  table->SetKey();
  for (std::size_t i = 0; i < fields.size(); ++i) table->FieldByName(fields[i])->SetAsString(values[i]);
  table->GotoNearest();
}

}  // namespace

void wwSetIndexKeepPosition(TDataSet* dataSet, const TIndexDef* index) {
  TttTable* table = LibraryTable(dataSet);
  if (table == nullptr || index == nullptr) return;
  bool sqlBased = table->Active() && table->Database() != nullptr && table->Database()->IsSQLBased();
  // The library's table reopens only when it keeps its SQL range in step.
  auto* libraryTable = dynamic_cast<TwwTable*>(table);
  if (!sqlBased || (libraryTable != nullptr && !libraryTable->SyncSQLByRange)) {
    table->SetIndexName(index->Name());
    return;
  }
  if (table->IndexName() == index->Name()) return;
  TwwBusyScope busy(table);
  ReopenOnIndex(table, index);
}

TwwBusyScope::TwwBusyScope(TDataSet* dataSet)
    : dataSet_(dataSet), previous_(Screen ? Screen->Cursor() : crDefault) {
  if (Screen) Screen->SetCursor(crHourGlass);
  dataSet_->DisableControls();
}

TwwBusyScope::~TwwBusyScope() {
  dataSet_->EnableControls();
  if (Screen) Screen->SetCursor(previous_);
}

bool wwPrepareAnswerTable(TDataSet* dataSet, TSqlStmt* statement, const std::string& answerName) {
  if (answerName.empty()) return false;
  auto* owner = dynamic_cast<TttDBDataset*>(dataSet);
  TVirtEng* engine = owner != nullptr ? owner->Engine() : nullptr;
  if (engine == nullptr || statement == nullptr) return false;
  std::string name = answerName;
  if (name.front() == ':') {
    name = AliasAnswerName(name);
    if (name.empty()) {
      MessageDlg("Invalid Alias in QBE", mtError, {mbOK}, 0);
      return false;
    }
  }
  try {
    if (OnAnotherDrive(name, owner->DBSession())) {
      // Made explicitly in that place: this engine keeps no tables outside
      // its database files, so there is none there to delete first, and a
      // refusal of the place is reported as any failure here.
      EngineCheck(engine, RunIntoAnswer(engine, statement, name));
      return true;
    }
    DBIResult code = RunIntoAnswer(engine, statement, name);
    if (code == 0) return true;
    ShowMessage(ETDBEngineError(engine, code).Message() + "(" + name + ")");
  } catch (const Exception&) {
    MessageDlg("Unable to create answer table " + name, mtWarning, {mbOK}, 0);
  }
  return false;
}
