// Where every toolbar of a form is, kept in the user's settings: one sub-key
// per toolbar name, decimal text values. Layouts saved by earlier versions
// read back the same way.

#include <memory>

#include "platform/classlib/core/registry.h"
#include "winctrls/tb97.h"

using namespace tb97;

namespace {

template <class T, class Fn>
void ForEach(TForm* form, Fn&& fn) {
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* c = dynamic_cast<T*>(form->Components(i))) fn(c);
}

// The stored rectangle has the frame and caption taken off; an all-zero one
// (never floated) is kept as it is both ways.
TRect ToStored(const TRect& r) { return r == TRect{} ? r : WindowToClientRect(r); }
TRect FromStored(const TRect& r) { return r == TRect{} ? r : ClientToWindowRect(r); }

const char* const kRectNames[] = {"FloatLeft", "FloatTop", "FloatRight", "FloatBottom"};

// Reads the place of a bar. Damaged values are kept in range: rows and
// positions clamped, a rectangle with no area dropped (the bar then floats
// at its own size), no negative wrap width.
void ReadPlace(TRegIniFile& reg, const std::string& name, TToolWindow97* bar) {
  bar->SetDockRow(ClampDockRow(reg.ReadInteger(name, "DockRow", bar->DockRow())));
  bar->SetDockPos(ClampDockPos(reg.ReadInteger(name, "DockPos", bar->DockPos())));
  int v[4];
  for (int i = 0; i < 4; ++i) v[i] = ClampDockPos(reg.ReadInteger(name, kRectNames[i], 0));
  TRect r = FromStored(Rect(v[0], v[1], v[2], v[3]));
  if (IsRectEmpty(r)) r = {};
  bar->SetFloatingRect(r);
  bar->SetFloatRightX(std::clamp(reg.ReadInteger(name, "FloatRightX", 0), 0, kMaxDockPos));
}

void WritePlace(TRegIniFile& reg, const std::string& name, TToolWindow97* bar,
                const std::string& dockName, const TRect& windowRect) {
  const TRect r = ToStored(windowRect);
  reg.WriteString(name, "DockedTo", dockName);
  reg.WriteInteger(name, "DockRow", bar->DockRow());
  reg.WriteInteger(name, "DockPos", bar->DockPos());
  const int v[4] = {r.Left, r.Top, r.Right, r.Bottom};
  for (int i = 0; i < 4; ++i) reg.WriteInteger(name, kRectNames[i], v[i]);
  reg.WriteInteger(name, "FloatRightX", bar->FloatRightX());
}

void LoadBar(TRegIniFile& reg, TForm* form, TToolWindow97* bar) {
  const std::string& name = bar->Name();
  if (name.empty()) throw Exception("Name property not set");
  bar->SetVisible(reg.ReadInteger(name, "Visible", bar->Visible() ? 1 : 0) != 0);
  const std::string dockName = reg.ReadString(name, "DockedTo", "");
  if (dockName.empty()) return;
  if (dockName == "nil") {
    ReadPlace(reg, name, bar);
    bar->SetDockedTo(nullptr);
    bar->MoveOnScreen(false);
    return;
  }
  // A dock that no longer exists, or one that keeps its bars, leaves the bar where it is.
  TDock97* dock = nullptr;
  ForEach<TDock97>(form, [&](TDock97* d) {
    if (!dock && d->Name() == dockName) dock = d;
  });
  if (!dock || !dock->AllowDrag()) return;
  ReadPlace(reg, name, bar);
  bar->SetDockedTo(dock);
}

}  // namespace

void LoadToolbarLayout(TForm* form, const std::string& keyName) {
  auto reg = std::make_unique<TRegIniFile>(keyName);
  std::vector<TDock97*> docks;
  ForEach<TDock97>(form, [&](TDock97* d) {
    d->BeginArrange();
    docks.push_back(d);
  });
  auto enable = [&] {
    for (auto it = docks.rbegin(); it != docks.rend(); ++it) {
      (*it)->EndArrange();
      (*it)->ArrangeToolbars();
    }
  };
  try {
    ForEach<TToolWindow97>(form, [&](TToolWindow97* bar) { LoadBar(*reg, form, bar); });
  } catch (...) {
    enable();
    throw;
  }
  enable();
}

void SaveToolbarLayout(TForm* form, const std::string& keyName) {
  auto reg = std::make_unique<TRegIniFile>(keyName);
  ForEach<TToolWindow97>(form, [&](TToolWindow97* bar) {
    const std::string& name = bar->Name();
    if (name.empty()) throw Exception("Name property not set");
    TDock97* dock = bar->DockedTo();
    if (dock && dock->Name().empty()) throw Exception("DockTo's Name property not set");
    // A parked bar is only out of sight for a while.
    reg->WriteInteger(name, "Visible", bar->Visible() || bar->Parked() ? 1 : 0);
    if (dock && !dock->AllowDrag()) return;
    if (dock) WritePlace(*reg, name, bar, dock->Name(), bar->FloatingRect());
    else WritePlace(*reg, name, bar, "nil", bar->BoundsRect());
  });
}
