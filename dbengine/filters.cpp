#include "dbengine/filters.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dbengine/basetable.h"
#include "dbengine/enginetext.h"
#include "dbengine/filtertext.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TFilterListItem, TObject)

namespace {
[[noreturn]] void RaiseBadFilter() { RaiseEngineError(dberr::InvalidFilter); }

std::uint16_t Word(const std::uint8_t* data) {
  std::uint16_t w;
  std::memcpy(&w, data, sizeof w);
  return w;
}
}  // namespace

TFilterListItem::TFilterListItem(TBaseTable* owner, std::intptr_t clientData,
                                 std::uint16_t priority, std::int32_t canAbort,
                                 const void* expression, TFilterCallback callback)
    : owner_(owner), clientData_(clientData), priority_(priority), canAbort_(canAbort),
      callback_(callback) {
  if (expression != nullptr) {
    TFilterBlobHeader header;
    std::memcpy(&header, expression, sizeof header);
    if (header.TotalSize < sizeof header) RaiseBadFilter();
    const auto* bytes = static_cast<const std::uint8_t*>(expression);
    blob_.assign(bytes, bytes + header.TotalSize);
    Validate();
  }
}

// ---- Bounded access to the blob

const TFilterBlobHeader& TFilterListItem::Header() const {
  return *reinterpret_cast<const TFilterBlobHeader*>(blob_.data());
}

template <class T>
T TFilterListItem::ReadNode(std::uint16_t node) const {
  std::size_t at = std::size_t{Header().NodeStart} + node;
  if (at + sizeof(T) > blob_.size()) RaiseBadFilter();
  T value;
  std::memcpy(&value, blob_.data() + at, sizeof value);
  return value;
}

const std::uint8_t* TFilterListItem::LiteralBytes(std::uint16_t offset, std::uint16_t size) const {
  std::size_t at = std::size_t{Header().LiteralStart} + offset;
  if (at + size > blob_.size()) RaiseBadFilter();
  return blob_.data() + at;
}

std::string TFilterListItem::ReadLiteralText(std::uint16_t offset) const {
  std::size_t at = std::size_t{Header().LiteralStart} + offset;
  if (at >= blob_.size()) RaiseBadFilter();
  const auto* start = reinterpret_cast<const char*>(blob_.data() + at);
  const void* end = std::memchr(start, 0, blob_.size() - at);
  if (end == nullptr) RaiseBadFilter();  // a name must end inside the blob
  return std::string(start, static_cast<const char*>(end));
}

// ---- Structural check

void TFilterListItem::Validate() {
  const TFilterBlobHeader& h = Header();
  if (h.NodeStart < sizeof(TFilterBlobHeader) || h.NodeStart >= blob_.size() ||
      h.LiteralStart > blob_.size())
    RaiseBadFilter();
  int visits = 0;
  ValidateNode(0, 0, visits);
}

void TFilterListItem::ValidateNode(std::uint16_t node, int depth, int& visits) {
  // A tree has fewer nodes than the blob has bytes per smallest node; more
  // visits mean shared or circular references.
  if (depth > kMaxFilterDepth || ++visits > static_cast<int>(blob_.size() / sizeof(TFilterUnaryNode)))
    RaiseBadFilter();
  auto header = ReadNode<TFilterNodeHeader>(node);
  switch (header.NodeClass) {
    case filternode::Unary:
      ValidateNode(ReadNode<TFilterUnaryNode>(node).Operand, depth + 1, visits);
      break;
    case filternode::Binary: {
      auto n = ReadNode<TFilterBinaryNode>(node);
      ValidateNode(n.Left, depth + 1, visits);
      ValidateNode(n.Right, depth + 1, visits);
      break;
    }
    case filternode::Compare: {
      auto n = ReadNode<TFilterCompareNode>(node);
      ValidateNode(n.Left, depth + 1, visits);
      ValidateNode(n.Right, depth + 1, visits);
      break;
    }
    case filternode::Field:
      ReadLiteralText(ReadNode<TFilterFieldNode>(node).NameOffset);
      break;
    case filternode::Constant: {
      auto n = ReadNode<TFilterConstantNode>(node);
      LiteralBytes(n.ValueOffset, n.Size);
      break;
    }
    case filternode::Continue:
      ReadNode<TFilterContinueNode>(node);
      break;
    default:
      break;  // other classes evaluate to false and reference nothing
  }
}

