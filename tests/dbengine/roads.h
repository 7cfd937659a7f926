#pragma once
// The two roads a dataset's records take: a table, whose filters the database
// pre-selects and whose Locate may narrow through an index, and a query over
// the same rows, where the engine tests every record itself. Tests compare
// what each shows.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/foldedorder.h"
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

// The Ids of every record a dataset shows, in its order.
inline std::vector<int> WalkIds(TDataSet* d) {
  std::vector<int> ids;
  for (d->First(); !d->Eof(); d->Next()) ids.push_back(d->FieldByName("Id")->AsInteger());
  return ids;
}

// `ids` in the order they come in `walk`; those it lacks last.
inline std::vector<int> InOrderOf(const std::vector<int>& walk, std::vector<int> ids) {
  std::stable_sort(ids.begin(), ids.end(), [&](int a, int b) {
    return std::find(walk.begin(), walk.end(), a) < std::find(walk.begin(), walk.end(), b);
  });
  return ids;
}

// Whether the texts of `field` never fall along the dataset's order, as the
// engine reads them and compares them without regard to case.
inline bool TextsRise(TDataSet* d, const std::string& field) {
  bool rise = true;
  std::string last;
  for (d->First(); !d->Eof() && rise; d->Next()) {
    const std::string text = d->FieldByName(field)->AsString();
    rise = d->Bof() || CompareFoldedText(last, text) <= 0;
    last = text;
  }
  return rise;
}

// The first record of `walk` (a table's order) that Locate on `query` accepts:
// each asked for by its Id besides the values; "none" when none is.
inline std::string LocatedInOrder(TDataSet* query, const std::vector<int>& walk, const std::string& fields,
                                  const std::vector<Variant>& values, TLocateOptions options) {
  for (int id : walk) {
    std::vector<Variant> keyed{Variant(id)};
    keyed.insert(keyed.end(), values.begin(), values.end());
    if (query->Locate("Id;" + fields, VarArrayOf(keyed), options)) return std::to_string(id);
  }
  return "none";
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
