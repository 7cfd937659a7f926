#include "app/fileproperties/fileproperties.h"

#include "app/common/attachfiles.h"
#include "app/common/components.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "winctrls/filedrag.h"

IMPLEMENT_CLASS(TfrmFileProperties, TForm)

namespace {

constexpr int kWidth = 340, kHeight = 300, kMargin = 12, kRow = 24;
constexpr int kCaptionWidth = 80, kIconSize = 32, kButtonWidth = 75, kButtonHeight = 25;

TLabel* NewLabel(TfrmFileProperties* form, const std::string& name, const std::string& caption,
                 int left, int top) {
  auto* label = NewControl<TLabel>(form, form, name);
  label->SetCaption(caption);
  label->SetLeft(left);
  label->SetTop(top);
  return label;
}

}  // namespace

TfrmFileProperties::TfrmFileProperties(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmFileProperties");
  SetCaption("Properties");
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  imgFile = NewControl<TImage>(this, this, "imgFile");
  imgFile->SetBounds(kMargin, kMargin, kIconSize, kIconSize);
  lblFileName = NewLabel(this, "lblFileName", "", 2 * kMargin + kIconSize, kMargin);
  const int values = kMargin + kCaptionWidth;
  int top = 2 * kMargin + kIconSize;
  for (auto [caption, out] : {std::pair{"Location:", &lblLocationOut}, {"Size:", &lblSizeOut},
                              {"Modified:", &lblDateOut}}) {
    NewLabel(this, "", caption, kMargin, top);
    *out = NewLabel(this, "", "", values, top);
    top += kRow;
  }
  lblLocationOut->SetName("lblLocationOut");
  lblSizeOut->SetName("lblSizeOut");
  lblDateOut->SetName("lblDateOut");
  top += kRow / 2;
  int i = 0;
  for (auto [name, caption, box] :
       {std::tuple{"chkReadOnly", "Read-only", &chkReadOnly}, {"chkHidden", "Hidden", &chkHidden},
        {"chkArchive", "Archive", &chkArchive}, {"chkSystem", "System", &chkSystem}}) {
    *box = NewControl<TCheckBox>(this, this, name);
    (*box)->SetCaption(caption);
    (*box)->SetEnabled(false);
    (*box)->SetBounds(kMargin + (i % 2) * (kWidth / 2), top + (i / 2) * kRow, kWidth / 2 - kMargin, kRow);
    ++i;
  }
  ilIcon = NewComponent<TSystemImageList>(this, "ilIcon");
  btnOk = NewControl<TButton>(this, this, "btnOk");
  btnOk->SetCaption("OK");
  btnOk->SetModalResult(mrOk);
  btnOk->SetBounds(kWidth - kButtonWidth - kMargin, kHeight - kButtonHeight - kMargin, kButtonWidth,
                   kButtonHeight);
}

void TfrmFileProperties::ShowFile(const std::string& path) {
  lblSizeOut->SetCaption(FormatByteCount(GetFileSizeBytes(path)));
  lblFileName->SetCaption(ExtractFileName(path));
  // The folder without its closing delimiter, as the window has always shown it.
  std::string folder = ExtractFilePath(path);
  if (!folder.empty()) folder.back() = ' ';
  lblLocationOut->SetCaption(folder);
  lblDateOut->SetCaption(FileDateTimeText(path));
  chkReadOnly->SetChecked(FileHasAttributes(path, faReadOnly));
  chkHidden->SetChecked(FileHasAttributes(path, faHidden));
  chkArchive->SetChecked(FileHasAttributes(path, faArchive));
  chkSystem->SetChecked(FileHasAttributes(path, faSysFile));
  ilIcon->AddDefaultIcon();
  std::string ext = ExtractFileExt(path);
  if (!ext.empty()) ext.erase(0, 1);
  ilIcon->Draw(imgFile->Canvas(), 0, 0, ilIcon->IconIndexOfExtension(ext));
}
