#pragma once
// What a layout designer offers for each component and band: the popup menu
// items (names and caption offsets of the string table), where the sizing
// and selection handles of a selected component go, the objects that show a
// selection, the control a designer hands a component to show its design
// image in, and the messages the report tells its designer window.

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/component.h"
#include "platform/classlib/graphics/types.h"

class TPopupMenu;
class TMenuItem;
class TppCustomReport;
class TppPrintable;

struct TppMenuItemDef {
  const char* Name;
  int CaptionOffset;  // 0 for a separator (or a band item named by its property)
};

// The popup items of a class ("TppLabel", "TppDetailBand" ...), in menu
// order; a class without items of its own takes its nearest ancestor's,
// a band its kind's (any band, page band, report band); empty for an
// unknown class.
const std::vector<TppMenuItemDef>& ppPopupItems(const std::string& className);
const std::vector<TppMenuItemDef>& ppPopupItems(TClass cls);
// An item's caption at a language base ("-" for a separator).
std::string ppPopupCaption(const TppMenuItemDef& item, int languageBase);

// Handle size in pixels.
constexpr int ppHandleSize = 5;
// Top-left corners of the eight sizing handles around `bounds`: top-left,
// top-middle, top-right, middle-left, middle-right, bottom-left,
// bottom-middle, bottom-right (each centred on its point).
std::vector<TPoint> ppSizingHandles(const TRect& bounds);
// Top-left corners of the four selection handles inside `bounds`.
std::vector<TPoint> ppSelectionHandles(const TRect& bounds);

// ---- Designer messages -----------------------------------------------------------
// Sent to the report's design window with the sender in LParam; WParam is
// ppDesignerParam unless a message says otherwise.
constexpr UINT ppmsgNameChanged = 1124, ppmsgReportFreed = 1126, ppmsgLayoutChanged = 1127,
               ppmsgComponentFreed = 1128, ppmsgUnitsChanged = 1129, ppmsgChanged = 1131,
               ppmsgPipelineChanged = 1132, ppmsgLanguageChanged = 1134,
               ppmsgFormatDialog = 1135, ppmsgCreateDesignControl = 1136,
               ppmsgBandCaptionChanged = 1137, ppmsgBandAdded = 1138, ppmsgBandRemoved = 1139,
               ppmsgBandLayoutChanged = 1140, ppmsgPrinting = 1141,
               ppmsgParentSizeChanged = 1144, ppmsgSubReportCaption = 1145,
               ppmsgLayoutReplacing = 1146, ppmsgLayoutReplaced = 1147;
constexpr WPARAM ppDesignerParam = 5050;

// Sends (or posts, delivered from the event loop) a message to a designer
// window; nothing without one. Returns the window's answer.
LRESULT ppSendDesignerMessage(TControl* designer, UINT msg, TObject* sender,
                              WPARAM param = ppDesignerParam);
void ppPostDesignerMessage(TControl* designer, UINT msg, TObject* sender,
                           WPARAM param = ppDesignerParam);

// ---- Selection ---------------------------------------------------------------------

// The rubber rectangle a designer drags: hidden until asked for.
class TppBoundsRect : public TShape {
  DECLARE_CLASS(TppBoundsRect, TShape)
 public:
  explicit TppBoundsRect(TComponent* owner);
  // The rectangle it stands for (window coordinates).
  TRect Rect{0, 0, 0, 0};
};

// Eight handles that size the selected control.
class TppSizingHandles : public TComponent {
  DECLARE_CLASS(TppSizingHandles, TComponent)
 public:
  explicit TppSizingHandles(TComponent* owner);
  // The handles move into `window`.
  void SetControl(TWinControl* window);
  TWinControl* Window() const { return window_; }
  // Around a control's bounds (left, top, width, height).
  void Place(int left, int top, int width, int height);
  void Show();
  void Hide();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TShape* Handle(int index) const { return handles_[size_t(index)]; }

 private:
  TColor color_ = clBlack;
  std::vector<TShape*> handles_;  // owned (components of this object)
  TWinControl* window_ = nullptr;
};

// Four grey corner marks of a control that cannot be sized.
class TppSelectionHandles : public TComponent {
  DECLARE_CLASS(TppSelectionHandles, TComponent)
 public:
  explicit TppSelectionHandles(TComponent* owner);
  void SetControl(TWinControl* window);
  TWinControl* Window() const { return window_; }
  void Place(int left, int top, int width, int height);
  void Show();
  void Hide();
  TShape* Handle(int index) const { return handles_[size_t(index)]; }

