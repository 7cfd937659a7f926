#include "dbengine/filtertext.h"

#include "platform/classlib/core/datetime.h"

namespace dbengine_detail {

std::string FilterDateTimeText(double value, bool isTime) {
  return isTime ? TimeToStr(value) : DateToStr(value);
}

}  // namespace dbengine_detail
