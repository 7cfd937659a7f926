#include "platform/classlib/dialogs/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/classlib/core/format.h"
#include "platform/classlib/dialogs/responder.h"
#include "platform/classlib/dialogs/rowsform.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/stdctrls/edits.h"

using vantrel::qt::FromQString;
using vantrel::qt::ToQString;

IMPLEMENT_CLASS(TCommonDialog, TComponent)
IMPLEMENT_CLASS(TFontDialog, TCommonDialog)
IMPLEMENT_CLASS(TColorDialog, TCommonDialog)

// ---- The responder -------------------------------------------------------------

namespace vantrel::dialogs {

TDialogResponder& Responder() {
  static TDialogResponder responder;
  return responder;
}

TModalResult Ask(TDialogRequest& request) { return Responder()(request); }

void RequireWindowSystem() {
  if (!QApplication::instance())
    throw EInvalidOperation("A dialog cannot be shown: there is no window system");
}

std::string ApplicationCaption() {
  if (Application && !Application->Title().empty()) return Application->Title();
  std::string exe = Application ? Application->ExeName() : std::string();
  return std::filesystem::path(exe).stem().string();
}

}  // namespace vantrel::dialogs

using namespace vantrel::dialogs;

namespace {

// Forms in their modal pass go to the responder like every other dialog.
TModalResult AnswerModalForm(TCustomForm& form) {
  TDialogRequest request;
  request.Kind = TDialogKind::Form;
  request.Caption = form.Caption();
  request.Dialog = &form;
  return Ask(request);
}

void InstallResponder(TDialogResponder responder) {
  Responder() = std::move(responder);
  if (Responder()) ModalFormResponder = AnswerModalForm;
  else ModalFormResponder = nullptr;
}

}  // namespace

TDialogResponderScope::TDialogResponderScope(TDialogResponder responder)
    : previous_(Responder()) {
  if (!responder) {
    InstallResponder(nullptr);
    return;
  }
  InstallResponder([this, responder = std::move(responder)](TDialogRequest& request) {
    requests_.push_back(request);
    return responder(request);
  });
}

TDialogResponderScope::~TDialogResponderScope() { InstallResponder(std::move(previous_)); }

std::vector<std::string> TDialogResponderScope::Texts() const {
  std::vector<std::string> texts;
  for (const TDialogRequest& r : requests_) texts.push_back(r.Text);
  return texts;
}

bool DialogResponderInstalled() { return bool(Responder()); }

// ---- Message boxes -----------------------------------------------------------------

namespace {

struct ButtonInfo {
  TModalResult Result;
  const char* Caption;  // with the mnemonic
};

// Indexed by TMsgDlgBtn.
constexpr ButtonInfo kButtons[] = {
    {mrYes, "&Yes"},         {mrNo, "&No"},         {mrOk, "OK"},
    {mrCancel, "Cancel"},    {mrAbort, "&Abort"},   {mrRetry, "&Retry"},
    {mrIgnore, "&Ignore"},   {mrAll, "&All"},       {mrNoToAll, "N&o to All"},
    {mrYesToAll, "Yes to &All"}, {mrNone, "&Help"}};

std::string WithoutMnemonic(const char* caption) {
  std::string s;
  for (const char* p = caption; *p; ++p)
    if (*p != '&') s += *p;
  return s;
}

// Everything a message box shows; MessageDlg and MessageBox both fill one.
struct MessageBoxContent {
  std::string Caption;
  std::string Text;
  TMsgDlgType Type = mtCustom;
  std::vector<TMsgDlgBtn> Buttons;
  TModalResult DefaultButton = mrNone;
  std::optional<TModalResult> EscapeButton;
  int HelpCtx = 0;
  std::optional<TPoint> Position;
};

bool Offers(const MessageBoxContent& content, TModalResult result) {
  for (TMsgDlgBtn b : content.Buttons)
    if (kButtons[b].Result == result && b != mbHelp) return true;
  return false;
}

// The answer of closing the box without a button (Escape or the window's
// Close button); nullopt when the box cannot be closed that way.
std::optional<TModalResult> CloseAnswer(const MessageBoxContent& content) {
  return content.EscapeButton;
}

TModalResult AskResponderMessage(const MessageBoxContent& content) {
  TDialogRequest request;
  request.Kind = TDialogKind::MessageBox;
  request.Caption = content.Caption;
  request.Text = content.Text;
  request.Type = content.Type;
  request.DefaultButton = content.DefaultButton;
  for (TMsgDlgBtn b : content.Buttons) {
    if (b == mbHelp) continue;
    request.Buttons.push_back(kButtons[b].Result);
    request.ButtonCaptions.push_back(WithoutMnemonic(kButtons[b].Caption));
  }
  TModalResult answer = Ask(request);
  if (answer == mrNone) {
    if (auto closed = CloseAnswer(content)) return *closed;
  } else if (Offers(content, answer)) {
    return answer;
  }
  throw EInvalidOperation(Format("The dialog responder answered %d, which the box \"%s\" does "
                                 "not offer",
                                 {answer, content.Text}));
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return QMessageBox::Warning;
    case mtError: return QMessageBox::Critical;
    case mtInformation: return QMessageBox::Information;
    case mtConfirmation: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
  }
}

