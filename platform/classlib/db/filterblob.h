#pragma once
// The filter-expression blob: the one byte layout shared by the class
// library's filter parser that writes it, the data-aware library's filter
// compiler that writes it too, and the engine's evaluator that reads it.
//
// A header of five 16-bit words, then the node area, then the literal area.
// Node references are 16-bit offsets into the node area (the root is the node
// at offset 0); literal references are 16-bit offsets into the literal area.
// Every node starts with a 32-bit class and a 32-bit operator. All numbers are
// little-endian, so the packed structs below are the bytes themselves.

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the filter blob's structs are its little-endian bytes");

// Logical field types, used by field descriptors and filter values.
namespace fldtype {
constexpr std::uint16_t Unknown = 0;
constexpr std::uint16_t ZString = 1;    // zero-terminated text
constexpr std::uint16_t Date = 2;       // 8-byte date
constexpr std::uint16_t Blob = 3;
constexpr std::uint16_t Bool = 4;       // 16-bit
constexpr std::uint16_t Int16 = 5;      // signed integer (1 or 2 bytes)
constexpr std::uint16_t Int32 = 6;
constexpr std::uint16_t Float = 7;      // 8-byte floating point
constexpr std::uint16_t BCD = 8;
constexpr std::uint16_t Bytes = 9;
constexpr std::uint16_t Time = 10;      // 8-byte time
constexpr std::uint16_t TimeStamp = 11; // 8 bytes
constexpr std::uint16_t UInt16 = 12;    // unsigned integer (1 or 2 bytes)
constexpr std::uint16_t UInt32 = 13;
constexpr std::uint16_t FloatIEEE = 14; // 10 bytes
constexpr std::uint16_t VarBytes = 15;  // text with a one-byte length prefix
constexpr std::uint16_t Cursor = 17;    // a result set (a stored procedure's cursor parameter)
}  // namespace fldtype

// Node classes. Any other class evaluates to false.
namespace filternode {
constexpr std::uint32_t Unary = 1;
constexpr std::uint32_t Binary = 2;
constexpr std::uint32_t Compare = 3;
constexpr std::uint32_t Field = 4;
constexpr std::uint32_t Constant = 5;
constexpr std::uint32_t Continue = 7;
}  // namespace filternode

// Operators.
namespace filterop {
constexpr std::uint32_t IsBlank = 1;
constexpr std::uint32_t NotBlank = 2;
constexpr std::uint32_t Equal = 3;
constexpr std::uint32_t NotEqual = 4;
constexpr std::uint32_t Greater = 5;
constexpr std::uint32_t Less = 6;
constexpr std::uint32_t GreaterOrEqual = 7;
constexpr std::uint32_t LessOrEqual = 8;
constexpr std::uint32_t Not = 9;
constexpr std::uint32_t And = 10;
constexpr std::uint32_t Or = 11;
// Written by the data-aware compiler on operand and arithmetic nodes; the
// evaluator does not act on them (an arithmetic node evaluates to false).
constexpr std::uint32_t FieldRef = 13;
constexpr std::uint32_t ConstantValue = 14;
constexpr std::uint32_t Add = 16;
constexpr std::uint32_t Subtract = 17;
constexpr std::uint32_t Multiply = 18;
constexpr std::uint32_t Divide = 19;
constexpr std::uint32_t TruthResult = 29;  // operator of an evaluated truth value
}  // namespace filterop

#pragma pack(push, 1)

struct TFilterBlobHeader {
  std::uint16_t Version;
  std::uint16_t TotalSize;    // of the whole blob in bytes
  std::uint16_t NodeCount;
  std::uint16_t NodeStart;    // offset of the node area from the blob's start
  std::uint16_t LiteralStart; // offset of the literal area from the blob's start
};
static_assert(sizeof(TFilterBlobHeader) == 10);

struct TFilterNodeHeader {
  std::uint32_t NodeClass;
  std::uint32_t Operator;
};
struct TFilterUnaryNode {
  TFilterNodeHeader Header;
  std::uint16_t Operand;
};
struct TFilterBinaryNode {
  TFilterNodeHeader Header;
  std::uint16_t Left;
  std::uint16_t Right;
};
struct TFilterCompareNode {
  TFilterNodeHeader Header;
  std::uint16_t CaseInsensitive;
  std::uint16_t PartialLength;  // 0 = whole value
  std::uint16_t Left;
  std::uint16_t Right;
};
struct TFilterFieldNode {
  TFilterNodeHeader Header;
  std::uint16_t FieldNumber;    // not used by the evaluator
  std::uint16_t NameOffset;     // in the literal area
};
struct TFilterConstantNode {
  TFilterNodeHeader Header;
  std::uint16_t FieldType;      // logical type (fldtype)
  std::uint16_t Size;
  std::uint16_t ValueOffset;    // in the literal area
};
struct TFilterContinueNode {
  TFilterNodeHeader Header;
  std::uint16_t Value;
};
static_assert(sizeof(TFilterNodeHeader) == 8);
static_assert(sizeof(TFilterUnaryNode) == 10 && sizeof(TFilterBinaryNode) == 12 &&
              sizeof(TFilterCompareNode) == 16 && sizeof(TFilterFieldNode) == 12 &&
              sizeof(TFilterConstantNode) == 14 && sizeof(TFilterContinueNode) == 10);

#pragma pack(pop)