// ---- Evaluation

bool TFilterListItem::Accepts(std::uint8_t* record) {
  record_ = record;
  bool accept = callback_ == nullptr || callback_(clientData_, record, 0) != 0;
  if (accept && !blob_.empty()) {
    try {
      TFilterValue cell;
      accept = Evaluate(0, cell, 0);
    } catch (const EMorvaEngineError&) {
      accept = false;  // an expression that cannot be evaluated refuses the record
    }
  }
  return accept;
}

// The cell was cleared by Evaluate and nothing else written to it.
bool TFilterListItem::SetTruth(TFilterValue& cell, bool truth) {
  cell.NodeClass = filternode::Continue;
  cell.Operator = filterop::TruthResult;
  std::uint16_t word = truth ? 1 : 0;
  std::memcpy(cell.Data, &word, sizeof word);
  return truth;
}

void TFilterListItem::Clear(TFilterValue& cell) {
  cell.NodeClass = cell.Operator = 0;
  cell.FieldType = cell.Length = 0;
  std::memset(cell.Data, 0, kAlwaysClean);
  cell.Clean = kAlwaysClean;
}

void TFilterListItem::ZeroUpTo(TFilterValue& cell, std::size_t bytes) {
  bytes = std::min(bytes, sizeof cell.Data);
  if (cell.Clean >= bytes) return;
  std::memset(cell.Data + cell.Clean, 0, bytes - cell.Clean);
  cell.Clean = static_cast<std::uint16_t>(bytes);
}

bool TFilterListItem::Evaluate(std::uint16_t node, TFilterValue& cell, int depth) {
  if (depth > kMaxFilterDepth) RaiseBadFilter();
  Clear(cell);
  auto header = ReadNode<TFilterNodeHeader>(node);
  switch (header.NodeClass) {
    case filternode::Unary:
      return EvalUnary(node, cell, depth);
    case filternode::Binary:
      if (header.Operator == filterop::And || header.Operator == filterop::Or)
        return EvalLogical(node, header.Operator, cell, depth);
      return EvalBinary(node, header.Operator, cell, depth);
    case filternode::Compare:
      return EvalCompare(node, header.Operator, cell, depth);
    case filternode::Field:
      return EvalField(node, cell);
    case filternode::Constant:
      return EvalConstant(node, cell);
    case filternode::Continue:
      return SetTruth(cell, ReadNode<TFilterContinueNode>(node).Value != 0);
    default:
      return SetTruth(cell, false);
  }
}

bool TFilterListItem::EvalUnary(std::uint16_t node, TFilterValue& cell, int depth) {
  auto n = ReadNode<TFilterUnaryNode>(node);
  TFilterValue operand;
  bool ok = Evaluate(n.Operand, operand, depth + 1);
  bool isTruth = operand.Operator == filterop::TruthResult;
  // "not" of a condition that does not hold is true: only a value that could
  // not be read makes the whole node false.
  if (n.Header.Operator == filterop::Not)
    return SetTruth(cell, (ok || isTruth) && Word(operand.Data) == 0);
  if (!ok) return SetTruth(cell, false);
  bool blank = IsAllZero(operand.Data, std::min<std::uint16_t>(operand.Length, sizeof operand.Data));
  switch (n.Header.Operator) {
    case filterop::IsBlank:
      return SetTruth(cell, blank);
    case filterop::NotBlank:
      return SetTruth(cell, !blank);
    default:
      return SetTruth(cell, false);
  }
}

bool TFilterListItem::EvalLogical(std::uint16_t node, std::uint32_t op, TFilterValue& cell,
                                  int depth) {
  auto n = ReadNode<TFilterBinaryNode>(node);
  TFilterValue side;
  Evaluate(n.Left, side, depth + 1);
  bool left = Word(side.Data) != 0;
  if (op == filterop::And && !left) return SetTruth(cell, false);
  if (op == filterop::Or && left) return SetTruth(cell, true);
  Evaluate(n.Right, side, depth + 1);
  return SetTruth(cell, Word(side.Data) != 0);
}

