#pragma once
// The part of a record filter that SQL can decide, so that the database finds
// the candidate records instead of the engine reading every one. The result is
// a prefilter: every record the filter accepts satisfies it. The engine still
// tests each record it is given, unless the condition decides as the filter
// does (see `decides` below), so the records, their order and the case rules
// stay the engine's own. What SQL cannot decide as the engine does
// (texts compared in any case in order, currency, NOT, computed operands)
// simply restricts nothing. A value the engine reads otherwise than SQL sees
// it always passes: dates before 1900 and numbers outside the calendar, a
// number past its field's width or a text in a number field, a text longer
// than its field's room (which the engine cuts, and then tests the record
// even where the condition decides).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A column of the table behind a field of the cursor.
struct TFilterColumn {
  std::string name;            // the table's column
  std::uint16_t fieldType = 0; // the field's logical type in the record (fldtype)
  std::int16_t daoType = 0;    // the column's DAO type (daotype)
  std::uint16_t length = 0;    // of the field's value in the record, in bytes
  bool counter = false;        // the table's counter, which the database keeps as the row number
  std::string table{};         // the table, for a counter's condition to look up its rows by
};

// Answers the column of a field named in the filter, or false when the name
// is no field of the cursor.
using TFilterColumnLookup = std::function<bool(const std::string& fieldName, TFilterColumn& column)>;

// An SQL condition over the table's columns, or empty when the filter
// restricts nothing that SQL can see. The blob is one the engine has checked.
// `decides`, when given, tells whether the filter accepts every record that
// meets the condition as well (texts equal to a constant, a blank memo or
// long binary, and their ands and ors): the engine's test of such a record
// can be left out.
std::string FilterPrefilterSql(const std::uint8_t* blob, std::size_t size, const TFilterColumnLookup& lookup,
                               bool* decides = nullptr);

// A column of the cursor's current index, in key order.
struct TIndexKey {
  std::string column;  // the table's column
  bool descending = false;
};

// Where in the current index the records lie that the filter may accept:
// conditions on its leading columns, each answered from the index, disjoint
// and in the index's order, that together hold for every such record (see
// DAORecordset::put_RowCondition). They come from the equalities of the
// filter's top-level ands with the first key columns, and take in every
// value the engine reads otherwise than SQL sees it. Empty: the filter names
// no value of the first key column, or one SQL cannot place.
// `narrowsAll`, when given, tells whether the filter is nothing but such
// equalities, each narrowing the bands: the pre-selection's condition would
// narrow them no further.
// `point`, when given, holds whole numbers the first key columns are to equal
// (a range of one key): the bands then lie within that point, narrowed by the
// filter's equalities with the key columns after it, between a first band of
// every row before the point and a last of every row after it (see
// DAORecordset::put_RowCondition). Empty: the filter narrows nothing within
// the point.
std::vector<std::string> FilterIndexBands(const std::uint8_t* blob, std::size_t size, const TFilterColumnLookup& lookup,
                                          const std::vector<TIndexKey>& keys, bool* narrowsAll = nullptr,
                                          const std::vector<std::int64_t>& point = {});

// A column as the pre-selection reads it: by its value, never through an
// index of it (see filtersql.cpp).
std::string FilterColumnRef(const std::string& name);
