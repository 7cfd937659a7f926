#pragma once
#include <string>

namespace dbengine_detail {
// A date value in the short date format, or a time value in the long time
// format, of the system settings (as filters compare mixed-type values).
std::string FilterDateTimeText(double value, bool isTime);
}  // namespace dbengine_detail
