// The application's tests run real windows: one application object for the program.
#include "platform/classlib/graphics/qt_test_environment.h"
