// The dialog tests run real widgets: one application object for the program.
// A dialog no test answers fails that test at once.
#include "platform/classlib/dialogs/dialog_test_environment.h"
