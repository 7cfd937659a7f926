// The chart tests draw on real canvases: one application object for the program.
#include "platform/classlib/graphics/qt_test_environment.h"
