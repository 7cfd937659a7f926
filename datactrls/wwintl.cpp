#include "datactrls/wwintl.h"

#include <memory>

#include "datactrls/wwfieldcheck.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/stdctrls/buttons.h"

// ---- text groups -----------------------------------------------------------------

#define WW_COPY_TEXT(Name, Default) Name = from->Name;
#define WW_PUBLISH_TEXT(Name, Default) PROP_STR(Name, Name, Name, Default);

#define WW_IMPLEMENT_TEXT_GROUP(Self, TEXTS)                 \
  IMPLEMENT_CLASS(Self, TPersistent)                         \
  PUBLISHED(Self) { TEXTS(WW_PUBLISH_TEXT) }                 \
  void Self::Assign(const TPersistent* source) {             \
    if (auto from = dynamic_cast<const Self*>(source)) {     \
      TEXTS(WW_COPY_TEXT)                                    \
      return;                                                \
    }                                                        \
    TPersistent::Assign(source);                             \
  }

WW_IMPLEMENT_TEXT_GROUP(TwwSearchDialogIntl, WW_SEARCH_DIALOG_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwLocateDialogIntl, WW_LOCATE_DIALOG_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwFilterDialogIntl, WW_FILTER_DIALOG_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwUserMessagesIntl, WW_USER_MESSAGES_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwRichEditMenuLabels, WW_RICH_EDIT_MENU_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwRichEditPopupMenuLabels, WW_RICH_EDIT_POPUP_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwRichEditParagraphDlg, WW_RICH_EDIT_PARAGRAPH_TEXTS)
WW_IMPLEMENT_TEXT_GROUP(TwwRichEditTabDlg, WW_RICH_EDIT_TAB_TEXTS)

IMPLEMENT_CLASS(TwwDBRichEditIntl, TPersistent)
PUBLISHED(TwwDBRichEditIntl) {
  WW_RICH_EDIT_TEXTS(WW_PUBLISH_TEXT)
  PROP_OBJ(MenuLabels, MenuLabels, SetMenuLabels);
  PROP_OBJ(PopupMenuLabels, PopupMenuLabels, SetPopupMenuLabels);
  PROP_OBJ(ParagraphDialog, ParagraphDialog, SetParagraphDialog);
  PROP_OBJ(TabDialog, TabDialog, SetTabDialog);
}

TwwDBRichEditIntl::TwwDBRichEditIntl()
    : menuLabels_(new TwwRichEditMenuLabels),
      popupMenuLabels_(new TwwRichEditPopupMenuLabels),
      paragraphDialog_(new TwwRichEditParagraphDlg),
      tabDialog_(new TwwRichEditTabDlg) {}

TwwDBRichEditIntl::~TwwDBRichEditIntl() {
  delete menuLabels_;
  delete popupMenuLabels_;
  delete paragraphDialog_;
  delete tabDialog_;
}

void TwwDBRichEditIntl::Assign(const TPersistent* source) {
  if (auto from = dynamic_cast<const TwwDBRichEditIntl*>(source)) {
    WW_RICH_EDIT_TEXTS(WW_COPY_TEXT)
    menuLabels_->Assign(from->menuLabels_);
    popupMenuLabels_->Assign(from->popupMenuLabels_);
    paragraphDialog_->Assign(from->paragraphDialog_);
    tabDialog_->Assign(from->tabDialog_);
    return;
  }
  TPersistent::Assign(source);
}

// ---- the text object -----------------------------------------------------------

IMPLEMENT_CLASS(TwwIntl, TComponent)
PUBLISHED(TwwIntl) {
  PROP_OBJ(SearchDialog, SearchDialog, SetSearchDialog);
  PROP_OBJ(LocateDialog, LocateDialog, SetLocateDialog);
  PROP_OBJ(FilterDialog, FilterDialog, SetFilterDialog);
  PROP_OBJ(RichEdit, RichEdit, SetRichEdit);
  PROP_OBJ(UserMessages, UserMessages, SetUserMessages);
  PROP_BOOL(OKCancelBitmapped, OKCancelBitmapped, OKCancelBitmapped, false);
  PROP_STR(BtnOKCaption, BtnOKCaption, BtnOKCaption, "&OK");
  PROP_STR(BtnCancelCaption, BtnCancelCaption, BtnCancelCaption, "Cancel");
  PROP_SET(DialogFontStyle, DialogFontStyle, DialogFontStyle, TFontStyles{});
  PROP_ENUM(CheckBoxInGridStyle, CheckBoxInGridStyle, SetCheckBoxInGridStyle, cbStyleAuto);
  PROP_BOOL(UseLocateMethodForSearch, UseLocateMethodForSearch, UseLocateMethodForSearch, true);
  PROP_BOOL(Connected, Connected, SetConnected, false);
  PROP_STR(VersionWendlow, VersionWendlow, SetVersionWendlow, "3.01");
}

