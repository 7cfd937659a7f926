#pragma once
// Menus: TMainMenu (the menu bar of a form), TPopupMenu and the tree of
// TMenuItems, over Qt menus.
//
// Items are plain data; the Qt menus are built from them whenever a menu
// opens, so the application may change items in a top-level item's OnClick
// (which runs as its menu opens) and see the change at once. Shortcuts are
// dispatched by the form before the focused control sees the key. Items can
// be measured and painted by the program (owner drawing) on our canvas.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/hooklist.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/imagelist.h"
#include "platform/classlib/graphics/images.h"

DECLARE_EXCEPTION(EMenuError, Exception)

// ---- Shortcuts ---------------------------------------------------------------

// A key with its modifiers: the virtual key in the low byte, modifiers above.
using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// "Ctrl+S", "Shift+Del", "F5"; empty for scNone or a key without a name.
std::string ShortCutToText(TShortCut shortCut);
// The reverse (modifier names in any case and order); scNone when unreadable.
TShortCut TextToShortCut(const std::string& text);

// Captions: StripHotkey and IsAccel of the drawing helpers read their "&" marks.

// ---- Items -------------------------------------------------------------------

class TMenu;
class TMenuItem;

DECLARE_ENUM(TMenuBreak, mbNone, mbBreak, mbBarBreak)
DECLARE_ENUM(TOwnerDrawStateFlag, odSelected, odGrayed, odDisabled, odChecked, odFocused,
             odDefault)
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;

using TMenuMeasureItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas,
                                              const TRect& ARect, TOwnerDrawState State)>;

class TMenuItem : public TComponent {
  DECLARE_CLASS(TMenuItem, TComponent)
 public:
  explicit TMenuItem(TComponent* AOwner);
  // Frees the sub-items and leaves the parent.
  ~TMenuItem() override;

  // "&" marks the mnemonic, "&&" shows an ampersand, "-" is a separator line.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool IsLine() const { return caption_ == "-"; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut);
  bool Checked() const { return checked_; }
  // Checking a radio item unchecks the radio items of its group among its siblings.
  void SetChecked(bool value);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  // Starts a new column of a popup, at its top (mbBarBreak rules a line
  // between the columns). Items of a menu bar ignore it.
  TMenuBreak Break() const { return break_; }
  void SetBreak(TMenuBreak value);
  // A top-level item of a menu bar that sits at the bar's right end, with
  // the items after it.
  bool RightJustify() const { return rightJustify_; }
  void SetRightJustify(bool value);
  TBitmap* Bitmap();
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }

  // The tree.
  int Count() const { return int(items_.size()); }
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Delete frees the item; Remove only takes it out (the caller owns it then).
  void Delete(int index);
  void Remove(TMenuItem* item);
  void Clear();
  int IndexOf(const TMenuItem* item) const;
  TMenuItem* Find(const std::string& caption) const;  // by caption without "&"
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
  void SetMenuIndex(int index);
  // The menu whose tree holds the item (nullptr while it hangs loose).
  TMenu* GetParentMenu() const;
  // A number unique among all items, for command dispatch.
  WORD Command() const { return command_; }

  // Runs OnClick when the item is enabled.
  virtual void Click();
  TNotifyEvent OnClick;

  // Owner drawing of this item; see TMenu for the menu-wide hooks. Menus
  // take these up as they open; a menu bar as its items change, so set them
  // before adding the item (or use the hooks, which refresh the menu).
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnAdvancedDrawItem;

  // Streaming: items are written inside their parent item or menu.
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

 private:
  void Changed();
  void CheckInsert(const TMenuItem* item) const;

  std::string caption_;
  TShortCut shortCut_ = scNone;
  bool checked_ = false;
  bool radioItem_ = false;
  int groupIndex_ = 0;
  bool default_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  TMenuBreak break_ = mbNone;
  bool rightJustify_ = false;
  std::unique_ptr<TBitmap> bitmap_;
  int imageIndex_ = -1;
  std::string hint_;
  int helpContext_ = 0;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item of a menu only
  WORD command_;
  friend class TMenu;
};

// ---- Menus -------------------------------------------------------------------

enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

