#pragma once
// The program properties window: the current program's name and how many of
// its bug reports and feature requests there are, fixed and verified.

#include "platform/classlib/controls/forms.h"

class TButton;
class TLabel;
class TPageControl;
class TTabSheet;

class TfrmProperties : public TForm {
  DECLARE_CLASS(TfrmProperties, TForm)
 public:
  explicit TfrmProperties(TComponent* AOwner);
  // Counts both kinds of entry of the main window's program.
  void FormShow(TObject* Sender);

  TPageControl* pcProperties;
  TTabSheet* tsGeneral;
  TLabel* lblProgramName;
  TLabel* lblReports_Out;
  TLabel* lblFixed_Out;
  TLabel* lblVerified_Out;
  TLabel* lblFeatureRequests_Out;
  TLabel* lblFixed_Out_Feature;
  TLabel* lblVerified_Out_Feature;
  TButton* btnOK;

 private:
  // Counts the entries of one kind into three labels; an error leaves them.
  void CountKind(const char* reportType, TLabel* entries, TLabel* fixed, TLabel* verified);
};
