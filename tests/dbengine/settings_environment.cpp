// Each test runs side by side with the others (one ctest entry each): every
// run of the program keeps its settings in a folder of its own.
#include "platform/classlib/core/settings_folder.h"

static const testing::Environment* const kOwnSettingsFolder =
    testing::AddGlobalTestEnvironment(new testing_support::OwnSettingsFolder);