class TMenu : public TComponent {
  DECLARE_CLASS(TMenu, TComponent)
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  // The invisible root whose sub-items are the menu's items.
  TMenuItem* Items() const { return items_.get(); }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images);

  // fkCommand and fkShortCut; hidden items are found too.
  TMenuItem* FindItem(int value, TFindItemKind kind) const;
  // Runs the item of a shortcut: its parents' OnClick first (so they can
  // enable it), then the item when it is enabled. True when it ran.
  bool IsShortCut(WORD& key, TShiftState shift);
  bool DispatchCommand(WORD command);

  // Owner drawing for every item of the menu (a component that paints menus
  // installs these). A hook answers false to leave the item to the next
  // step: the item's own events, then plain drawing.
  using TMeasureHook = std::function<bool(TMenuItem* item, TCanvas* canvas, int& width,
                                          int& height)>;
  using TDrawHook = std::function<bool(TMenuItem* item, TCanvas* canvas, const TRect& rect,
                                       TOwnerDrawState state)>;
  void SetOwnerDrawHooks(TMeasureHook measure, TDrawHook draw);
  // Back to plain drawing (item events still apply).
  void ClearOwnerDrawHooks() { SetOwnerDrawHooks(nullptr, nullptr); }
  // For components that follow the menus they draw; several may follow one
  // menu. Told as one of the menu's popups opens, before its items are built
  // (parent: the item whose sub-items it shows, Items() for a popup menu's
  // own), as an item is pointed at, as help (F1) is asked for on the item
  // pointed at, and as the menu closes; asked for a character typed in one
  // of the menu's popups (parent as above) that no item takes as its "&"
  // letter, for the item it chooses (owner-drawn items that show no "&"
  // answer this way). Any member may be empty.
  struct TMenuHooks {
    std::function<void(TMenuItem* parent)> Opening;
    std::function<bool(TMenuItem* item)> Selected;  // true: answered
    std::function<bool(TMenuItem* item)> Help;      // true: answered
    std::function<void()> Closed;
    std::function<TMenuItem*(TMenuItem* parent, char32_t ch)> MenuChar;  // nullptr: none
  };
  // The newest hooks run first and hand on to the ones before them: each is
  // told of an opening and a closing; pointing, help and characters go on
  // until one answers. Hooks come off in any order; the id is RemoveMenuHooks'.
  int AddMenuHooks(TMenuHooks hooks);
  void RemoveMenuHooks(int id);
  void PopupOpening(TMenuItem* parent) const;
  void ItemSelected(TMenuItem* item) const;
  void HelpRequested(TMenuItem* item) const;
  void PopupClosed() const;
  TMenuItem* MenuChar(TMenuItem* parent, char32_t ch) const;
  // Whether an item is drawn by the program rather than by the plain menu.
  bool IsOwnerDrawn(const TMenuItem* item) const;
  bool MeasureItem(TMenuItem* item, TCanvas* canvas, int& width, int& height) const;
  bool DrawItem(TMenuItem* item, TCanvas* canvas, const TRect& rect, TOwnerDrawState state) const;

  // Streaming: the top-level items are written inside the menu.
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;

  struct Impl;
  Impl& impl() const { return *impl_; }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Called after any change of the tree or of an item.
  virtual void MenuChanged();

 private:
  std::unique_ptr<TMenuItem> items_;
  TCustomImageList* images_ = nullptr;
  TMeasureHook measureHook_;
  TDrawHook drawHook_;
  THookList<TMenuHooks> menuHooks_;
  std::unique_ptr<Impl> impl_;
  friend class TMenuItem;
};

// The menu bar of a form. A main menu made with a form as its owner becomes
// that form's menu (unless the form has one); SetForm moves it.
class TMainMenu : public TMenu {
  DECLARE_CLASS(TMainMenu, TMenu)
 public:
  explicit TMainMenu(TComponent* AOwner);
  ~TMainMenu() override;
  TCustomForm* Form() const { return form_; }
  void SetForm(TCustomForm* form);
  // The menu bar of a form (nullptr when it has none).
  static TMainMenu* OfForm(const TCustomForm* form);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void Detach();
  TCustomForm* form_ = nullptr;
  int windowHook_ = 0;
  int shortCutHook_ = 0;
};

DECLARE_ENUM(TPopupAlignment, paLeft, paRight, paCenter)

// Publishes a control's PopupMenu, in the PUBLISHED block of a control class
// above the menus (the controls library does not know the menu's class).
#define PROP_POPUP_MENU() \
  P.Obj("PopupMenu", &Class::PopupMenu, [](Class& c, TPopupMenu* menu) { c.SetPopupMenu(menu); })

// Its shortcuts are dispatched by its owner form while the focused control
// or one of its parents has it as PopupMenu.
class TPopupMenu : public TMenu {
  DECLARE_CLASS(TPopupMenu, TMenu)
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // Shows the menu at a screen point (OnPopup first); returns at once, the
  // chosen item's OnClick runs when it is chosen.
  virtual void Popup(int x, int y);
  // Closes the menu when it is open.
  void ClosePopup();
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment value) { alignment_ = value; }
  // The control the menu was opened for (right click), else nullptr.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* component);

  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
  TComponent* popupComponent_ = nullptr;
  int shortCutHook_ = 0;
  TCustomForm* hookedForm_ = nullptr;
};