bool TFilterListItem::EvalBinary(std::uint16_t node, std::uint32_t op, TFilterValue& cell,
                                 int depth) {
  auto n = ReadNode<TFilterBinaryNode>(node);
  return CompareOperands(op, n.Left, n.Right, 0, false, cell, depth);
}

bool TFilterListItem::EvalCompare(std::uint16_t node, std::uint32_t op, TFilterValue& cell,
                                  int depth) {
  auto n = ReadNode<TFilterCompareNode>(node);
  return CompareOperands(op, n.Left, n.Right, n.PartialLength, n.CaseInsensitive != 0, cell,
                         depth);
}

bool TFilterListItem::CompareOperands(std::uint32_t op, std::uint16_t left, std::uint16_t right,
                                      std::uint16_t partialLength, bool caseInsensitive,
                                      TFilterValue& cell, int depth) {
  TFilterValue a, b;
  if (!Evaluate(left, a, depth + 1) || !Evaluate(right, b, depth + 1))
    return SetTruth(cell, false);
  int c = CompareValues(a, b, partialLength, caseInsensitive);
  switch (op) {
    case filterop::Equal: return SetTruth(cell, c == 0);
    case filterop::NotEqual: return SetTruth(cell, c != 0);
    case filterop::Greater: return SetTruth(cell, c > 0);
    case filterop::Less: return SetTruth(cell, c < 0);
    case filterop::GreaterOrEqual: return SetTruth(cell, c >= 0);
    case filterop::LessOrEqual: return SetTruth(cell, c <= 0);
    default: return SetTruth(cell, false);
  }
}

int TFilterListItem::FieldNumberOf(std::uint16_t node, std::string& name) {
  for (const auto& [at, number] : fieldNumbers_)
    if (at == node) return number;
  name = ReadLiteralText(ReadNode<TFilterFieldNode>(node).NameOffset);
  int number = name.empty() ? 0 : owner_->FieldCache()->NumberOfName(name);
  // A cursor's fields stay as they are while it is open, and its filters go
  // with it: a field found once is found for every record after.
  if (number > 0) fieldNumbers_.emplace_back(node, number);
  return number;
}

