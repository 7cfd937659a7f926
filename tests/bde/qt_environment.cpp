// The library's sessions ask for passwords through the class library's
// password box, a real form: one application object for the program.
// A dialog no test answers fails that test at once.
#include "platform/classlib/dialogs/dialog_test_environment.h"
