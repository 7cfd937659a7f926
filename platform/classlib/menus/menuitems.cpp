// Shortcut texts and the menu tree as data: items, their properties and
// dispatch by shortcut and command. The Qt side is in menus.cpp.

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/classlib/core/format.h"
#include "platform/classlib/menus/menus.h"

IMPLEMENT_CLASS(TMenuItem, TComponent)
IMPLEMENT_CLASS(EMenuError, Exception)

// ---- Shortcuts ---------------------------------------------------------------

namespace {

struct KeyName {
  WORD Key;
  const char* Name;
};

constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},  {VK_TAB, "Tab"},     {VK_ESCAPE, "Esc"},  {VK_RETURN, "Enter"},
    {VK_SPACE, "Space"}, {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},
    {VK_HOME, "Home"},  {VK_LEFT, "Left"},   {VK_UP, "Up"},       {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},  {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},
};

// Modifier prefixes in the order texts are written.
struct ModifierName {
  TShortCut Flag;
  const char* Prefix;
};
constexpr ModifierName kModifiers[] = {{scShift, "Shift+"}, {scCtrl, "Ctrl+"}, {scAlt, "Alt+"}};

std::string KeyText(WORD key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
  if (key >= VK_F1 && key <= VK_F12) return "F" + std::to_string(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.Key == key) return k.Name;
  return {};
}

bool StartsWithNoCase(const std::string& text, size_t at, const std::string& prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[at + i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace

TShortCut ShortCut(WORD key, TShiftState shift) {
  // Keys above the low byte have no shortcut form.
  if (key & 0xFF00) return scNone;
  TShortCut sc = key;
  if (shift.Contains(ssShift)) sc |= scShift;
  if (shift.Contains(ssCtrl)) sc |= scCtrl;
  if (shift.Contains(ssAlt)) sc |= scAlt;
  return sc;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = {};
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

std::string ShortCutToText(TShortCut shortCut) {
  std::string key = KeyText(shortCut & 0xFF);
  if (key.empty()) return {};
  std::string text;
  for (const ModifierName& m : kModifiers)
    if (shortCut & m.Flag) text += m.Prefix;
  return text + key;
}

TShortCut TextToShortCut(const std::string& text) {
  TShortCut modifiers = 0;
  size_t at = 0;
  for (bool found = true; found;) {
    found = false;
    for (const ModifierName& m : kModifiers)
      if (StartsWithNoCase(text, at, m.Prefix)) {
        modifiers |= m.Flag;
        at += std::string(m.Prefix).size();
        found = true;
      }
  }
  std::string rest = text.substr(at);
  for (int key = 1; key <= 0xFF; ++key) {
    std::string name = KeyText(WORD(key));
    if (!name.empty() && name.size() == rest.size() && StartsWithNoCase(rest, 0, name))
      return TShortCut(key) | modifiers;
  }
  return scNone;
}

// ---- Commands ----------------------------------------------------------------

namespace {

// Command numbers in use; a freed item's number is given out again.
std::vector<bool>& UsedCommands() {
  static std::vector<bool> used(1, true);  // 0 is no command
  return used;
}

WORD AllocateCommand() {
  auto& used = UsedCommands();
  auto free = std::find(used.begin(), used.end(), false);
  if (free != used.end()) {
    *free = true;
    return WORD(free - used.begin());
  }
  if (used.size() > 0xFFFF) throw EOutOfResources("Too many menu items");
  used.push_back(true);
  return WORD(used.size() - 1);
}

void ReleaseCommand(WORD command) { UsedCommands()[command] = false; }

}  // namespace

// ---- Items -------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), command_(AllocateCommand()) {}

TMenuItem::~TMenuItem() {
  while (!items_.empty()) delete items_.back();
  if (parent_) parent_->Remove(this);
  ReleaseCommand(command_);
}

void TMenuItem::Changed() {
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged();
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

void TMenuItem::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut shortCut) {
  shortCut_ = shortCut;
  Changed();
}

void TMenuItem::SetChecked(bool value) {
  checked_ = value;
  if (value && radioItem_ && parent_)
    for (TMenuItem* sibling : parent_->items_)
      if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_)
        sibling->checked_ = false;
  Changed();
}

void TMenuItem::SetRadioItem(bool value) {
  radioItem_ = value;
  Changed();
}

void TMenuItem::SetGroupIndex(int value) {
  groupIndex_ = value;
  Changed();
}

void TMenuItem::SetDefault(bool value) {
  // One default item per menu.
  if (value && parent_)
    for (TMenuItem* sibling : parent_->items_) sibling->default_ = false;
  default_ = value;
  Changed();
}

void TMenuItem::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Changed();
}

void TMenuItem::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Changed();
}

void TMenuItem::SetBreak(TMenuBreak value) {
  break_ = value;
  Changed();
}

void TMenuItem::SetRightJustify(bool value) {
  if (value == rightJustify_) return;
  rightJustify_ = value;
  Changed();
}

TBitmap* TMenuItem::Bitmap() {
  if (!bitmap_) bitmap_ = std::make_unique<TBitmap>();
  return bitmap_.get();
}

