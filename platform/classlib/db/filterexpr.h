#pragma once
// The class library's filter-expression parser: turns the text of a dataset's
// Filter into the engine's filter blob.
//
// Grammar (keywords in any case):
//   expr     := term { OR term }
//   term     := factor { AND factor }
//   factor   := NOT factor | compare
//   compare  := operand [ ( = | <> | < | > | <= | >= ) operand | IS [NOT] NULL ]
//   operand  := ( expr ) | name | [name with blanks] | 'text' | "text" | number
//               | NULL | TRUE | FALSE
// AND binds tighter than OR. A comparison has a field on its left: a name
// there must be a field of the dataset, and a quoted text there names a field
// too ('Priority' <> '4' compares the field Priority with the text 4); a
// comparison of a constant with a field is turned round (1 < ID is ID > 1).
// The constant takes the type of the field it is compared with. A text
// compared with a text field ends in '*' for a prefix match unless
// foNoPartialCompare is set; foCaseInsensitive makes text comparisons ignore case.
//
// The blob's layout is that of filterblob.h; the parser writes its nodes in
// pre-order, the root first.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/classlib/core/variant.h"
#include "platform/classlib/db/dbtypes.h"
#include "platform/classlib/db/filterblob.h"

class TField;

namespace filterblob {
// The version word the parser writes into the blob's header.
constexpr std::uint16_t kVersion = 2;
}  // namespace filterblob

// Raises EDatabaseError for bad syntax, unknown field names and constants that
// do not convert to their field's type. dataSet may be nullptr: names are then
// taken as fields of unknown type.
std::vector<std::uint8_t> BuildFilterBlob(std::string_view text, const TDataSet* dataSet,
                                          TFilterOptions options);

// The filter of a search by values (Locate, Lookup): each field equal to its
// value (Null: the field is blank), joined by AND. Numbers and dates are
// compared as values of the field's type, never through their text; texts
// compared with foCaseInsensitive ignore case. Every character of a value
// stands for itself ('*' included); with `lastPartial` the last comparison,
// when it is of a text, holds for every text that starts with the value.
std::vector<std::uint8_t> BuildEqualityFilterBlob(const std::vector<const TField*>& fields,
                                                  const std::vector<Variant>& values, TFilterOptions options,
                                                  bool lastPartial);
