// The control tests run real widgets: one application object for the program.
#include "platform/classlib/graphics/qt_test_environment.h"
