#pragma once
// The filter-expression compiler: turns a filter text such as
//   Status = 3 AND (Priority > 1 OR Owner = "Smith")
// into the engine's filter-expression blob (header, node area, literal area;
// the layout is the engine's, dbengine/enginetypes.h), so that the engine itself
// skips the records that fail.
//
// Grammar (AND and OR have equal precedence and group from the left; at most
// one comparison per operand of a connective):
//   L := R { (AND | OR) R }        R := E [ (< <> <= >= = >) E ]
//   E := T { (+ | -) T }           T := P [ (* | /) T ]
//   P := "(" L ")" | operand
// The right side of an operator whose left side is a field becomes a constant of
// that field's type; text after a complete expression is ignored.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How an operand is written into the blob: as a field reference, or as a
// constant of the type that the field on the left of its operator maps to.
enum TwwFilterConstKind : std::uint8_t {
  fckField,     // a field reference
  fckString,    // zero-terminated text
  fckFloat,     // 8-byte floating point
  fckDateTime,  // milliseconds since 1 January of year 1, 8-byte floating point
  fckDate,      // 32-bit day number (days since 1 January of year 1, plus one)
  fckTime,      // 32-bit milliseconds since midnight
  fckBoolean,   // 16-bit, all bits set for true
  fckInteger,   // 32-bit
  fckBCD,       // the 34-byte packed decimal, precision 32
  fckSmallInt,  // 16-bit
};

// What the compiler needs to know of a field of the filtered dataset.
struct TwwFilterField {
  TwwFilterConstKind ConstKind = fckField;
  int Scale = 0;  // decimal places of a BCD field
};

// Finds a field by name (without regard to case); false when there is none.
using TwwFilterFieldLookup = std::function<bool(const std::string& name, TwwFilterField& field)>;
// Shows a warning to the user.
using TwwFilterWarning = std::function<void(const std::string& text)>;

// Compiles an expression into a blob sized to it. Returns an empty blob when the
// expression does not parse (a missing operand or ")", a name on the left of an
// operator that is no field - after warning "Field not found in Table. " CR name)
// or does not fit the blob's 16-bit sizes. A constant that does not convert
// raises the class library's EConvertError.
std::vector<std::uint8_t> wwCompileFilterExpression(const std::string& expression,
                                                    const TwwFilterFieldLookup& lookup,
                                                    const TwwFilterWarning& warn);

// The message shown for a name on the left of an operator that is no field.
inline constexpr const char* kFilterFieldNotFound = "Field not found in Table. ";
