#pragma once
// The push button: a caption with an "&" mnemonic, a modal result it gives its
// form when clicked, and the default (Enter) and cancel (Escape) roles of a
// dialog's buttons.

#include <string>

#include "platform/classlib/controls/controls.h"
#include "platform/classlib/controls/forms.h"

// The state of a button face: bsDown and bsExclusive are shown pressed.
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TButton : public TCustomControl {
  DECLARE_CLASS(TButton, TCustomControl)
 public:
  explicit TButton(TComponent* AOwner);

  // Enter clicks the default button unless another button has the focus.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  // Escape clicks the cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  // Given to the parent form when the button is clicked (mrNone: nothing).
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }

  // Clicks the button as the user does: the form takes the modal result, then
  // OnClick runs.
  void Click() override;

  void Dispatch(TMessage& message) override;

 protected:
  // How the face looks now.
  TButtonState State() const;
  void PaintContent() override;
  // Draws what lies on the face (the caption) inside `r`.
  virtual void PaintFace(TCanvas* canvas, const TRect& r, TButtonState state);
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  // The button Enter clicks: the focused one, else the default one while no
  // other button has the focus.
  bool IsActiveDefault() const;
  void SetPressed(bool value);

  bool default_ = false;
  bool cancel_ = false;
  TModalResult modalResult_ = mrNone;
  bool pressed_ = false;
  bool spaceDown_ = false;
};