TModalResult ShowQtMessage(const MessageBoxContent& content) {
  QMessageBox box(IconOf(content.Type), ToQString(content.Caption), ToQString(content.Text));
  std::vector<std::pair<QAbstractButton*, TMsgDlgBtn>> buttons;
  for (TMsgDlgBtn b : content.Buttons) {
    auto role = b == mbHelp ? QMessageBox::HelpRole : QMessageBox::AcceptRole;
    QPushButton* button = box.addButton(ToQString(kButtons[b].Caption), role);
    buttons.emplace_back(button, b);
    if (kButtons[b].Result == content.DefaultButton && b != mbHelp) box.setDefaultButton(button);
    if (auto closed = CloseAnswer(content); closed && *closed == kButtons[b].Result)
      box.setEscapeButton(button);
  }
  if (content.Position) {
    box.adjustSize();
    box.move(content.Position->x, content.Position->y);
  }
  for (;;) {
    box.exec();
    TMsgDlgBtn chosen = mbCancel;
    bool found = false;
    for (auto& [button, b] : buttons)
      if (button == box.clickedButton()) chosen = b, found = true;
    if (!found) return CloseAnswer(content).value_or(mrCancel);
    // Help keeps the box: the user reads the topic and then answers.
    if (chosen != mbHelp) return kButtons[chosen].Result;
    if (Application) Application->HelpContext(content.HelpCtx);
  }
}

TModalResult RunMessageBox(const MessageBoxContent& content) {
  // A box takes the mouse as a modal window does: a button held down is let
  // go outside, so its release after the box makes no click and leaves no
  // control holding the mouse.
  CancelMouseMode();
  if (DialogResponderInstalled()) return AskResponderMessage(content);
  if (!QApplication::instance()) {
    // Headless programs (the report engine in a batch) still say what happened.
    std::fprintf(stderr, "%s: %s\n", content.Caption.c_str(), content.Text.c_str());
    return content.DefaultButton;
  }
  return ShowQtMessage(content);
}

// Every kind of line break of a message is a line break on screen.
std::string NormalizeLineBreaks(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

const char* CaptionOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    default: return nullptr;
  }
}

MessageBoxContent MessageDlgContent(const std::string& msg, TMsgDlgType type,
                                    TMsgDlgButtons buttons, int helpCtx) {
  MessageBoxContent content;
  const char* caption = CaptionOf(type);
  content.Caption = caption ? caption : ApplicationCaption();
  content.Text = NormalizeLineBreaks(msg);
  content.Type = type;
  content.HelpCtx = helpCtx;
  for (int b = mbYes; b <= mbHelp; ++b)
    if (buttons.Contains(TMsgDlgBtn(b))) content.Buttons.push_back(TMsgDlgBtn(b));
  // OK or Yes has the focus, else the first button; Escape answers Cancel,
  // else No, else OK.
  if (buttons.Contains(mbOK)) content.DefaultButton = mrOk;
  else if (buttons.Contains(mbYes)) content.DefaultButton = mrYes;
  else if (!content.Buttons.empty())
    content.DefaultButton = kButtons[content.Buttons.front()].Result;
  if (buttons.Contains(mbCancel)) content.EscapeButton = mrCancel;
  else if (buttons.Contains(mbNo)) content.EscapeButton = mrNo;
  else if (buttons.Contains(mbOK)) content.EscapeButton = mrOk;
  return content;
}

}  // namespace

TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpCtx) {
  return RunMessageBox(MessageDlgContent(msg, type, buttons, helpCtx));
}

