#pragma once
// Docks and toolbars: TDock97 holds toolbars in rows along an edge of a form;
// TToolWindow97 is a bar of buttons and separators that is docked or floats
// in a small tool window of its own, which the user drags between docks,
// floats, sizes (re-wrapping its controls) and closes. The arithmetic lives
// in tb97calc.h; this is the controls around it.

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/outline.h"
#include "winctrls/tb97calc.h"

class TToolWindow97;

DECLARE_ENUM(TDockPosition, dpTop, dpBottom, dpLeft, dpRight)
DECLARE_ENUM(TDockBoundLine, blTop, blBottom, blLeft, blRight)
using TDockBoundLines = TSet<TDockBoundLine>;
using TInsertRemoveEvent = std::function<void(TObject* Sender, bool Inserting, TToolWindow97* Bar)>;

class TDock97 : public TCustomControl {
  DECLARE_CLASS(TDock97, TCustomControl)
 public:
  // Raises EInvalidOperation unless owned by a form.
  explicit TDock97(TComponent* AOwner);
  ~TDock97() override;

  TDockPosition Position() const { return position_; }
  // Raises EInvalidOperation once the dock holds controls.
  void SetPosition(TDockPosition value);
  bool Vertical() const { return position_ == dpLeft || position_ == dpRight; }
  bool AllowDrag() const { return allowDrag_; }
  void SetAllowDrag(bool value);
  TDockBoundLines BoundLines() const { return boundLines_; }
  void SetBoundLines(TDockBoundLines value);
  bool FixAlign() const { return fixAlign_; }
  void SetFixAlign(bool value);
  bool LimitToOneRow() const { return limitToOneRow_; }
  void SetLimitToOneRow(bool value) { limitToOneRow_ = value; }
  // A bitmap tiled behind the dock and, continuing the pattern, its bars.
  TBitmap* Background() const { return background_.get(); }
  void SetBackground(const TBitmap* value);
  // The background's bottom-left colour shows the dock's Color instead.
  bool BackgroundTransparent() const { return backgroundTransparent_; }
  void SetBackgroundTransparent(bool value);
  // Tiles the background over `clip` of `canvas`, one tile's top-left at `origin`.
  void DrawBackground(TCanvas* canvas, const TRect& clip, TPoint origin);

  // While disabled (counted) arrangements are skipped.
  void BeginArrange() { ++disableArrange_; }
  void EndArrange() { --disableArrange_; }
  void ArrangeToolbars();
  void ChangeDockList(bool insert, TToolWindow97* bar, bool isVisible);
  const std::vector<TToolWindow97*>& DockList() const { return dockList_; }

  int GetHighestRow() const;
  // The thickness record of a row; past the rows the bar's own.
  tb97::DockedSize GetRowSize(int row, const TToolWindow97* bar) const;
  int RowAt(int pos) const;
  int RowAtForDrop(int pos, bool& newRow) const;
  void InsertRowBefore(int row);

  TInsertRemoveEvent OnInsertRemoveBar;

  void SetParent(TWinControl* AParent) override;
  void Dispatch(TMessage& message) override;

 protected:
  void Loaded() override;
  void VisibleChanging() override;
  void ArrangeChildren(TControl* AControl, TRect& rect) override;
  void PaintContent() override;

 private:
  std::vector<int> RowSizesAcross() const;
  void ResizeTo(int clientThickness);
  void BackgroundChanged();

  TDockPosition position_ = dpTop;
  bool allowDrag_ = true;
  TDockBoundLines boundLines_;
  bool fixAlign_ = false;
  bool limitToOneRow_ = false;
  int disableArrange_ = 0;
  std::vector<TToolWindow97*> dockList_;
  std::vector<tb97::DockedSize> rowSizes_;
  std::unique_ptr<TBitmap> background_;
  std::unique_ptr<TBitmap> transparentCopy_;  // built on first use
  bool backgroundTransparent_ = false;
};

// The invisible child of a form that owns its floating toolbars' windows.
class TFloatParent : public TWinControl {
  DECLARE_CLASS(TFloatParent, TWinControl)
 public:
  explicit TFloatParent(TComponent* AOwner) : TWinControl(AOwner) {}
};

class TToolWindow97 : public TCustomControl {
  DECLARE_CLASS(TToolWindow97, TCustomControl)
 public:
  // Raises EInvalidOperation unless owned by a form.
  explicit TToolWindow97(TComponent* AOwner);
  ~TToolWindow97() override;

  TDock97* DockedTo() const;
  bool Floating() const;
  // Docks the bar in `value`, or floats it (nullptr) at its floating rectangle.
  void SetDockedTo(TDock97* value);
  int DockRow() const { return dockRow_; }
  void SetDockRow(int value);
  int DockPos() const { return dockPos_; }
  void SetDockPos(int value);
  TDock97* DefaultDock() const { return defaultDock_; }
  void SetDefaultDock(TDock97* value);
  bool CanDockLeftRight() const { return canDockLeftRight_; }
  void SetCanDockLeftRight(bool value) { canDockLeftRight_ = value; }
  bool CloseButton() const { return closeButton_; }
  void SetCloseButton(bool value);
  // Screen rectangle of the floating window (frame and caption included);
  // empty until the bar first floats.
  const TRect& FloatingRect() const { return floatingRect_; }
  void SetFloatingRect(const TRect& r) { floatingRect_ = r; }
  int FloatRightX() const { return floatRightX_; }
  void SetFloatRightX(int value);
  tb97::DockedSize DockedSize() const { return dockedSize_; }
  tb97::DockType CurrentDockType() const;
  // Which bar-relative line breaks (y, blank) the floating layout made.
  const std::vector<tb97::LayoutResult::LineBreak>& LineBreaks() const { return lineBreaks_; }

