// The layout tests measure text on real devices: one application object for the program.
#include "platform/classlib/graphics/qt_test_environment.h"
