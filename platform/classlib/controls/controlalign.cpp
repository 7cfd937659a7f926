// Alignment: how aligned children share their parent's client area.

#include "platform/classlib/controls/controlwidgets.h"

#include <algorithm>
#include <vector>

using namespace vantrel::qt;
using namespace vantrel::controlsimpl;

void TControl::RequestAlign() {
  if (parent_ && align_ != alNone) parent_->AlignControl(this);
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  const TAlign old = align_;
  align_ = value;
  if (old != alNone && value == alNone && parent_) parent_->Realign();
  RequestAlign();
}

// ---- Alignment ---------------------------------------------------------------

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0) --alignLevel_;
  if (alignLevel_ == 0 && ControlState().Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* AControl) {
  if (ComponentState().Contains(csDestroying)) return;
  if (alignLevel_ != 0 || ComponentState().Contains(csLoading)) {
    IncludeControlState(csAlignmentNeeded);
    return;
  }
  DisableAlign();
  TRect r = ClientRect();
  AdjustClientRect(r);
  try {
    ArrangeChildren(AControl, r);
  } catch (...) {
    ExcludeControlState(csAlignmentNeeded);
    --alignLevel_;
    throw;
  }
  ExcludeControlState(csAlignmentNeeded);
  EnableAlign();
}

void TWinControl::ArrangeChildren(TControl*, TRect& rect) {
  // Nearer the edge first: by their places, and controls side by side in the
  // order they were made, as a form read from its definition has them (a
  // control made later at the same place comes after, whichever was aligned
  // last: an empty dock made first keeps the window's edge).
  auto before = [](TControl* c1, TControl* c2, TAlign a) {
    const auto edge = [a](const TControl* c) {
      switch (a) {
        case alTop: return c->Top();
        case alBottom: return -(c->Top() + c->Height());
        case alLeft: return c->Left();
        case alRight: return -(c->Left() + c->Width());
        default: return 0;
      }
    };
    if (edge(c1) != edge(c2)) return edge(c1) < edge(c2);
    return c1->creationOrder_ < c2->creationOrder_;
  };
  const bool designing = ComponentState().Contains(csDesigning);
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    auto takes = [&](TControl* c) { return c->Align() == a && (c->Visible() || designing); };
    for (int i = 0; i < ControlCount(); ++i)
      if (takes(Controls(i))) list.push_back(Controls(i));
    std::stable_sort(list.begin(), list.end(),
                     [&](TControl* c1, TControl* c2) { return before(c1, c2, a); });
    for (TControl* c : list) {
      // A resize handler run by an earlier SetBounds may have freed or moved it.
      if (!HasChild(c)) continue;
      const int w = rect.Width(), h = rect.Height();
      switch (a) {
        case alTop: c->SetBounds(rect.Left, rect.Top, w, c->Height()); rect.Top += c->Height(); break;
        case alBottom:
          c->SetBounds(rect.Left, rect.Bottom - c->Height(), w, c->Height());
          rect.Bottom -= c->Height();
          break;
        case alLeft: c->SetBounds(rect.Left, rect.Top, c->Width(), h); rect.Left += c->Width(); break;
        case alRight:
          c->SetBounds(rect.Right - c->Width(), rect.Top, c->Width(), h);
          rect.Right -= c->Width();
          break;
        case alClient: c->SetBounds(rect.Left, rect.Top, std::max(0, w), std::max(0, h)); break;
        default: break;
      }
    }
  }
}
