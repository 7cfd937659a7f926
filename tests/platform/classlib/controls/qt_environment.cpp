// The control tests run real widgets: one application object for the program.
#include "platform/classlib/qt_test_environment.h"
