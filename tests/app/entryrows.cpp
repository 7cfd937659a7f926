#include "entryrows.h"

#include "platform/dao/core.h"

namespace apptest {

void AddEveryCodeEntry(const std::string& database) {
  dao::TDatabaseCore db(database, false, false, "");
  for (const char* kind : {"BugReport", "FeatureRequest"})
    for (int status = 1; status <= kStatusCodes; ++status)
      for (int priority = 1; priority <= kPriorityCodes; ++priority) {
        const std::string s = std::to_string(status), p = std::to_string(priority);
        db.Execute(std::string("INSERT INTO Reports (ProgramNumber, ReportType, Status, Priority, Description) "
                               "VALUES (1, '") + kind + "', '" + s + "', '" + p + "', '" + kind + " " + s + " " + p + "')");
      }
}

}  // namespace apptest