TModalResult MessageDlgPos(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                           int helpCtx, int x, int y) {
  MessageBoxContent content = MessageDlgContent(msg, type, buttons, helpCtx);
  if (x >= 0 || y >= 0) content.Position = TPoint{x, y};
  return RunMessageBox(content);
}

void ShowMessage(const std::string& msg) {
  MessageBoxContent content = MessageDlgContent(msg, mtCustom, {mbOK}, 0);
  RunMessageBox(content);
}

std::unique_ptr<TIcon> MessageDlgIcon(TMsgDlgType type) {
  const QMessageBox::Icon kind = IconOf(type);
  // The style draws the pictures: a program without windows has none.
  if (kind == QMessageBox::NoIcon || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return std::make_unique<TIcon>();
  // A box of the kind, never shown, sizes the picture as the boxes do (the
  // size follows the screen's resolution).
  QMessageBox box;
  box.setIcon(kind);
  QImage image = box.iconPixmap().toImage();
  // Pictures of the class library count the pixels windows lay out.
  if (image.devicePixelRatio() != 1.0) {
    image = image.scaled(image.deviceIndependentSize().toSize(), Qt::KeepAspectRatio,
                         Qt::SmoothTransformation);
    image.setDevicePixelRatio(1.0);
  }
  return vantrel::qt::IconOfImage(image);
}

namespace {

// MB_ button sets, indexed by the low four bits of the flags.
const std::vector<TMsgDlgBtn> kMessageBoxButtons[] = {
    {mbOK},    {mbOK, mbCancel},  {mbAbort, mbRetry, mbIgnore}, {mbYes, mbNo, mbCancel},
    {mbYes, mbNo}, {mbRetry, mbCancel}};

TMsgDlgType TypeOfIcon(UINT flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: return mtError;
    case MB_ICONQUESTION: return mtConfirmation;
    case MB_ICONEXCLAMATION: return mtWarning;
    case MB_ICONASTERISK: return mtInformation;
    default: return mtCustom;
  }
}

// The answers are the same numbers as the IDs (IDOK == mrOk ... IDNO == mrNo).
int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
  UINT kind = flags & MB_TYPEMASK;
  if (kind >= std::size(kMessageBoxButtons))
    throw EInvalidOperation(Format("Unknown message box buttons %d", {int(kind)}));
  MessageBoxContent content;
  content.Caption = caption.empty() ? std::string("Error") : caption;
  content.Text = NormalizeLineBreaks(text);
  content.Type = TypeOfIcon(flags);
  content.Buttons = kMessageBoxButtons[kind];
  size_t def = (flags & MB_DEFMASK) >> 8;
  content.DefaultButton = kButtons[content.Buttons[def < content.Buttons.size() ? def : 0]].Result;
  // Only boxes with Cancel, or with OK alone, can be closed without a button.
  if (kind == MB_OK) content.EscapeButton = mrOk;
  else if (std::count(content.Buttons.begin(), content.Buttons.end(), mbCancel))
    content.EscapeButton = mrCancel;
  return RunMessageBox(content);
}

// The desktop's beep while there is a window system, else the one before.
TBeepSink g_plainBeep;
void DesktopBeep(UINT type) {
  if (QApplication::instance()) QApplication::beep();
  else if (g_plainBeep) g_plainBeep(type);
}

// Installed when the library is linked in: the application's message boxes
// and its exception box come here, help goes to the desktop's viewer, and
// beeps reach the desktop.
const bool kMessageBoxInstalled = [] {
  MessageBoxHandler = ShowMessageBox;
  HelpViewerHandler = vantrel::dialogs::ShowHelp;
  g_plainBeep = SetBeepSink(DesktopBeep);
  return true;
}();

}  // namespace

// ---- Input boxes -------------------------------------------------------------------

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  if (DialogResponderInstalled()) {
    std::string edited = value;
    TDialogRequest request;
    request.Kind = TDialogKind::InputQuery;
    request.Caption = caption;
    request.Text = prompt;
    request.Buttons = {mrOk, mrCancel};
    request.ButtonCaptions = {"OK", "Cancel"};
    request.DefaultButton = mrOk;
    request.Value = &edited;
    if (Ask(request) != mrOk) return false;
    value = edited;
    return true;
  }
  RequireWindowSystem();
  // A form of our own controls: its edit is the program's, menu and keys alike.
  vantrel::dialogs::TRowsForm form(caption);
  TEdit* edit = form.AddPromptedEdit(prompt, value);
  if (!form.Run(edit)) return false;
  value = edit->Text();
  return true;
}

