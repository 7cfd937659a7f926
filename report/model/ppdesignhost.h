#pragma once
// The least designer a report can be attached to: a form with a design
// window that keeps every designer message it receives and answers the
// request for a design control, the popup menu its components fill, and the
// shared sizing handles. It edits no layout.

#include <functional>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "report/model/ppdesign.h"

class TPopupMenu;
class TppBand;
class TppCustomReport;

struct TppDesignerMessage {
  UINT Msg;
  WPARAM Param;
  TObject* Sender;  // only compared: it may be gone by now
};

// Receives the designer messages of the attached report.
class TppDesignWindow : public TCustomControl {
  DECLARE_CLASS(TppDesignWindow, TCustomControl)
 public:
  explicit TppDesignWindow(TComponent* owner);
  // Every designer message received, in order.
  std::vector<TppDesignerMessage> Messages;
  TppSizingHandles* SizingHandles() const { return sizingHandles_; }
  // Told of each designer message after it was kept.
  std::function<void(const TppDesignerMessage&)> OnDesignerMessage;

 protected:
  void WndProc(TMessage& message) override;

 private:
  TppDesignControl* NewDesignControl(TppPrintable* component);
  TppSizingHandles* sizingHandles_;
};

class TppDesignerHost : public TForm {
  DECLARE_CLASS(TppDesignerHost, TForm)
 public:
  explicit TppDesignerHost(TComponent* owner);
  ~TppDesignerHost() override;

  TppDesignWindow* DesignWindow() const { return window_; }
  TPopupMenu* Menu() const { return menu_; }
  void Attach(TppCustomReport* report);
  void Detach();
  TppCustomReport* Report() const { return report_; }
  // Shows the selection of `component` (hiding the one shown before).
  void Select(TppPrintable* component);
  TppPrintable* Selected() const { return selected_; }
  // Fills the menu for a band (as its popup in the band's caption strip).
  void PopupForBand(TppBand* band);

 private:
  void MenuPopup();
  TppDesignWindow* window_;
  TPopupMenu* menu_;
  TppCustomReport* report_ = nullptr;
  TppPrintable* selected_ = nullptr;
};
