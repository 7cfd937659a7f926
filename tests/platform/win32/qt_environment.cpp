// The desktop services draw icons and wait for signals through the event
// loop: one application object for the program.
#include "platform/classlib/graphics/qt_test_environment.h"