std::string InputBox(const std::string& caption, const std::string& prompt,
                     const std::string& defaultValue) {
  std::string value = defaultValue;
  InputQuery(caption, prompt, value);
  return value;
}

// ---- Common dialogs ----------------------------------------------------------------

TCommonDialog::TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TCommonDialog::AskResponder(TDialogKind kind, bool& accepted) {
  if (!DialogResponderInstalled()) return false;
  TDialogRequest request;
  request.Kind = kind;
  request.Caption = title_;
  request.Buttons = {mrOk, mrCancel};
  request.ButtonCaptions = {"OK", "Cancel"};
  request.DefaultButton = mrOk;
  request.Dialog = this;
  if (OnShow) OnShow(this);
  accepted = Ask(request) == mrOk;
  if (OnClose) OnClose(this);
  return true;
}

namespace {

// A responder that keeps giving what the dialog refuses would otherwise make
// Execute ask forever; a person at the real dialog may try as often as needed.
constexpr int kMaxResponderRefusals = 16;

}  // namespace

bool TCommonDialog::ExecuteChecked(TDialogKind kind, const std::function<bool()>& runQt,
                                   const std::function<bool()>& accept) {
  for (int refusals = 0;; ++refusals) {
    bool accepted = false;
    bool asked = AskResponder(kind, accepted);
    if (!asked) accepted = runQt();
    if (!accepted) return false;
    if (accept()) return true;
    if (asked && refusals + 1 >= kMaxResponderRefusals)
      throw EInvalidOperation("The dialog responder keeps giving answers the dialog refuses");
  }
}

// ---- Font ----------------------------------------------------------------------------

TFontDialog::TFontDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), font_(std::make_unique<TFont>()) {}
TFontDialog::~TFontDialog() = default;

bool TFontDialog::Execute() {
  bool accepted = false;
  if (AskResponder(TDialogKind::Font, accepted)) return accepted;
  RequireWindowSystem();
  bool ok = false;
  QFont chosen = QFontDialog::getFont(&ok, vantrel::qt::ToQFont(*font_), nullptr,
                                      ToQString(Title()));
  if (!ok) return false;
  font_->SetName(FromQString(chosen.family()));
  if (chosen.pointSize() > 0) font_->SetSize(chosen.pointSize());
  TFontStyles style;
  if (chosen.bold()) style.Include(fsBold);
  if (chosen.italic()) style.Include(fsItalic);
  if (chosen.underline()) style.Include(fsUnderline);
  if (chosen.strikeOut()) style.Include(fsStrikeOut);
  font_->SetStyle(style);
  return true;
}

// ---- Colour --------------------------------------------------------------------------

TColorDialog::TColorDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), customColors_(std::make_unique<TStringList>()) {}
TColorDialog::~TColorDialog() = default;

namespace {

std::string SlotName(int slot) { return std::string("Color") + char('A' + slot); }

}  // namespace

TColor TColorDialog::CustomColor(int slot) const {
  if (slot < 0 || slot >= CustomColorCount) return clNone;
  std::string hex = customColors_->Values(SlotName(slot));
  if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return clNone;
  unsigned long rgb = std::stoul(hex, nullptr, 16);
  return RGB(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

void TColorDialog::SetCustomColor(int slot, TColor color) {
  if (slot < 0 || slot >= CustomColorCount)
    throw EInvalidOperation(Format("Custom colour slot %d out of range", {slot}));
  TColor c = ColorToRGB(color);
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  customColors_->SetValues(SlotName(slot), hex);
}

bool TColorDialog::Execute() {
  bool accepted = false;
  if (AskResponder(TDialogKind::Color, accepted)) return accepted;
  RequireWindowSystem();
  using vantrel::qt::ToQColor;
  for (int slot = 0; slot < CustomColorCount; ++slot) {
    TColor c = CustomColor(slot);
    QColorDialog::setCustomColor(slot, c == clNone ? QColor(Qt::white) : ToQColor(c));
  }
  QColorDialog dialog(ToQColor(color_));
  if (!Title().empty()) dialog.setWindowTitle(ToQString(Title()));
  if (dialog.exec() != QDialog::Accepted) return false;
  color_ = vantrel::qt::FromQColor(dialog.selectedColor());
  for (int slot = 0; slot < CustomColorCount; ++slot)
    SetCustomColor(slot, vantrel::qt::FromQColor(QColorDialog::customColor(slot)));
  return true;
}
