#include "app/choosedate/choosefor.h"

#include "app/choosedate/choosedate.h"
#include "datactrls/edits/wwdotdot.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/datasource.h"
#include "platform/classlib/db/fields.h"

namespace {

// The field a bound edit writes, null when unbound.
TField* BoundField(TwwDBCustomCombo* edit) {
  TDataSource* source = edit->DataSource();
  if (!source || !source->DataSet() || edit->DataField().empty()) return nullptr;
  return source->DataSet()->FieldByName(edit->DataField());
}

// Below the edit, one pixel in; kept inside the screen: pulled left from the
// right edge, and above the edit when the bottom would be cut.
void PlaceBelow(TForm* chooser, TControl* edit) {
  const TPoint bottomLeft = edit->ClientToScreen(TPoint{1, edit->Height() + 1});
  int left = bottomLeft.x, top = bottomLeft.y;
  if (left + chooser->Width() > Screen->Width()) left = Screen->Width() - chooser->Width() - 1;
  if (top + chooser->Height() > Screen->Height())
    top = edit->ClientToScreen(TPoint{0, 0}).y - chooser->Height();
  chooser->SetLeft(left);
  chooser->SetTop(top);
}

}  // namespace

bool ChooseDateFor(TwwDBCustomCombo* edit) {
  if (!frmChooseDate) return false;
  TDateTime date = 0;
  if (!TryStrToDate(edit->Text(), date)) date = Date();
  frmChooseDate->ChosenDate = date;
  PlaceBelow(frmChooseDate, edit);
  if (frmChooseDate->ShowModal() != mrOk) return false;
  const std::string text = DateToStr(frmChooseDate->ChosenDate);
  if (TField* field = BoundField(edit)) {
    field->DataSet()->Edit();  // an edit or insert under way goes on
    field->SetAsString(text);
  } else {
    edit->SetText(text);
  }
  return true;
}

void TodayOnSpace(TwwDBCustomCombo* edit) {
  edit->OnKeyPress = [edit](TObject*, char32_t& key) {
    if (key != U' ' || !edit->Text().empty()) return;
    key = 0;
    if (TField* field = BoundField(edit)) {
      // A field that cannot change keeps its empty date, as it keeps any key.
      if (!field->CanModify()) return;
      field->DataSet()->Edit();
      field->SetAsDateTime(Date());
    } else {
      edit->SetText(DateToStr(Date()));
    }
  };
}