 private:
  std::vector<TShape*> handles_;
  TWinControl* window_ = nullptr;
};

class TppDesignControl;

// What shows that a component is selected.
class TppSelectionObject : public TComponent {
  DECLARE_CLASS(TppSelectionObject, TComponent)
 public:
  explicit TppSelectionObject(TComponent* owner);
  ~TppSelectionObject() override;
  // The window the handles and the bounds rectangle live in.
  void SetControl(TWinControl* window);
  TWinControl* Window() const { return window_; }
  // Shared sizing handles (or none: the selection handles show instead).
  TppSizingHandles* SizingHandles() const { return sizingHandles_; }
  void SetSizingHandles(TppSizingHandles* handles);
  TppSelectionHandles* SelectionHandles() const { return selectionHandles_; }
  TppBoundsRect* BoundsRect() const { return boundsRect_; }
  TppPrintable* Component() const { return component_; }
  TppDesignControl* DesignControl() const { return designControl_; }
  void SetComponent(TppPrintable* component, TppDesignControl* control);
  bool Visible() const { return visible_; }

  void Show();
  void Hide();
  // The bounds rectangle follows the design control (when visible).
  void Update();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool visible_ = true;
  TppBoundsRect* boundsRect_;
  TppSizingHandles* sizingHandles_ = nullptr;
  TppSelectionHandles* selectionHandles_;
  TWinControl* window_ = nullptr;
  TppPrintable* component_ = nullptr;
  TppDesignControl* designControl_ = nullptr;
};

// The control a designer hands a component (answer to message 1136): it
// paints the component's design image and carries what the designer needs
// to size it.
class TppDesignControl : public TCustomControl {
  DECLARE_CLASS(TppDesignControl, TCustomControl)
 public:
  explicit TppDesignControl(TComponent* owner);
  ~TppDesignControl() override;
  TppPrintable* Component() const { return component_; }
  void SetComponent(TppPrintable* component) { component_ = component; }
  // Handles the designer may not drag: 5 when the width follows the
  // parent, 10 when the height does (both: 15).
  int SizingHandleMask() const { return sizingHandleMask_; }
  void SetSizingHandleMask(int mask) { sizingHandleMask_ = mask; }
  // The designer's shared sizing handles, given to the selection object.
  TppSizingHandles* SizingHandles() const { return sizingHandles_; }
  void SetSizingHandles(TppSizingHandles* handles) { sizingHandles_ = handles; }

 protected:
  void PaintContent() override;

 private:
  TppPrintable* component_ = nullptr;
  int sizingHandleMask_ = 0;
  TppSizingHandles* sizingHandles_ = nullptr;
};

class TppBand;

// A band's own control in the design window: a strip of the band's size
// showing its caption, whose popup menu is the band's.
class TppBandDesignControl : public TCustomControl {
  DECLARE_CLASS(TppBandDesignControl, TCustomControl)
 public:
  explicit TppBandDesignControl(TComponent* owner);
  TppBand* Band() const { return band_; }
  void SetBand(TppBand* band) { band_ = band; }

 protected:
  void PaintContent() override;

 private:
  TppBand* band_ = nullptr;
};

// Stacks the band controls of a report's main report, then of its
// sub-reports' reports, each as high as its band.
void ppArrangeBandControls(TppCustomReport* report);

// Masks of the handles a parent-sized component loses.
constexpr int ppmaskParentWidth = 5, ppmaskParentHeight = 10;

// Fills `menu` with the items of `items` (captions at `languageBase`),
// each item's click handed to `click` with the item's name.
void ppBuildPopupItems(TPopupMenu* menu, const std::vector<TppMenuItemDef>& items,
                       int languageBase, const std::function<void(const std::string&)>& click);
// The item of that name in a menu (nullptr when absent).
TMenuItem* ppFindPopupItem(TPopupMenu* menu, const std::string& name);
// Sets an item's check (no item of that name: nothing).
void ppCheckPopupItem(TPopupMenu* menu, const std::string& name, bool checked);

class TppCustomReport;
// Attaches a report (its bands' components, and the reports of its
// sub-reports) to a designer window: every component gets its design
// control and selection object. Detaching frees them again.
void ppAttachDesigner(TppCustomReport* report, TWinControl* window);
void ppDetachDesigner(TppCustomReport* report);
// The reports of the report's sub-reports take its design window.
void ppHandDesignWindow(TppCustomReport* report);