void TMenuItem::SetImageIndex(int value) {
  imageIndex_ = value;
  Changed();
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EMenuError(Format("Menu index out of range (%d)", {index}));
  return items_[size_t(index)];
}

void TMenuItem::CheckInsert(const TMenuItem* item) const {
  if (!item) throw EMenuError("Cannot insert a missing menu item");
  if (item->parent_) throw EMenuError("Menu inserted twice");
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw EMenuError("A menu item cannot hold itself");
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  CheckInsert(item);
  if (index < 0 || index > Count())
    throw EMenuError(Format("Menu index out of range (%d)", {index}));
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  Changed();
}

void TMenuItem::Delete(int index) { delete Items(index); }

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) throw EMenuError("Menu item not found");
  items_.erase(it);
  item->parent_ = nullptr;
  Changed();
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
  std::string wanted = StripHotkey(caption);
  for (TMenuItem* item : items_)
    if (StripHotkey(item->caption_) == wanted) return item;
  return nullptr;
}

void TMenuItem::SetMenuIndex(int index) {
  if (!parent_) return;
  TMenuItem* parent = parent_;
  index = std::clamp(index, 0, parent->Count() - 1);
  auto& list = parent->items_;
  list.erase(list.begin() + parent->IndexOf(this));
  list.insert(list.begin() + index, this);
  Changed();
}

void TMenuItem::Click() {
  if (!enabled_ || !OnClick) return;
  // A copy runs: the handler may free the item (and its menu) it belongs to.
  TNotifyEvent handler = OnClick;
  handler(this);
}

// ---- Streaming ---------------------------------------------------------------

namespace {

void ListOwnedItems(const TMenuItem& parent, const TGetChildProc& proc, TComponent* root) {
  for (int i = 0; i < parent.Count(); ++i)
    if (TMenuItem* item = parent.Items(i); item->Owner() == root) proc(item);
}

}  // namespace

void TMenuItem::GetChildren(const TGetChildProc& proc, TComponent* root) {
  ListOwnedItems(*this, proc, root);
}

void TMenu::GetChildren(const TGetChildProc& proc, TComponent* root) {
  ListOwnedItems(*items_, proc, root);
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ && parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (parent_) parent_->Remove(this);
  if (auto* menu = dynamic_cast<TMenu*>(parent)) menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent)) item->Add(this);
}

PUBLISHED(TMenuItem) {
  PROP_ENUM(Break, Break, SetBreak, mbNone);
  PROP_STR(Caption, Caption, SetCaption, "");
  PROP_BOOL(Checked, Checked, SetChecked, false);
  PROP_BOOL(Default, Default, SetDefault, false);
  PROP_BOOL(Enabled, Enabled, SetEnabled, true);
  PROP_INT(GroupIndex, GroupIndex, SetGroupIndex, 0);
  PROP_INT(HelpContext, HelpContext, SetHelpContext, 0);
  PROP_STR(Hint, Hint, SetHint, "");
  PROP_INT(ImageIndex, ImageIndex, SetImageIndex, -1);
  PROP_BOOL(RadioItem, RadioItem, SetRadioItem, false);
  PROP_INT(ShortCut, ShortCut, SetShortCut, scNone);
  PROP_BOOL(Visible, Visible, SetVisible, true);
  PROP_EVENT(OnClick);
}

// ---- Dispatch ----------------------------------------------------------------

namespace {

TMenuItem* FindIn(TMenuItem* parent, const std::function<bool(TMenuItem*)>& match) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (match(item)) return item;
    if (TMenuItem* found = FindIn(item, match)) return found;
  }
  return nullptr;
}

}  // namespace

TMenuItem* TMenu::FindItem(int value, TFindItemKind kind) const {
  if (kind == fkHandle) return nullptr;  // menus have no handles of their own here
  return FindIn(items_.get(), [&](TMenuItem* item) {
    return kind == fkCommand ? item->Command() == value
                             : item->ShortCut() != scNone && item->ShortCut() == value;
  });
}

bool TMenu::IsShortCut(WORD& key, TShiftState shift) {
  TShortCut sc = ShortCut(key, shift);
  if (sc == scNone) return false;
  TMenuItem* item = FindItem(sc, fkShortCut);
  if (!item) return false;
  // Parents run first, top down, as they would when their menus open: the
  // program enables the item there.
  std::vector<TMenuItem*> parents;
  for (TMenuItem* p = item->Parent(); p && p != items_.get(); p = p->Parent())
    parents.push_back(p);
  std::reverse(parents.begin(), parents.end());
  for (TMenuItem* p : parents) {
    if (FindItem(sc, fkShortCut) != item) return false;  // the tree changed under us
    p->Click();
  }
  if (FindItem(sc, fkShortCut) != item || !item->Enabled()) return false;
  item->Click();
  key = 0;
  return true;
}

bool TMenu::DispatchCommand(WORD command) {
  TMenuItem* item = FindItem(command, fkCommand);
  if (!item) return false;
  item->Click();
  return true;
}
