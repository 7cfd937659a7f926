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
// Blob layout (little-endian): header of five 16-bit words (version, total
// size, node count, node area offset, literal area offset); nodes follow in
// pre-order, the root first, each starting with a 32-bit class and a 32-bit
// operator; node references are offsets into the node area, literal
// references offsets into the literal area.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/classlib/db/dbtypes.h"

namespace filterblob {
enum NodeClass : std::uint32_t {
  nodeUnary = 1, nodeBinary = 2, nodeCompare = 3, nodeField = 4, nodeConst = 5, nodeContinue = 7
};
enum Operator : std::uint32_t {
  opIsBlank = 1, opNotBlank = 2, opEQ = 3, opNE = 4, opGT = 5, opLT = 6, opGE = 7, opLE = 8,
  opNot = 9, opAnd = 10, opOr = 11
};
// Logical types of constants and fields.
enum LogicalType : std::uint16_t {
  typeZString = 1, typeDate = 2, typeBool = 4, typeInt16 = 5, typeInt32 = 6, typeFloat = 7,
  typeBcd = 8, typeBytes = 9, typeTime = 10, typeTimeStamp = 11, typeUInt16 = 12
};
constexpr std::uint16_t kVersion = 2;
constexpr int kHeaderSize = 10;
// Bytes of each node class.
constexpr int kUnarySize = 10, kBinarySize = 12, kCompareSize = 16, kFieldSize = 12,
              kConstSize = 14;
}  // namespace filterblob

// Raises EDatabaseError for bad syntax, unknown field names and constants that
// do not convert to their field's type. dataSet may be nullptr: names are then
// taken as fields of unknown type.
std::vector<std::uint8_t> BuildFilterBlob(std::string_view text, const TDataSet* dataSet,
                                          TFilterOptions options);
