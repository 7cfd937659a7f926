// The application's tests run real windows: one application object for the program.
// A dialog no test answers fails that test at once.
#include "platform/classlib/dialogs/dialog_test_environment.h"
#include "platform/classlib/core/settings_folder.h"

// Each test runs side by side with the others (one ctest entry each).
static const testing::Environment* const kOwnSettingsFolder =
    testing::AddGlobalTestEnvironment(new testing_support::OwnSettingsFolder);
