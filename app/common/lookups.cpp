#include "app/common/lookups.h"

#include "app/common/beepmessage.h"
#include "app/common/components.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {

// Some keyboards send the Delete key as this character as well; it erases.
constexpr char32_t kDeleteChar = 0x7F;

}  // namespace

bool StoreRowText(TDataSet* table, const std::string& field, const std::string& value,
                  bool append) {
  try {
    if (append) table->Append();
    else table->Edit();
    table->FieldByName(field)->SetAsString(value);
    table->Post();
    return true;
  } catch (const EAbort&) {
    if (table->State() != dsBrowse) table->Cancel();
    throw;
  } catch (const Exception& e) {
    // Nothing half stored: the appended row goes and the user learns why.
    if (table->State() != dsBrowse) table->Cancel();
    ShowBeepMessage(e.Message(), kMsgError);
    return false;
  }
}

void AppendWhenNotInList(TwwDBLookupCombo* combo, TDataSet* entries) {
  combo->OnNotInList = [combo, entries](TObject*, TDataSet* table, const std::string& value,
                                        bool& accept) {
    accept = table && StoreRowText(table, combo->LookupField(), value, true);
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
  auto fill = [entries, dateField, stamp] {
    if (!entries || !entries->Active() || !entries->FieldByName(dateField)->IsNull()) return;
    entries->Edit();
    entries->FieldByName(dateField)->SetAsDateTime(stamp());
  };
  combo->OnCloseUp = [fill](TObject*, TDataSet*, TDataSet*, bool modified) {
    if (modified) fill();
  };
  // Characters only: control characters (Tab, Enter, Escape, Backspace,
  // Ctrl+letter) type nothing, and keys without a character never get here.
  combo->OnKeyPress = [fill](TObject*, char32_t& key) {
    if (key >= U' ' && key != kDeleteChar) fill();
  };
}
