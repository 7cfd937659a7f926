#include "report/model/pprecord.h"

#include <algorithm>

#include "platform/classlib/core/filer.h"
#include "report/data/pputils.h"

void ppDefineMMProperty(TFiler* filer, const char* name, int32_t& field, bool nonNegative) {
  filer->DefineProperty(
      name,
      [&field, nonNegative](TReader* r) {
        const int32_t value = ppReadMMValue(r);
        field = nonNegative ? std::max(value, 0) : value;
      },
      [&field](TWriter* w) { w->WriteInteger(field); }, true);
}
