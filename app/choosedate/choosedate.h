#pragma once
// The date chooser used by every date edit.

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/datetime.h"

class TLabel;
class TMenuItem;
class TMonthCalendar;
class TPopupMenu;
class TSpeedButton;

class TfrmChooseDate : public TForm {
  DECLARE_CLASS(TfrmChooseDate, TForm)
 public:
  explicit TfrmChooseDate(TComponent* AOwner);

  TMonthCalendar* Calendar;
  TLabel* lblDate;
  TSpeedButton* SpeedButton1;
  TSpeedButton* SpeedButton2;
  TPopupMenu* popDate;
  TMenuItem* popDate_Today;
  TMenuItem* popDate_Abort;
  // Set by the caller before showing, read after OK.
  TDateTime ChosenDate = 0;
};

extern TfrmChooseDate* frmChooseDate;
