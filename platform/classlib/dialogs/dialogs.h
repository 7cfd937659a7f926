#pragma once
// Message boxes, InputBox/InputQuery and the common dialogs (open, save,
// font, colour, print, printer setup).
//
// Every modal dialog and message box goes through one responder hook: a test
// (or an end-to-end script) installs a responder that sees the dialog's kind,
// caption, text and buttons and answers with a button or by filling the
// dialog's fields, so nothing ever blocks on a window. Without a responder the
// real Qt dialogs show.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/sets.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/graphics.h"
#include "platform/win32/msgbox.h"

// ---- Message dialogs ---------------------------------------------------------

DECLARE_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom)
DECLARE_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll,
             mbNoToAll, mbYesToAll, mbHelp)
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// Shows a message with a caption of its kind ("Warning", "Error",
// "Information", "Confirm"; the application's title for mtCustom) and the
// buttons asked for, in the order of TMsgDlgBtn. "\r\n", "\r" and "\n" are
// all line breaks. The help button shows help topic helpCtx and keeps the box.
TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpCtx);
// The same at a screen position (top-left); -1 centres it on that axis.
TModalResult MessageDlgPos(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                           int helpCtx, int x, int y);
// An information box with an OK button and the application's title.
void ShowMessage(const std::string& msg);
// The picture the message boxes of that type show (the information mark,
// the warning sign ...) at their size, for windows that tell the same kind
// of thing; an empty icon for mtCustom or without a window system.
std::unique_ptr<TIcon> MessageDlgIcon(TMsgDlgType type);

// Asks for one line of text. True (and value changed) when OK was chosen.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
// The text typed, or `defaultValue` when the box was cancelled.
std::string InputBox(const std::string& caption, const std::string& prompt,
                     const std::string& defaultValue);

// ---- The responder -----------------------------------------------------------

enum class TDialogKind {
  MessageBox,    // MessageDlg, ShowMessage, Application->MessageBox, error boxes
  InputQuery,    // Value holds the text, the responder may change it
  OpenFile,      // Dialog is the TOpenDialog: set FileName (or Files), FilterIndex
  SaveFile,      // Dialog is the TSaveDialog
  Font,          // Dialog is the TFontDialog: change its Font
  Color,         // Dialog is the TColorDialog: set Color, CustomColors
  Print,         // Dialog is the TPrintDialog: copies, range, print to file
  PrinterSetup,  // Dialog is the TPrinterSetupDialog: change Printer()
  Form           // Dialog is a form in its modal pass, shown and live
};

struct TDialogRequest {
  TDialogKind Kind = TDialogKind::MessageBox;
  std::string Caption;
  // Message text with every line break as "\n"; the prompt of an input box.
  std::string Text;
  TMsgDlgType Type = mtCustom;
  // The answers the box offers, in display order (mrOk, mrYes ...), and
  // their captions ("OK", "Yes" ..., "Help" has no answer and is not listed).
  std::vector<TModalResult> Buttons;
  std::vector<std::string> ButtonCaptions;
  // The answer of the button that has the focus.
  TModalResult DefaultButton = mrNone;
  std::string* Value = nullptr;
  TComponent* Dialog = nullptr;
};

// Answers a dialog: for message boxes one of Buttons (mrNone closes the box
// like its Close button, allowed when it has a Cancel button or only one);
// for the other dialogs mrOk accepts what the responder filled in and
// anything else cancels; for a form, mrNone leaves it running.
using TDialogResponder = std::function<TModalResult(TDialogRequest& request)>;

// Installs a responder for as long as the object lives (the previous one is
// restored after), counts the dialogs it answers and keeps their texts. An
// empty responder lets the real dialogs show meanwhile.
class TDialogResponderScope {
 public:
  explicit TDialogResponderScope(TDialogResponder responder);
  ~TDialogResponderScope();
  TDialogResponderScope(const TDialogResponderScope&) = delete;
  TDialogResponderScope& operator=(const TDialogResponderScope&) = delete;

  int Count() const { return int(requests_.size()); }
  // Every request answered, in order (Text and Caption as shown).
  const std::vector<TDialogRequest>& Requests() const { return requests_; }
  std::vector<std::string> Texts() const;

 private:
  TDialogResponder previous_;
  std::vector<TDialogRequest> requests_;
};

// True while a responder answers dialogs.
bool DialogResponderInstalled();

// ---- Common dialogs ----------------------------------------------------------

class TCommonDialog : public TComponent {
  DECLARE_CLASS(TCommonDialog, TComponent)
 public:
  explicit TCommonDialog(TComponent* AOwner);
  // Shows the dialog; true when the user accepted it.
  virtual bool Execute() = 0;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 protected:
  // Hands the dialog to the responder when one is installed (true, with the
  // answer in `accepted`); false when the real dialog has to show.
  bool AskResponder(TDialogKind kind, bool& accepted);
  // Shows the dialog (responder or `runQt`) until `accept` takes what was
  // chosen (it tells the user why not); false when the dialog was cancelled.
  bool ExecuteChecked(TDialogKind kind, const std::function<bool()>& runQt,
                      const std::function<bool()>& accept);

 private:
  std::string title_;
  int helpContext_ = 0;
};

