#pragma once
// Round trips through form definitions: a form written as text and as
// binary and read back into fresh forms, and the published values of a
// component to compare before and after.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/typinfo.h"

namespace winctrls_test {

// The form's definition, written as text and as binary, each read into a
// fresh form that `make` gives; named "text" and "binary".
std::map<std::string, std::unique_ptr<TForm>> ReadBack(
    TForm& form, const std::function<std::unique_ptr<TForm>()>& make);

// Every published value of an object by its dotted path: ordinals and texts
// as the streams write them, events by their handlers' names, components by
// their names, owned objects by their own published values, string lists by
// their text and pictures by their size and pixels.
std::map<std::string, std::string> PublishedValues(TObject* object);

// Sets a published property reached by a dotted path ("Shadow.ShadowColor").
void SetPublished(TObject* object, const std::string& path, const TPropValue& value);
// The value at a dotted path, as PublishedValues gives it.
std::string PublishedValue(TObject* object, const std::string& path);
// Whether the value at a dotted path differs from its declared default.
bool DiffersFromDefault(TObject* object, const std::string& path);

}  // namespace winctrls_test
