// The report tests measure text on bitmaps and printers: one application object.
#include "platform/classlib/graphics/qt_test_environment.h"
