// The graphics tests draw with Qt: one application object for the program.
#include "platform/classlib/graphics/qt_test_environment.h"
