#pragma once
// The two roads a dataset's records take: a table, whose filters the database
// pre-selects and whose Locate may narrow through an index, and a query over
// the same rows, where the engine tests every record itself. Tests compare
// what each shows.

#include <memory>
#include <string>
#include <vector>

#include "ttbinding.h"

namespace tttest {

// The Ids of the records a dataset shows with the filter, in its order; the
// filter is switched off again after.
inline std::vector<int> FilteredIds(TDataSet* d, const std::string& filter, TFilterOptions options) {
  d->SetFiltered(false);
  d->SetFilter(filter);
  d->SetFilterOptions(options);
  d->SetFiltered(true);
  std::vector<int> ids;
  for (d->First(); !d->Eof(); d->Next()) ids.push_back(d->FieldByName("Id")->AsInteger());
  d->SetFiltered(false);
  return ids;
}

// A query over every row of the table, in the given order; `live` lets its
// records be edited.
inline std::unique_ptr<TTestQuery> RecordTestRoad(const std::string& path, const std::string& table,
                                                  const std::string& order, bool live = false) {
  auto q = std::make_unique<TTestQuery>();
  q->SetDatabaseName(path);
  q->SetRequestLive(live);
  q->SQL()->Add("SELECT * FROM " + table + " ORDER BY " + order);
  q->Open();
  return q;
}

}  // namespace tttest
