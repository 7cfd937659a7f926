// SIGTERM while a message box waits for its answer: the box goes as by its
// Close button, the code that asked goes on with that answer, and then the
// main window closes as Exit does.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <csignal>

#include "app/main/bug.h"
#include "app/program.h"
#include "apptest.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/win32/signals.h"

namespace {

class Termination : public apptest::MainWindowTest {};

TEST_F(Termination, ASignalEndsTheOpenBoxAndThenClosesTheWindow) {
  ASSERT_TRUE(InstallCloseOnTermination());
  EXPECT_EQ(form->Reg->ReadString("Settings", "Current Index", "<none>"), "<none>");
  TModalResult answer = mrNone;
  {
    TDialogResponderScope realBoxes{nullptr};
    // Sent once the box's own message loop runs.
    QTimer::singleShot(50, [] { std::raise(SIGTERM); });
    // Should the box wait for its answer after all, the test answers it.
    QTimer::singleShot(3000, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->buttons().front()->click();
    });
    answer = MessageDlg("Delete this entry?", mtConfirmation, mbOKCancel, 0);
  }
  EXPECT_EQ(answer, mrCancel);
  // The window closes from the outer loop, after the asking code went on.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (form->dsetBug->Active() && std::chrono::steady_clock::now() < limit) Application->ProcessMessages();
  RemoveTerminationRequest();
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(form->dsetBug->Active());
  EXPECT_EQ(form->Reg->ReadString("Settings", "Current Index", "<none>"), "ProgramNumber");
}

}  // namespace