  // Lays out the controls for `dock` (nullptr: floating) wrapping at `wrapAt`;
  // with canMove false nothing moves and only the size is computed.
  TSize ArrangeControls(bool canMove, bool canResize, TDock97* dock, int wrapAt);
  void ArrangeControls();
  // Keeps a floating bar within the screen's work area.
  void MoveOnScreen(bool onlyIfFullyOffscreen);
  // A floating bar is parked (hidden, its Visible kept) while its form is
  // hidden or minimised or the application inactive.
  bool Parked() const { return parked_; }
  void SetParked(bool value);
  // True while a move or size drag runs.
  bool Dragging97() const { return drag_ != nullptr; }
  // The outline the running drag shows (for tests and the screen).
  const TScreenOutline* DragOutline() const;

  TNotifyEvent OnClose;
  TNotifyEvent OnDockChanging;
  TNotifyEvent OnDockChanged;
  TNotifyEvent OnRecreating;
  TNotifyEvent OnRecreated;

  void SetParent(TWinControl* AParent) override;
  void Dispatch(TMessage& message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;
  void ArrangeChildren(TControl* AControl, TRect& rect) override;
  void FillCreateParams(TCreateParams& params) override;
  void PaintContent() override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void BoundsChanged(bool moved, bool resized) override;

 private:
  struct Drag;
  std::vector<tb97::LayoutItem> VisibleItems(std::vector<TControl*>& controls) const;
  void BeginDrag97(int kind);
  void StartMove(TPoint clientPoint, bool preventDocking);
  void StartSize(int edge);
  void StartClose();
  void DragTo(TPoint screen, bool ctrl);
  void EndDrag(bool accept);
  void FinishMove(const Drag& d);
  void FinishSize(const Drag& d);
  void PaintNonClient(TCanvas* dc);
  // Windowed controls on the bar are watched (tb97hosted.cpp): one that
  // changes size lays the bar out again; on a floating bar a press gives an
  // edit or a list the keyboard, and Escape, Enter or a closed list gives
  // it back to the form's control that had it.
  void WatchChild(TControl* child, bool inserting);
  void UnwatchChildren();
  void ChildMessage(TWinControl* child, TMessage& m, const TWndMethod& next);
  void TakeKeyboard(TWinControl* child);
  void GiveKeyboardBack();
  bool HoldsKeyboard() const;
  void ActivationTaken();
  void SetKeyboardFrom(TWinControl* control);

  int dockRow_ = 0;
  int dockPos_ = -1;
  TDock97* defaultDock_ = nullptr;
  bool canDockLeftRight_ = true;
  bool closeButton_ = true;
  bool closePressed_ = false;
  TRect floatingRect_;
  int floatRightX_ = 0;
  tb97::DockedSize dockedSize_;
  std::vector<TControl*> order_;
  std::vector<tb97::LayoutResult::LineBreak> lineBreaks_;
  int arranging_ = 0;
  int disableLayout_ = 0;
  int hiding_ = 0;
  TFloatParent* floatParent_ = nullptr;
  std::unique_ptr<Drag> drag_;
  bool parked_ = false;
  TWinControl* hookedForm_ = nullptr;
  int formHook_ = 0, appHook_ = 0;
  std::vector<std::pair<TWinControl*, int>> childHooks_;
  TWinControl* keyboardFrom_ = nullptr;  // the form's control before the bar's took the keys

  friend class TDock97;
};

// Ends a group of a toolbar's controls and draws an etched line across it.
class TToolbarSep97 : public TGraphicControl {
  DECLARE_CLASS(TToolbarSep97, TGraphicControl)
 public:
  explicit TToolbarSep97(TComponent* AOwner);
  bool Blank() const { return blank_; }
  void SetBlank(bool value);
  int SizeHorz() const { return sizeHorz_; }
  void SetSizeHorz(int value);
  int SizeVert() const { return sizeVert_; }
  void SetSizeVert(int value);
  // Raises EInvalidOperation for a parent that is not a toolbar.
  void SetParent(TWinControl* AParent) override;

 protected:
  void PaintContent() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  bool blank_ = false;
  int sizeHorz_ = 6, sizeVert_ = 6;
};

// Parks or shows again the floating toolbars of a form.
void ShowHideFloatingToolbars(TCustomForm* form, bool appActive);

// Saves and restores where every toolbar of `form` is, one sub-key per
// toolbar name under `keyName` of the user's settings.
void LoadToolbarLayout(TForm* form, const std::string& keyName);
void SaveToolbarLayout(TForm* form, const std::string& keyName);
