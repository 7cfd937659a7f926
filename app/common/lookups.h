#pragma once
// What the main window and the new-entry dialog share about their lookup
// combos: a typed value the list lacks joins the lookup table, giving a
// person stamps the matching date, and the lists are kept wide enough.

#include <algorithm>
#include <string>

#include "datactrls/edits/wwdblkcb.h"
#include "platform/classlib/core/datetime.h"

class TDataSet;
class TDataSource;

// Appends a row of `table` holding `value` in `field`. A refusal is told
// (by the table's error handler, else with the database's message) and the
// row goes; a row the user was typing before stays. The result says whether
// the value was stored.
bool AppendRowText(TDataSet* table, const std::string& field, const std::string& value);

// Makes `combo` add a typed value its list lacks to its lookup table (in its
// lookup field); a refused append keeps the combo's old value. With
// `entries`, a stored value is also put into the combo's field there at once.
void AppendWhenNotInList(TwwDBLookupCombo* combo, TDataSet* entries = nullptr);

// A lookup combo of `owner` on `parent` editing `field` of `source` through
// `lookupField` of `table`, completing typed text with the matching value
// and adding typed values its list lacks.
TwwDBLookupCombo* NewLookupCombo(TComponent* owner, TWinControl* parent, const char* name,
                                 TDataSource* source, const char* field, TDataSet* table,
                                 const char* lookupField);

// A name of nothing but blanks is no name.
bool IsBlankName(const std::string& text);

// When the user gives `combo` a name (typed, pasted, completed, or a record
// taken from its list, also the one it showed), the entries go into edit and
// `dateField` becomes `stamp()` if that date is still empty. Keys that only
// move or cancel, moving through the open list, and blanks never stamp it: an
// entry passed through on the way to another box was not fixed or verified
// then. A box left without a name again takes back the date it stamped.
void StampDateOnChoice(TwwDBLookupCombo* combo, TDataSet* entries, const char* dateField,
                       TDateTime (*stamp)());

// `personField` of `entries` never keeps a name of only blanks: it is
// cleared. A name it is given by a road that is no combo's (a paste into the
// grid, the zoom window) stamps `dateField` (when given) as StampDateOnChoice does.
void KeepPersonField(TDataSet* entries, const char* personField, const char* dateField,
                     TDateTime (*stamp)());

// The list never drops narrower than `minimum` pixels; with `matchCombo` it
// is as wide as the combo itself when that is wider.
template <class Combo>
void KeepDropDownWide(Combo* combo, int minimum, bool matchCombo) {
  combo->OnDropDown = [combo, minimum, matchCombo](TObject*) {
    const int wanted = matchCombo ? std::max(combo->Width(), minimum) : minimum;
    if (matchCombo || combo->DropDownWidth() < wanted) combo->SetDropDownWidth(wanted);
  };
}
