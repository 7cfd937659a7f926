#pragma once
// The test environment of programs that can raise dialogs: one application
// object, and a responder that stays installed for the whole program so that
// a dialog nobody expected fails the running test at once instead of waiting
// for an answer until the test times out.
//
// Include from exactly one .cpp of the program. A test that expects dialogs
// installs its own TDialogResponderScope, which takes over until it ends; a
// test that drives the real Qt dialogs installs an empty one.

#include <new>
#include <string>

#include <gtest/gtest.h>

#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/qt_test_environment.h"

namespace testing_support {

// The answer that backs out of the box: Cancel, else No, else the only way
// out it offers, so the code under test takes its refusal path and the test
// ends. Forms in their modal pass are left running: tests drive them.
inline TModalResult BackOut(const TDialogRequest& request) {
  if (request.Kind == TDialogKind::Form) return mrNone;
  if (request.Kind != TDialogKind::MessageBox) return mrCancel;
  for (TModalResult wanted : {mrCancel, mrNo})
    for (TModalResult offered : request.Buttons)
      if (offered == wanted) return wanted;
  return request.Buttons.empty() ? mrNone : request.Buttons.front();
}

inline const char* KindName(TDialogKind kind) {
  switch (kind) {
    case TDialogKind::MessageBox: return "dialog";
    case TDialogKind::InputQuery: return "input dialog";
    case TDialogKind::OpenFile: return "open dialog";
    case TDialogKind::SaveFile: return "save dialog";
    case TDialogKind::Font: return "font dialog";
    case TDialogKind::Color: return "colour dialog";
    case TDialogKind::Print: return "print dialog";
    case TDialogKind::PrinterSetup: return "printer setup dialog";
    case TDialogKind::Form: return "form";
  }
  return "dialog";
}

inline TModalResult FailUnexpectedDialog(TDialogRequest& request) {
  if (request.Kind != TDialogKind::Form)
    ADD_FAILURE() << "Unexpected " << KindName(request.Kind) << " \"" << request.Caption
                  << "\": " << request.Text;
  return BackOut(request);
}

class DialogEnvironment : public testing::Environment {
 public:
  // The scope lives until the program ends, like the application object:
  // widgets destroyed at exit may still ask. It is made once (a repeated run
  // sets up again) in static storage, so that it is never destroyed and the
  // leak checker does not count it as lost.
  void SetUp() override {
    alignas(TDialogResponderScope) static unsigned char storage[sizeof(TDialogResponderScope)];
    [[maybe_unused]] static const TDialogResponderScope* const scope =
        new (storage) TDialogResponderScope(FailUnexpectedDialog);
  }
};

// Registered after the application's environment, so it sets up after it.
inline const testing::Environment* const kDialogEnvironment =
    testing::AddGlobalTestEnvironment(new DialogEnvironment);

}  // namespace testing_support
