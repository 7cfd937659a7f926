#pragma once
// One QApplication for a whole test program, created before the first test
// (include from exactly one .cpp of the program).
//
// It also watches for modal windows nobody answers: one that stays up longer
// than any test needs fails the running test with its title and text and is
// closed, so the program goes on instead of waiting for the suite's time
// limit. Programs that can raise the dialogs library's boxes answer those at
// once (dialog_test_environment.h); this catches the rest: a modal form left
// running, a Qt dialog shown past the responder.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/classlib/core/deadline.h"

namespace testing_support {

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "classlib_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    bool set = false;
    const int limit = qEnvironmentVariableIntValue("VANTREL_TEST_MODAL_LIMIT_MS", &set);
    if (set && limit > 0) modalLimitMs_ = limit;
    auto* watch = new QTimer(app_);
    QObject::connect(watch, &QTimer::timeout, [this] { WatchModal(); });
    watch->start(kWatchMs);
  }
  // The application object lives until the program ends: the class library's
  // global objects (application, screen) may still hold widgets and timers.

 private:
  // A test drives its modal windows within a second or two, even on a
  // loaded machine or under the sanitizers; well within the test's own limit.
  static constexpr int kDefaultModalLimitMs = kWaitLimitMs;
  static constexpr int kWatchMs = 100;

  void WatchModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != watched_) {
      watched_ = modal;
      since_.start();
      return;
    }
    if (!modal || since_.elapsed() < modalLimitMs_) return;
    QString words = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) words += ": " + box->text();
    ADD_FAILURE() << "Unanswered modal window \"" << words.toStdString() << "\" (open "
                  << since_.elapsed() << " ms)";
    watched_ = nullptr;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
  }

  QApplication* app_ = nullptr;
  QPointer<QWidget> watched_;
  QElapsedTimer since_;
  int modalLimitMs_ = kDefaultModalLimitMs;
};

inline const testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace testing_support
