#pragma once
// One QApplication for a whole test program, created before the first test
// (include from exactly one .cpp of the program).

#include <QApplication>

#include <gtest/gtest.h>

namespace testing_support {

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "classlib_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  // The application object lives until the program ends: the class library's
  // global objects (application, screen) may still hold widgets and timers.

 private:
  QApplication* app_ = nullptr;
};

inline const testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace testing_support
