#include "report/model/ppdesignhost.h"

#include "platform/classlib/menus/menus.h"
#include "report/model/ppbands.h"
#include "report/model/ppcomponent.h"
#include "report/model/ppreport.h"

namespace {
// The designer messages a report sends.
constexpr UINT kFirstDesignerMessage = 1124, kLastDesignerMessage = 1147;
constexpr int kHostWidth = 800, kHostHeight = 600;
}  // namespace

IMPLEMENT_CLASS(TppDesignWindow, TCustomControl)

TppDesignWindow::TppDesignWindow(TComponent* owner)
    : TCustomControl(owner), sizingHandles_(new TppSizingHandles(this)) {
  SetColor(clWhite);
}

void TppDesignWindow::WndProc(TMessage& message) {
  if (message.Msg < kFirstDesignerMessage || message.Msg > kLastDesignerMessage) {
    inherited::WndProc(message);
    return;
  }
  Messages.push_back({message.Msg, message.WParam, reinterpret_cast<TObject*>(message.LParam)});
  if (message.Msg == ppmsgCreateDesignControl)
    message.Result = LRESULT(static_cast<TObject*>(
        NewDesignControl(dynamic_cast<TppPrintable*>(reinterpret_cast<TObject*>(message.LParam)))));
  if (OnDesignerMessage) OnDesignerMessage(Messages.back());
}

TppDesignControl* TppDesignWindow::NewDesignControl(TppPrintable* component) {
  if (!component) return nullptr;
  auto* control = new TppDesignControl(Owner() ? Owner() : this);
  control->SetParent(this);
  control->SetComponent(component);
  control->SetSizingHandles(sizingHandles_);
  control->SetColor(component->Color());
  return control;
}

IMPLEMENT_CLASS(TppDesignerHost, TForm)

TppDesignerHost::TppDesignerHost(TComponent* owner)
    : TForm(owner), window_(new TppDesignWindow(this)), menu_(new TPopupMenu(this)) {
  SetCaption("Report Designer");
  SetClientWidth(kHostWidth);
  SetClientHeight(kHostHeight);
  window_->SetParent(this);
  window_->SetAlign(alClient);
  window_->SetPopupMenu(menu_);
  window_->SizingHandles()->SetControl(window_);
  menu_->OnPopup = [this](TObject*) { MenuPopup(); };
  // A report freed while attached is gone: nothing of it is detached later.
  window_->OnDesignerMessage = [this](const TppDesignerMessage& m) {
    if (m.Msg == ppmsgReportFreed && m.Sender == report_) {
      report_ = nullptr;
      selected_ = nullptr;
    }
    // A replaced layout brings components and bands of its own: they are
    // attached as the first ones were (those kept keep their controls).
    if (m.Msg == ppmsgLayoutReplacing && m.Sender == report_) selected_ = nullptr;
    if (m.Msg == ppmsgLayoutReplaced && m.Sender == report_) ppAttachDesigner(report_, window_);
  };
}

TppDesignerHost::~TppDesignerHost() { Detach(); }

void TppDesignerHost::Attach(TppCustomReport* report) {
  Detach();
  report_ = report;
  if (report) ppAttachDesigner(report, window_);
}

void TppDesignerHost::Detach() {
  if (!report_) return;
  selected_ = nullptr;
  ppDetachDesigner(report_);
  report_ = nullptr;
}

void TppDesignerHost::Select(TppPrintable* component) {
  if (selected_ && selected_->SelectionObject()) selected_->SelectionObject()->Hide();
  selected_ = component;
  if (component && component->SelectionObject()) component->SelectionObject()->Show();
}

// The menu opened over a design control is its component's or band's own.
void TppDesignerHost::MenuPopup() {
  if (auto* strip = dynamic_cast<TppBandDesignControl*>(menu_->PopupComponent());
      strip && strip->Band()) {
    PopupForBand(strip->Band());
    return;
  }
  auto* control = dynamic_cast<TppDesignControl*>(menu_->PopupComponent());
  if (!control || !control->Component()) {
    menu_->Items()->Clear();
    return;
  }
  control->Component()->BuildPopupMenu(menu_);
  control->Component()->UpdatePopupMenu(menu_);
}

void TppDesignerHost::PopupForBand(TppBand* band) {
  band->BuildPopupMenu(menu_);
  band->UpdatePopupMenu(menu_);
}
