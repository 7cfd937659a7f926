#pragma once
// The library's texts: every dialog and message of the data-aware library reads
// its texts from one global TwwIntl, so a program can translate them in one
// place. A TwwIntl placed on a form with Connected set copies its texts into the
// global object.

#include <string>

#include "datactrls/wwintltexts.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/graphics/graphics.h"

class TButton;
class TCustomForm;

#define WW_TEXT_MEMBER(Name, Default) std::string Name = Default;

// A group of texts: string members with their defaults; Assign copies them.
#define WW_TEXT_GROUP(Self, TEXTS)                    \
  class Self : public TPersistent {                   \
    DECLARE_CLASS(Self, TPersistent)                  \
   public:                                            \
    TEXTS(WW_TEXT_MEMBER)                             \
    void Assign(const TPersistent* source) override;  \
  };

WW_TEXT_GROUP(TwwSearchDialogIntl, WW_SEARCH_DIALOG_TEXTS)
WW_TEXT_GROUP(TwwLocateDialogIntl, WW_LOCATE_DIALOG_TEXTS)
WW_TEXT_GROUP(TwwFilterDialogIntl, WW_FILTER_DIALOG_TEXTS)
WW_TEXT_GROUP(TwwUserMessagesIntl, WW_USER_MESSAGES_TEXTS)
WW_TEXT_GROUP(TwwRichEditMenuLabels, WW_RICH_EDIT_MENU_TEXTS)
WW_TEXT_GROUP(TwwRichEditPopupMenuLabels, WW_RICH_EDIT_POPUP_TEXTS)
WW_TEXT_GROUP(TwwRichEditParagraphDlg, WW_RICH_EDIT_PARAGRAPH_TEXTS)
WW_TEXT_GROUP(TwwRichEditTabDlg, WW_RICH_EDIT_TAB_TEXTS)

#undef WW_TEXT_GROUP

// The rich-text editor's texts and its four nested groups, which it owns.
class TwwDBRichEditIntl : public TPersistent {
  DECLARE_CLASS(TwwDBRichEditIntl, TPersistent)
 public:
  TwwDBRichEditIntl();
  ~TwwDBRichEditIntl() override;
  WW_RICH_EDIT_TEXTS(WW_TEXT_MEMBER)
  void Assign(const TPersistent* source) override;

  TwwRichEditMenuLabels* MenuLabels() const { return menuLabels_; }
  TwwRichEditPopupMenuLabels* PopupMenuLabels() const { return popupMenuLabels_; }
  TwwRichEditParagraphDlg* ParagraphDialog() const { return paragraphDialog_; }
  TwwRichEditTabDlg* TabDialog() const { return tabDialog_; }
  // Setting a group copies the texts of the one given.
  void SetMenuLabels(TwwRichEditMenuLabels* value) { menuLabels_->Assign(value); }
  void SetPopupMenuLabels(TwwRichEditPopupMenuLabels* value) { popupMenuLabels_->Assign(value); }
  void SetParagraphDialog(TwwRichEditParagraphDlg* value) { paragraphDialog_->Assign(value); }
  void SetTabDialog(TwwRichEditTabDlg* value) { tabDialog_->Assign(value); }

 private:
  TwwRichEditMenuLabels* menuLabels_;
  TwwRichEditPopupMenuLabels* popupMenuLabels_;
  TwwRichEditParagraphDlg* paragraphDialog_;
  TwwRichEditTabDlg* tabDialog_;
};

#undef WW_TEXT_MEMBER

DECLARE_ENUM(TwwCheckBoxInGridStyle, cbStyleAuto, cbStyleCheckmark, cbStyleXmark)

class TwwIntl : public TComponent {
  DECLARE_CLASS(TwwIntl, TComponent)
 public:
  explicit TwwIntl(TComponent* owner);
  ~TwwIntl() override;

  TwwSearchDialogIntl* SearchDialog() const { return searchDialog_; }
  TwwLocateDialogIntl* LocateDialog() const { return locateDialog_; }
  TwwFilterDialogIntl* FilterDialog() const { return filterDialog_; }
  TwwDBRichEditIntl* RichEdit() const { return richEdit_; }
  TwwUserMessagesIntl* UserMessages() const { return userMessages_; }
  void SetSearchDialog(TwwSearchDialogIntl* value) { searchDialog_->Assign(value); }
  void SetLocateDialog(TwwLocateDialogIntl* value) { locateDialog_->Assign(value); }
  void SetFilterDialog(TwwFilterDialogIntl* value) { filterDialog_->Assign(value); }
  void SetRichEdit(TwwDBRichEditIntl* value) { richEdit_->Assign(value); }
  void SetUserMessages(TwwUserMessagesIntl* value) { userMessages_->Assign(value); }

  bool OKCancelBitmapped = false;
  std::string BtnOKCaption = "&OK";
  std::string BtnCancelCaption = "Cancel";
  TFontStyles DialogFontStyle;
  bool UseLocateMethodForSearch = true;

  TwwCheckBoxInGridStyle CheckBoxInGridStyle() const { return checkBoxInGridStyle_; }
  // On a connected component the global object takes the style too.
  void SetCheckBoxInGridStyle(TwwCheckBoxInGridStyle value);

  bool Connected() const { return connected_; }
  // Connecting copies this component's texts into the global object at once.
  void SetConnected(bool value);

  // The library's version; assigning it has no effect.
  std::string VersionWendlow() const { return "3.01"; }
  void SetVersionWendlow(const std::string&) {}

  // Copies every text and setting into the global object (not when this is it).
  void CopyToGlobal() const;

 protected:
  // A connected component copies its texts again once its form has loaded.
  void Loaded() override;

 private:
  TwwSearchDialogIntl* searchDialog_;
  TwwLocateDialogIntl* locateDialog_;
  TwwFilterDialogIntl* filterDialog_;
  TwwDBRichEditIntl* richEdit_;
  TwwUserMessagesIntl* userMessages_;
  TwwCheckBoxInGridStyle checkBoxInGridStyle_ = cbStyleAuto;
  bool connected_ = false;
};

// The global text object. It lives from first use to the end of the program;
// should it be destroyed, the next call creates a fresh one with the defaults.
TwwIntl* wwGlobalIntl();

// The buttons of the library's dialogs.
enum class TwwDialogButtonKind { OK = 1, Cancel = 2, Help = 3 };

// Creates a hidden dialog button on `owner` (its owner and parent) and returns
// it; the caller places it and sets its tab order. It is a glyph button when
// the global object's OKCancelBitmapped is set, else a plain one, 77 x 24
// pixels at 96 dots per inch scaled to the screen (a glyph button is 27 high
// and shows the global DialogFontStyle). OK takes BtnOKCaption and the OK
// result; Cancel takes BtnCancelCaption and the Cancel result and answers
// Escape; Help is captioned "Help". Without a form there is nothing to create:
// the result is nullptr.
TButton* wwSetDialogAppearance(TCustomForm* owner, TwwDialogButtonKind kind);
// The same for a screen of the given pixels per inch.
TButton* wwSetDialogAppearance(TCustomForm* owner, TwwDialogButtonKind kind, int pixelsPerInch);