bool TFilterListItem::EvalField(std::uint16_t node, TFilterValue& cell) {
  std::string name;
  int number = FieldNumberOf(node, name);
  if (number > 0) {
    try {
      TFieldCacheItem* item = owner_->FieldCache()->FieldByNumber(number);
      cell.FieldType = item->Desc.FieldType;
      // The cursor writes the value in its native width, which the stored
      // length can understate; the cell keeps what it holds of it.
      std::size_t width = NativeValueWidth(item->Desc);
      std::size_t kept = std::min<std::size_t>(width, sizeof cell.Data - 1);
      bool blank = false;
      ZeroUpTo(cell, width + 1);
      if (width < sizeof cell.Data) {
        // The cell holds the value with its end: it is read in place.
        owner_->ReadFieldValue(item, record_, blank, cell.Data);
        cell.Data[width] = 0;
      } else {
        std::vector<std::uint8_t> value(width + 1, 0);
        owner_->ReadFieldValue(item, record_, blank, value.data());
        std::memcpy(cell.Data, value.data(), kept);
      }
      // A memo or binary value is not copied out, only known to be there:
      // its place in the record, which holds its size, tells it from a blank.
      if (!blank && item->Desc.FieldType == fldtype::Blob)
        std::memcpy(cell.Data, item->Value(), std::min<std::size_t>(kept, item->Desc.Length));
      cell.Length = static_cast<std::uint16_t>(kept);
    } catch (const EMorvaEngineError&) {
      return false;
    }
    return true;
  }
  if (name.empty()) return false;
  // Not a field of the cursor: the name itself is the value.
  std::string text(dbengine_detail::CutBytes(RemoveChar(name, '"'), 255));
  ZeroUpTo(cell, text.size() + 1);
  cell.FieldType = fldtype::VarBytes;
  cell.Data[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(cell.Data + 1, text.data(), text.size());
  cell.Length = static_cast<std::uint16_t>(text.size());
  return true;
}

bool TFilterListItem::EvalConstant(std::uint16_t node, TFilterValue& cell) {
  auto n = ReadNode<TFilterConstantNode>(node);
  cell.FieldType = n.FieldType;
  cell.Length = n.Size;
  ZeroUpTo(cell, std::size_t{n.Size} + 1);
  std::memcpy(cell.Data, LiteralBytes(n.ValueOffset, n.Size),
              std::min<std::size_t>(n.Size, sizeof cell.Data - 1));
  return true;
}

int TFilterListItem::CompareValues(TFilterValue& a, TFilterValue& b, std::uint16_t partialLength,
                                   bool caseInsensitive) {
  std::uint16_t length = partialLength != 0 ? partialLength : a.Length;
  length = std::min<std::uint16_t>(length, sizeof a.Data - 1);
  if (partialLength != 0 && caseInsensitive && a.FieldType == fldtype::ZString && b.FieldType == fldtype::ZString) {
    // The start of the record's text against the constant's first bytes,
    // both folded: a fold may change a character's length (the Kelvin sign
    // folds to "k"), so the start that answers is as long as the constant's
    // part once folded, not as many bytes of the record's text.
    const std::size_t whole = std::max<std::size_t>(a.Length, length);
    ZeroUpTo(a, whole + 1);
    ZeroUpTo(b, length + 1u);
    const auto text = [](const TFilterValue& v, std::size_t bytes) {
      const char* data = reinterpret_cast<const char*>(v.Data);
      return std::string_view(data, strnlen(data, std::min(bytes, sizeof v.Data - 1)));
    };
    return AnsiCompareTextStart(text(a, whole), text(b, length));
  }
  if (a.FieldType == b.FieldType) {
    ZeroUpTo(a, length + 1u);
    ZeroUpTo(b, length + 1u);
    return owner_->CompareFieldValues(a.FieldType, 0, length, caseInsensitive, a.Data, b.Data);
  }
  // Read as text, a value may run to the end of its cell.
  ZeroUpTo(a, sizeof a.Data);
  ZeroUpTo(b, sizeof b.Data);
  int c = ValueToText(a).compare(ValueToText(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string TFilterListItem::ValueToText(const TFilterValue& v) {
  const auto* data = v.Data;
  std::string text;
  switch (v.FieldType) {
    case fldtype::ZString:
      text = dbengine_detail::SlotText(reinterpret_cast<const char*>(data), sizeof v.Data);
      break;
    case fldtype::Date:
    case fldtype::Time: {
      double value;
      std::memcpy(&value, data, sizeof value);
      text = dbengine_detail::FilterDateTimeText(value, v.FieldType == fldtype::Time);
      break;
    }
    case fldtype::Bool:
      text.assign(1, Word(data) != 0 ? '1' : '0');
      break;
    case fldtype::Int16: {
      char s[16];
      std::snprintf(s, sizeof s, "%5.5d", static_cast<int>(Word(data)));
      text = s;
      break;
    }
    case fldtype::Int32: {
      std::int32_t value;
      std::memcpy(&value, data, sizeof value);
      char s[16];
      std::snprintf(s, sizeof s, "%10.10d", static_cast<int>(value));
      text = s;
      break;
    }
    case fldtype::Float: {
      double value;
      std::memcpy(&value, data, sizeof value);
      char s[400];
      std::snprintf(s, sizeof s, "%f", value);
      text = s;
      break;
    }
    case fldtype::Bytes:
      text.assign(reinterpret_cast<const char*>(data), std::min<std::size_t>(v.Length, sizeof v.Data));
      break;
    case fldtype::VarBytes:
      text.assign(reinterpret_cast<const char*>(data + 1), data[0]);
      break;
    default:
      break;
  }
  return dbengine_detail::CutChars(text, 255);
}

void TFilterListItem::GetInfo(std::uint16_t number, TFilterInfo& info) const {
  std::memset(&info, 0, sizeof info);
  info.FilterNumber = number;
  info.FilterHandle = const_cast<TFilterListItem*>(this);
  info.ClientData = clientData_;
  info.Priority = priority_;
  info.CanAbort = canAbort_ != 0 ? -1 : 0;
  info.Callback = reinterpret_cast<void*>(callback_);
  info.Expression = Expression();
  info.Active = Active() ? -1 : 0;
}
