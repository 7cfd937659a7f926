#include "app/about/about.h"

#include "app/common/components.h"
#include "app/common/product.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/win32/sysinfo.h"

IMPLEMENT_CLASS(TfrmAbout, TForm)

namespace {
constexpr int kWidth = 340, kHeight = 180;
constexpr const char* kCaption = "About Vantrel Pro 2.0";
}  // namespace

std::string MemoryText(std::uint64_t totalBytes) {
  std::string digits = std::to_string(totalBytes / 1024);
  if (digits.size() > 3) digits.insert(digits.size() - 3, ",");
  return digits + " KB";
}

std::string SystemVersionText(const std::string& name, unsigned major, unsigned minor, unsigned build) {
  return name + " ver " + std::to_string(major) + "." + std::to_string(minor) + " (Build " +
         std::to_string(build) + ")";
}

TfrmAbout::TfrmAbout(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmAbout");
  SetCaption(kCaption);
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  imgProgramIcon = NewControl<TImage>(this, this, "imgProgramIcon");
  imgProgramIcon->SetBounds(12, 12, 32, 32);
  auto label = [this](const char* name, int top) {
    auto* l = NewControl<TLabel>(this, this, name);
    l->SetBounds(60, top, kWidth - 72, 18);
    return l;
  };
  lblProduct = label("lblProduct", 12);
  lblVersion = label("lblVersion", 34);
  lblMemory = label("lblMemory", 70);
  lblWindowsVersion = label("lblWindowsVersion", 92);
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetBounds((kWidth - 75) / 2, kHeight - 36, 75, 25);
  btnOk->SetCaption("OK");
  btnOk->SetDefault(true);
  btnOk->SetCancel(true);
  btnOk->SetModalResult(mrOk);
}

void TfrmAbout::DoShow() {
  SetCaption(kCaption);
  MEMORYSTATUSEX memory;
  GlobalMemoryStatusEx(&memory);
  lblMemory->SetCaption(MemoryText(memory.ullTotalPhys));
  OSVERSIONINFO version;
  GetVersionEx(&version);
  lblWindowsVersion->SetCaption(SystemVersionText(version.Name, version.dwMajorVersion,
                                                  version.dwMinorVersion, version.dwBuildNumber));
  lblProduct->SetCaption("Vantrel Pro");
  lblVersion->SetCaption(kVersionText);
  TForm::DoShow();
}
