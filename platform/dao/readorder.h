#pragma once
// The order of a table's rows by their values as its fields read them. A text
// column may hold a number or a blob (only another program writes one), which
// SQLite sorts before or after every text, where a text field reads it as a
// text (an integer as its digits, a real as nothing, a blob as its bytes, each
// up to a NUL) that belongs among the others. A table whose index holds such a
// value is walked in this order instead (see the table cursor), so that its
// walks, ranges and key searches agree with how the engine compares the
// records it reads.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dao/store.h"

namespace dao {

// A column of an index's order, as the order compares it.
struct ReadOrderColumn {
  bool text = false;  // a text field: compared as read, in the case-blind order
  bool descending = false;
  std::size_t room = 0;  // a text field's bytes (TextRoom)
};

// The bytes a text field of `characters` characters holds: as many as the
// longest characters of UTF-8 take, four each.
constexpr std::size_t TextRoom(std::size_t characters) { return characters * 4; }

// A text column's value as a text field of `room` bytes reads it: cut to the
// room where a character starts, and up to a NUL.
std::string TextAsRead(const Cell& value, std::size_t room);

// SQLite's own order of two stored values (Null, numbers, texts by their
// bytes, blobs): the order of a column that is no text. `caseBlind`: texts
// in the case-blind order instead, as a column of that collation has them.
int CompareStored(const Cell& a, const Cell& b, bool caseBlind = false);

// The first `count` columns of two keys compared as read: texts in the
// case-blind order (CompareFoldedText), other values as stored; a
// descending column the other way round.
int CompareAsRead(const std::vector<Cell>& a, const std::vector<Cell>& b, const std::vector<ReadOrderColumn>& columns,
                  std::size_t count);

}  // namespace dao
