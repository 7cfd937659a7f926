#include "app/choosedate/choosedate.h"

#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/messages.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/comctrls.h"
#include "platform/classlib/stdctrls/speedbutton.h"

IMPLEMENT_CLASS(TfrmChooseDate, TForm)

TfrmChooseDate* frmChooseDate = nullptr;

namespace {
constexpr int kWidth = 220, kHeight = 190;
constexpr const char* kDateFormat = "MMMM d, YYYY";
}  // namespace

TfrmChooseDate::TfrmChooseDate(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmChooseDate");
  SetCaption("Choose Date");
  SetBorderStyle(bsDialog);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  SpeedButton2 = NewControl<TSpeedButton>(this, this, "SpeedButton2");
  SpeedButton2->SetBounds(4, 4, 22, 22);
  SpeedButton2->SetCaption("<");
  lblDate = NewControl<TLabel>(this, this, "lblDate");
  lblDate->SetBounds(30, 8, kWidth - 60, 18);
  lblDate->SetAlignment(taCenter);
  SpeedButton1 = NewControl<TSpeedButton>(this, this, "SpeedButton1");
  SpeedButton1->SetBounds(kWidth - 26, 4, 22, 22);
  SpeedButton1->SetCaption(">");
  Calendar = NewControl<TMonthCalendar>(this, this, "Calendar");
  Calendar->SetBounds(4, 30, kWidth - 8, kHeight - 34);
  popDate = NewComponent<TPopupMenu>(this, "popDate");
  popDate_Today = NewComponent<TMenuItem>(this, "popDate_Today");
  popDate_Today->SetCaption("&Today");
  popDate->Items()->Add(popDate_Today);
  popDate_Abort = NewComponent<TMenuItem>(this, "popDate_Abort");
  popDate_Abort->SetCaption("&Abort entry");
  popDate->Items()->Add(popDate_Abort);
  Calendar->SetPopupMenu(popDate);

  auto showDate = [this] { lblDate->SetCaption(FormatDateTime(kDateFormat, Calendar->Date())); };
  OnActivate = [this](TObject*) { Calendar->SetDate(ChosenDate); };
  // Also on show: the window system may activate the window late, or not at all.
  OnShow = [this, showDate](TObject*) {
    Calendar->SetDate(ChosenDate);
    showDate();
  };
  Calendar->OnChange = [this, showDate](TObject*) {
    ChosenDate = Calendar->Date();
    showDate();
  };
  Calendar->OnClick = [this](TObject*) { SetModalResult(mrOk); };
  Calendar->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    if (key == VK_RETURN) SetModalResult(mrOk);
  };
  Calendar->OnKeyUp = [this](TObject*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) SetModalResult(mrCancel);
  };
  popDate_Abort->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
  popDate_Today->OnClick = [this](TObject*) { Calendar->SetDate(Now()); };
  SpeedButton1->OnClick = [this](TObject*) { Calendar->SetDate(IncMonth(Calendar->Date(), 1)); };
  SpeedButton2->OnClick = [this](TObject*) { Calendar->SetDate(IncMonth(Calendar->Date(), -1)); };
}
