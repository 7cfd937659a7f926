// The report tests measure text on bitmaps and printers: one application object.
// A dialog no test answers fails that test at once.
#include "platform/classlib/dialogs/dialog_test_environment.h"
