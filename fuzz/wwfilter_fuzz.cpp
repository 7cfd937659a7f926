// The data controls' filter compiler: any expression gives a blob, an empty
// blob or EConvertError, over fields of every constant kind.
#include "datactrls/wwfilter.h"
#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace {

bool Lookup(const std::string& name, TwwFilterField& field) {
  static const struct {
    const char* name;
    TwwFilterConstKind kind;
  } fields[] = {{"Name", fckString},  {"Amount", fckFloat}, {"Stamp", fckDateTime},
                {"Due", fckDate},     {"At", fckTime},      {"Done", fckBoolean},
                {"ID", fckInteger},   {"Price", fckBCD},    {"Small", fckSmallInt}};
  for (const auto& f : fields) {
    if (CompareText(name, f.name) != 0) continue;
    field.ConstKind = f.kind;
    field.Scale = f.kind == fckBCD ? 2 : 0;
    return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    wwCompileFilterExpression(fuzz::Text(data, size), Lookup, [](const std::string&) {});
  } catch (const Exception&) {
  }
  return 0;
}
