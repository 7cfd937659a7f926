#include "published_values.h"

#include <cstdint>
#include <variant>

#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/graphics/images.h"

namespace winctrls_test {

namespace {

// The object holding the last part of a dotted path, and that part.
std::pair<TObject*, std::string> Holder(TObject* object, const std::string& path) {
  size_t start = 0;
  for (size_t dot; (dot = path.find('.', start)) != std::string::npos; start = dot + 1)
    object = GetObjectProp(object, path.substr(start, dot - start));
  return {object, path.substr(start)};
}

std::string Text(const TPropValue& value) {
  if (auto* b = std::get_if<bool>(&value)) return *b ? "True" : "False";
  if (auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&value)) return std::to_string(*d);
  if (auto* s = std::get_if<std::string>(&value)) return *s;
  return "";
}

// Size and a digest of the pixels (a bitmap) or the size (another graphic).
std::string Describe(TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return "empty";
  std::string text = std::to_string(graphic->Width()) + "x" + std::to_string(graphic->Height());
  if (auto* bitmap = As<TBitmap>(graphic)) {
    uint64_t digest = 1469598103934665603u;
    for (int y = 0; y < bitmap->Height(); ++y)
      for (int x = 0; x < bitmap->Width(); ++x)
        digest = (digest ^ uint64_t(uint32_t(bitmap->Canvas()->Pixels(x, y)))) * 1099511628211u;
    text += " " + std::to_string(digest);
  }
  return text;
}

void Collect(TObject* object, const std::string& prefix, std::map<std::string, std::string>& out) {
  for (const TPropInfo* prop : GetPropList(object)) {
    if (!prop->IsReadable()) continue;
    const std::string path = prefix + prop->Name;
    if (prop->Kind != tkClass) {
      out[path] = Text(GetPropValue(object, prop->Name));
      continue;
    }
    TObject* value = GetObjectProp(object, prop);
    if (!value) out[path] = "nil";
    else if (auto* component = As<TComponent>(value)) out[path] = component->Name();
    else if (auto* strings = As<TStrings>(value)) out[path] = strings->Text();
    else if (auto* picture = As<TPicture>(value)) out[path] = Describe(picture->Graphic());
    else if (auto* graphic = As<TGraphic>(value)) out[path] = Describe(graphic);
    else Collect(value, path + ".", out);
  }
}

}  // namespace

std::map<std::string, std::unique_ptr<TForm>> ReadBack(
    TForm& form, const std::function<std::unique_ptr<TForm>()>& make) {
  std::map<std::string, std::unique_ptr<TForm>> copies;
  copies["text"] = make();
  ReadComponentFromText(WriteComponentToText(&form), copies["text"].get());
  TMemoryStream binary;
  WriteComponentToStream(&binary, &form);
  binary.SetPosition(0);
  copies["binary"] = make();
  ReadComponentFromStream(&binary, copies["binary"].get());
  return copies;
}

std::map<std::string, std::string> PublishedValues(TObject* object) {
  std::map<std::string, std::string> values;
  Collect(object, "", values);
  return values;
}

void SetPublished(TObject* object, const std::string& path, const TPropValue& value) {
  const auto [holder, name] = Holder(object, path);
  SetPropValue(holder, name, value);
}

std::string PublishedValue(TObject* object, const std::string& path) {
  const auto [holder, name] = Holder(object, path);
  const auto values = PublishedValues(holder);
  const auto it = values.find(name);
  return it == values.end() ? "(not published)" : it->second;
}

bool DiffersFromDefault(TObject* object, const std::string& path) {
  const auto [holder, name] = Holder(object, path);
  const TPropInfo* prop = GetPropInfo(holder, name);
  return prop && !IsDefaultPropertyValue(holder, prop);
}

}  // namespace winctrls_test
