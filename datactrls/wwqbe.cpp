#include "datactrls/wwqbe.h"

#include <cctype>

#include "datactrls/wwdbroutines.h"
#include "dbengine/qbesql.h"
#include "platform/classlib/core/typinfo.h"

IMPLEMENT_CLASS(TwwQBE, TDBDataSet)
PUBLISHED(TwwQBE) {
  PublishBDEDatasetProperties(P);
  PublishDBDatasetProperties(P);
  PROP_OBJ(QBE, QBE, SetQBE);
  PROP_STR(AnswerTable, AnswerTable, AnswerTable, "");
  PROP_BOOL(AuxiliaryTables, AuxiliaryTables, AuxiliaryTables, true);
  PROP_BOOL(BlankAsZero, BlankAsZero, BlankAsZero, true);
  PublishLibrarySettings(P);
}

namespace {
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '#' || c == '%'; }
}  // namespace

std::string wwComposeQbeLine(const std::string& line) {
  std::string out;
  for (std::size_t i = 0; i < line.size();) {
    std::size_t end = i + 1;
    while (line[i] == '~' && end < line.size() && IsNameChar(line[end])) ++end;
    bool named = line[i] == '~' && end > i + 1;
    out += named ? std::string(1, ' ') : line.substr(i, 1);
    i = named ? end : i + 1;
  }
  return out;
}

TwwQBE::TwwQBE(TComponent* owner) : TwwLibrarySettings(owner) {
  ValidateWithMask = false;  // an example answer is checked by no mask
}

void TwwQBE::SetQBE(TStrings* lines) {
  bool reopen = Active();
  Close();
  qbe_->Assign(lines);
  if (reopen) Open();
}

std::string TwwQBE::ComposeQbeText() const {
  std::string text;
  for (int i = 0; i < qbe_->Count(); ++i) text += wwComposeQbeLine((*qbe_)[i]) + "\r\n";
  return text;
}

TBaseTable* TwwQBE::OpenCursorHandle() {
  noResult_ = false;
  if (qbe_->Count() == 0 || (*qbe_)[0].empty()) return TwwLibrarySettings::OpenCursorHandle();
  for (;;) {
    TBaseTable* cursor = nullptr;
    // The answer table is written while the statement that made the rows lives.
    DBIResult code = wwRunStatementText(this, kQbeLanguage, ComposeQbeText(), AuxiliaryTables, BlankAsZero, cursor,
                                        [this](TSqlStmt* statement) { wwPrepareAnswerTable(this, statement, AnswerTable); });
    // The engine's security answers: ask for a password and try again.
    if (code != dberr::None) {
      auto* session = As<TSession>(DBSession());
      if (session && session->GetPassword()) continue;
      return nullptr;
    }
    noResult_ = cursor == nullptr;
    return cursor;
  }
}
