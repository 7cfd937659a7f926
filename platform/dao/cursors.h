#pragma once
// The two kinds of recordset a database opens: a live cursor over a table,
// and one over a query's result.

#include <memory>
#include <string>
#include <vector>

#include "platform/dao/core.h"

namespace dao {

std::unique_ptr<TRecordsetCore> OpenTableCursor(TDatabaseCore& db, const TableDef& table, bool readOnly);
std::unique_ptr<TRecordsetCore> OpenQueryCursor(TDatabaseCore& db, const std::string& name, const Translation& tr,
                                                const std::vector<QueryParameter>& params, bool readOnly);

}  // namespace dao
