#pragma once
// The form-class registry: the report never names its preview, print and
// cancel dialog forms; it asks for the form registered for an abstract base,
// so an application can register forms of its own.

#include "platform/classlib/core/object.h"

// Registers `formClass` for `baseClass`, replacing an earlier registration,
// and makes it known to the class registry.
void ppRegisterForm(TClass formClass, TClass baseClass);
// Removes the registration for `baseClass` and unregisters its form class.
void ppUnregisterForm(TClass baseClass);
// The form class registered for `baseClass`; null when there is none.
TClass ppGetFormClass(TClass baseClass);
