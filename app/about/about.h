#pragma once
// The About window: the product, its version, the machine's memory and system.

#include <cstdint>
#include <string>

#include "platform/classlib/controls/forms.h"

class TButton;
class TImage;
class TLabel;

class TfrmAbout : public TForm {
  DECLARE_CLASS(TfrmAbout, TForm)
 public:
  explicit TfrmAbout(TComponent* AOwner);

  TImage* imgProgramIcon;
  TLabel* lblProduct;
  TLabel* lblVersion;
  TLabel* lblMemory;
  TLabel* lblWindowsVersion;
  TButton* btnOk;

 protected:
  void DoShow() override;
};

// Total memory in KB, a comma before the last three digits: "16318,496 KB".
std::string MemoryText(std::uint64_t totalBytes);
// "<system> ver <major>.<minor> (Build <n>)".
std::string SystemVersionText(const std::string& name, unsigned major, unsigned minor, unsigned build);
