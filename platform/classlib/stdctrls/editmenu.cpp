#include "platform/classlib/stdctrls/editmenu.h"

#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/edits.h"

namespace {

// The desktop's edit menu, top down; a line has no message.
struct Command {
  const char* caption;
  UINT msg;
};
constexpr Command kCommands[] = {
    {"&Undo", WM_UNDO}, {"-", 0},           {"Cu&t", WM_CUT},    {"&Copy", WM_COPY},
    {"&Paste", WM_PASTE}, {"&Delete", WM_CLEAR}, {"-", 0}, {"Select &All", EM_SETSEL},
};

bool Applies(UINT msg, const TEditMenuState& s) {
  switch (msg) {
    case WM_UNDO: return s.canUndo && !s.readOnly;
    case WM_CUT: return s.hasSelection && !s.secret && !s.readOnly;
    case WM_COPY: return s.hasSelection && !s.secret;
    case WM_PASTE: return !s.readOnly && Clipboard()->HasFormat(CF_TEXT);
    case WM_CLEAR: return s.hasSelection && !s.readOnly;
    case EM_SETSEL: return s.hasText && !s.allSelected;
    default: return false;
  }
}

// Made once for a control and owned by it, so it goes with the control.
class TEditMenu : public TPopupMenu {
 public:
  explicit TEditMenu(TWinControl* control) : TPopupMenu(control) {
    for (const Command& c : kCommands) {
      auto* item = new TMenuItem(this);
      item->SetCaption(c.caption);
      if (c.msg) item->OnClick = [control, msg = c.msg](TObject*) {
        if (msg == EM_SETSEL) control->Perform(EM_SETSEL, 0, -1);
        else control->Perform(msg);
      };
      Items()->Add(item);
    }
  }

  void Show(const TEditMenuState& state, TPoint at) {
    for (int i = 0; i < Items()->Count(); ++i)
      if (kCommands[i].msg) Items()->Items(i)->SetEnabled(Applies(kCommands[i].msg, state));
    SetPopupComponent(Owner());
    Popup(at.x, at.y);
  }
};

}  // namespace

void PopupEditMenu(TWinControl& control, const TEditMenuState& state, TPoint screenPos) {
  TEditMenu* menu = nullptr;
  for (int i = 0; i < control.ComponentCount() && !menu; ++i)
    menu = dynamic_cast<TEditMenu*>(control.Components(i));
  if (!menu) menu = new TEditMenu(&control);
  menu->Show(state, screenPos);
}