DECLARE_ENUM(TOpenOption, ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir,
             ofShowHelp, ofNoValidate, ofAllowMultiSelect, ofExtensionDifferent,
             ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware,
             ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames,
             ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify, ofEnableSizing)
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TCommonDialog {
  DECLARE_CLASS(TOpenDialog, TCommonDialog)
 public:
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;
  bool Execute() override;

  // "Description|pattern[;pattern]|Description|pattern...".
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& filter) { filter_ = filter; }
  // 1-based; after Execute the filter the user chose.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int index) { filterIndex_ = index; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& dir) { initialDir_ = dir; }
  // The chosen file (the first one with multi-select), a full path after Execute.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name) { fileName_ = name; }
  // Every chosen file (one unless ofAllowMultiSelect).
  TStrings* Files() const { return files_.get(); }
  // Added (without its dot) to a chosen name that has no extension.
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& ext);
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions options) { options_ = options; }

  // The filter pairs, description and patterns ("*.txt;*.log").
  struct FilterEntry {
    std::string Description, Patterns;
  };
  std::vector<FilterEntry> FilterEntries() const;

 protected:
  virtual bool Saving() const { return false; }

 private:
  bool RunQtDialog();
  // Completes and checks the names the dialog or the responder gave; false
  // (after telling the user) when they are refused and the dialog must ask again.
  bool AcceptChosenFiles();
  std::string CompleteName(const std::string& name) const;

  std::string filter_;
  int filterIndex_ = 1;
  std::string initialDir_;
  std::string fileName_;
  std::unique_ptr<TStringList> files_;
  std::string defaultExt_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog {
  DECLARE_CLASS(TSaveDialog, TOpenDialog)
 public:
  explicit TSaveDialog(TComponent* AOwner);

 protected:
  bool Saving() const override { return true; }
};

DECLARE_ENUM(TFontDialogOption, fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly,
             fdForceFontExist, fdNoFaceSel, fdNoOEMFonts, fdNoSimulations, fdNoSizeSel,
             fdNoStyleSel, fdNoVectorFonts, fdShowHelp, fdWysiwyg, fdLimitSize,
             fdScalableOnly, fdApplyButton)
using TFontDialogOptions = TSet<TFontDialogOption>;

class TFontDialog : public TCommonDialog {
  DECLARE_CLASS(TFontDialog, TCommonDialog)
 public:
  explicit TFontDialog(TComponent* AOwner);
  ~TFontDialog() override;
  bool Execute() override;

  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  TFontDialogOptions Options() const { return options_; }
  void SetOptions(TFontDialogOptions options) { options_ = options; }

 private:
  std::unique_ptr<TFont> font_;
  TFontDialogOptions options_{fdEffects};
};

DECLARE_ENUM(TColorDialogOption, cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor,
             cdAnyColor)
using TColorDialogOptions = TSet<TColorDialogOption>;

class TColorDialog : public TCommonDialog {
  DECLARE_CLASS(TColorDialog, TCommonDialog)
 public:
  explicit TColorDialog(TComponent* AOwner);
  ~TColorDialog() override;
  bool Execute() override;

  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  // Up to 16 lines "ColorA=RRGGBB" ... "ColorP=RRGGBB" (hexadecimal red,
  // green, blue); other lines and bad values are ignored.
  TStrings* CustomColors() const { return customColors_.get(); }
  TColorDialogOptions Options() const { return options_; }
  void SetOptions(TColorDialogOptions options) { options_ = options; }

  // The custom colour of a slot 0..15 (clNone when not set or unreadable).
  TColor CustomColor(int slot) const;
  void SetCustomColor(int slot, TColor color);
  static constexpr int CustomColorCount = 16;

 private:
  TColor color_ = clBlack;
  std::unique_ptr<TStringList> customColors_;
  TColorDialogOptions options_;
};

DECLARE_ENUM(TPrintRange, prAllPages, prSelection, prPageNums)
DECLARE_ENUM(TPrintDialogOption, poPrintToFile, poPageNums, poSelection, poWarning, poHelp,
             poDisablePrintToFile)
using TPrintDialogOptions = TSet<TPrintDialogOption>;

// Chooses the printer (Printer()), copies, collation, range and print to file.
class TPrintDialog : public TCommonDialog {
  DECLARE_CLASS(TPrintDialog, TCommonDialog)
 public:
  explicit TPrintDialog(TComponent* AOwner);
  bool Execute() override;

  int Copies() const { return copies_; }
  void SetCopies(int copies) { copies_ = copies; }
  bool Collate() const { return collate_; }
  void SetCollate(bool value) { collate_ = value; }
  int FromPage() const { return fromPage_; }
  void SetFromPage(int page) { fromPage_ = page; }
  int ToPage() const { return toPage_; }
  void SetToPage(int page) { toPage_ = page; }
  // The pages that exist; a range outside them is refused.
  int MinPage() const { return minPage_; }
  void SetMinPage(int page) { minPage_ = page; }
  int MaxPage() const { return maxPage_; }
  void SetMaxPage(int page) { maxPage_ = page; }
  TPrintRange PrintRange() const { return printRange_; }
  void SetPrintRange(TPrintRange range) { printRange_ = range; }
  // The "print to file" check box (shown with poPrintToFile).
  bool PrintToFile() const { return printToFile_; }
  void SetPrintToFile(bool value) { printToFile_ = value; }
  TPrintDialogOptions Options() const { return options_; }
  void SetOptions(TPrintDialogOptions options) { options_ = options; }

 private:
  bool RunQtDialog();
  // The text that refuses a page range, empty when it is fine.
  std::string RangeError() const;

  int copies_ = 1;
  bool collate_ = false;
  int fromPage_ = 0, toPage_ = 0, minPage_ = 0, maxPage_ = 0;
  TPrintRange printRange_ = prAllPages;
  bool printToFile_ = false;
  TPrintDialogOptions options_;
};

// Chooses the printer, paper and orientation of Printer().
class TPrinterSetupDialog : public TCommonDialog {
  DECLARE_CLASS(TPrinterSetupDialog, TCommonDialog)
 public:
  explicit TPrinterSetupDialog(TComponent* AOwner);
  bool Execute() override;
};
