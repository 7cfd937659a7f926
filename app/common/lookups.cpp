#include "app/common/lookups.h"

#include <memory>
#include <utility>

#include "app/common/beepmessage.h"
#include "app/common/components.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

bool IsBlankName(const std::string& text) { return Trim(text).empty(); }

namespace {

// The date a box stamped into the entry being edited, so that the date goes
// again with the name.
struct TStamp {
  bool made = false;
  TDateTime value = 0;
};

bool IsEditing(const TDataSet* entries) {
  return entries && (entries->State() == dsEdit || entries->State() == dsInsert);
}

// The entry's date goes to `stamp()` for a name given while it is empty.
void StampWhenEmpty(TDataSet* entries, const char* dateField, TDateTime (*stamp)(),
                    const std::string& name, TStamp* stamped = nullptr) {
  if (IsBlankName(name) || !entries || !entries->Active()) return;
  TField* date = entries->FieldByName(dateField);
  if (!date->IsNull()) return;
  entries->Edit();
  const TDateTime now = stamp();
  date->SetAsDateTime(now);
  if (stamped) *stamped = {true, now};
}

// The box holds no name again (erased, or Escape showing the entry's empty
// value): the date it stamped in this edit goes with the name, and the entry
// is dated as it was. A date changed since, or an entry no longer being
// edited (posted, or another one), is left alone.
void DropStamp(TDataSet* entries, const char* dateField, TStamp& stamped) {
  const TStamp was = std::exchange(stamped, {});
  if (!was.made || !IsEditing(entries)) return;
  TField* date = entries->FieldByName(dateField);
  if (!date->IsNull() && date->AsDateTime() == was.value) date->Clear();
}

}  // namespace

bool AppendRowText(TDataSet* table, const std::string& field, const std::string& value) {
  // Nothing half stored: the row appended here goes. A row the user was
  // typing before (whose post the append asked for) is the user's and stays.
  bool appended = false;
  const auto dropAppended = [&] {
    if (appended && table->State() == dsInsert) table->Cancel();
  };
  try {
    table->Append();
    appended = true;
    table->FieldByName(field)->SetAsString(value);
    table->Post();
    return true;
  } catch (const EAbort&) {
    // Whoever aborted (the table's post-error handler) has told the user.
    dropAppended();
    return false;
  } catch (const Exception& e) {
    dropAppended();
    ShowBeepMessage(e.Message(), kMsgError);
    return false;
  }
}

void AppendWhenNotInList(TwwDBLookupCombo* combo, TDataSet* entries) {
  combo->OnNotInList = [combo, entries](TObject*, TDataSet* table, const std::string& value,
                                        bool& accept) {
    // Blanks are no name: no list takes them, and the entry's field clears them.
    if (IsBlankName(value)) return;
    accept = table && AppendRowText(table, combo->LookupField(), value);
    if (!accept || !entries) return;
    entries->Edit();
    entries->FieldByName(combo->DataField())->SetAsString(value);
  };
}

TwwDBLookupCombo* NewLookupCombo(TComponent* owner, TWinControl* parent, const char* name,
                                 TDataSource* source, const char* field, TDataSet* table,
                                 const char* lookupField) {
  auto* combo = NewControl<TwwDBLookupCombo>(owner, parent, name);
  combo->SetDataSource(source);
  combo->SetDataField(field);
  combo->SetLookupTable(table);
  combo->SetLookupField(lookupField);
  // Typing completes the text with the first matching value, the rest
  // selected, so that a name is given by its first letters; the list stays
  // closed until asked for.
  combo->SetShowMatchText(true);
  AppendWhenNotInList(combo);
  return combo;
}

void StampDateOnChoice(TwwDBLookupCombo* combo, TDataSet* entries, const char* dateField,
                       TDateTime (*stamp)()) {
  auto stamped = std::make_shared<TStamp>();
  // A record taken from the list, also the one the box already showed.
  combo->OnCloseUp = [=](TObject*, TDataSet*, TDataSet*, bool) {
    if (combo->CloseUpTookRecord())
      StampWhenEmpty(entries, dateField, stamp, combo->EditText(), stamped.get());
  };
  // The text the user gives the box: typed, pasted or completed. Moving
  // through the open list only looks (what is taken from it stamps at
  // close-up); the field's value shown again (moving, cancelling) is no
  // change of the user's. A box left without a name takes its stamp back.
  combo->OnChange = [=](TObject*) {
    if (IsBlankName(combo->EditText())) DropStamp(entries, dateField, *stamped);
    else if (combo->Focused() && !combo->ShowingField() && !combo->IsDroppedDown())
      StampWhenEmpty(entries, dateField, stamp, combo->EditText(), stamped.get());
  };
}

void KeepPersonField(TDataSet* entries, const char* personField, const char* dateField,
                     TDateTime (*stamp)()) {
  entries->FieldByName(personField)->OnChange = [=](TField* person) {
    const std::string name = person->AsString();
    if (!IsBlankName(name)) {
      if (dateField) StampWhenEmpty(entries, dateField, stamp, name);
    } else if (!person->IsNull()) {
      person->Clear();
    }
  };
}