namespace {
TwwIntl* globalIntl = nullptr;

// Frees the global object at the end of the program.
struct GlobalIntlHolder {
  ~GlobalIntlHolder() { delete globalIntl; }
};
}  // namespace

TwwIntl* wwGlobalIntl() {
  static GlobalIntlHolder holder;
  if (!globalIntl) globalIntl = new TwwIntl(nullptr);
  return globalIntl;
}

TwwIntl::TwwIntl(TComponent* owner)
    : TComponent(owner),
      searchDialog_(new TwwSearchDialogIntl),
      locateDialog_(new TwwLocateDialogIntl),
      filterDialog_(new TwwFilterDialogIntl),
      richEdit_(new TwwDBRichEditIntl),
      userMessages_(new TwwUserMessagesIntl) {}

TwwIntl::~TwwIntl() {
  if (globalIntl == this) globalIntl = nullptr;
  delete searchDialog_;
  delete locateDialog_;
  delete filterDialog_;
  delete richEdit_;
  delete userMessages_;
}

void TwwIntl::SetCheckBoxInGridStyle(TwwCheckBoxInGridStyle value) {
  checkBoxInGridStyle_ = value;
  if (connected_ && globalIntl != this) wwGlobalIntl()->checkBoxInGridStyle_ = value;
}

void TwwIntl::SetConnected(bool value) {
  connected_ = value;
  if (value) CopyToGlobal();
}

void TwwIntl::Loaded() {
  TComponent::Loaded();
  if (connected_) CopyToGlobal();
}

void TwwIntl::CopyToGlobal() const {
  TwwIntl* global = wwGlobalIntl();
  if (global == this) return;
  global->searchDialog_->Assign(searchDialog_);
  global->locateDialog_->Assign(locateDialog_);
  global->filterDialog_->Assign(filterDialog_);
  global->richEdit_->Assign(richEdit_);
  global->userMessages_->Assign(userMessages_);
  global->BtnOKCaption = BtnOKCaption;
  global->BtnCancelCaption = BtnCancelCaption;
  global->OKCancelBitmapped = OKCancelBitmapped;
  global->DialogFontStyle = DialogFontStyle;
  global->UseLocateMethodForSearch = UseLocateMethodForSearch;
  global->checkBoxInGridStyle_ = checkBoxInGridStyle_;
}

// ---- dialog buttons --------------------------------------------------------------

namespace {

TBitBtnKind GlyphKindOf(TwwDialogButtonKind kind) {
  switch (kind) {
    case TwwDialogButtonKind::OK: return bkOK;
    case TwwDialogButtonKind::Cancel: return bkCancel;
    case TwwDialogButtonKind::Help: return bkHelp;
  }
  return bkCustom;
}

}  // namespace

TButton* wwSetDialogAppearance(TCustomForm* owner, TwwDialogButtonKind kind) {
  return wwSetDialogAppearance(owner, kind, Screen->PixelsPerInch());
}

TButton* wwSetDialogAppearance(TCustomForm* owner, TwwDialogButtonKind kind, int ppi) {
  if (!owner) return nullptr;
  const TwwIntl* intl = wwGlobalIntl();
  TButton* button = intl->OKCancelBitmapped ? new TBitBtn(owner) : new TButton(owner);
  button->SetParent(owner);
  button->SetVisible(false);
  button->SetWidth(wwScaleToScreen(77, ppi));
  button->SetHeight(wwScaleToScreen(24, ppi));
  if (auto* glyphButton = dynamic_cast<TBitBtn*>(button)) {
    glyphButton->SetMargin(2);
    glyphButton->SetKind(GlyphKindOf(kind));
    glyphButton->SetLayout(blGlyphLeft);
    glyphButton->SetNumGlyphs(2);
    glyphButton->SetSpacing(-1);
    glyphButton->SetHeight(wwScaleToScreen(27, ppi));
    TFont* font = glyphButton->Font();
    font->SetColor(clWindowText);
    font->SetHeight(-11);
    font->SetName("MS Sans Serif");
    font->SetStyle(intl->DialogFontStyle);
  }
  switch (kind) {
    case TwwDialogButtonKind::OK:
      button->SetCaption(intl->BtnOKCaption);
      button->SetModalResult(mrOk);
      break;
    case TwwDialogButtonKind::Cancel:
      button->SetCaption(intl->BtnCancelCaption);
      button->SetModalResult(mrCancel);
      button->SetCancel(true);
      break;
    case TwwDialogButtonKind::Help:
      button->SetCaption("Help");
      break;
  }
  return button;
}
