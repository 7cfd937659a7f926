#pragma once
// Test helpers for code that formats or parses: a fixture that runs every test
// with US English format settings (restoring the global ones afterwards), and
// the message of the exception an action raises.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/classlib/core/formatsettings.h"

class EnglishSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings = TFormatSettings::English();
  }
  void TearDown() override { FormatSettings = saved_; }

 private:
  TFormatSettings saved_;
};

// The message of the E that `action` raises, or "(no error)".
template <class E>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  return "(no error)";
}
