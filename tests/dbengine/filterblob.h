#pragma once
// Builds filter-expression blobs for the tests: a tree of nodes written with
// the root first, then the literal area.

#include <cstring>
#include <string>
#include <vector>

#include "dbengine/enginetypes.h"

namespace testing_engine {

struct TNode {
  std::uint32_t Class = 0;
  std::uint32_t Op = 0;
  std::vector<TNode> Kids;
  std::string Name;                 // field nodes
  std::uint16_t Type = 0;           // constants
  std::vector<std::uint8_t> Value;  // constants
  std::uint16_t CaseInsensitive = 0, Partial = 0, Continue = 0;
};

inline TNode FieldNode(const std::string& name) {
  TNode n;
  n.Class = filternode::Field;
  n.Name = name;
  return n;
}
inline TNode TextConst(const std::string& text) {
  TNode n;
  n.Class = filternode::Constant;
  n.Type = fldtype::ZString;
  n.Value.assign(text.begin(), text.end());
  n.Value.push_back(0);
  return n;
}
inline TNode IntConst(std::int32_t v) {
  TNode n;
  n.Class = filternode::Constant;
  n.Type = fldtype::Int32;
  n.Value.resize(4);
  std::memcpy(n.Value.data(), &v, 4);
  return n;
}
inline TNode Compare(std::uint32_t op, TNode left, TNode right, bool ci = false) {
  TNode n;
  n.Class = filternode::Compare;
  n.Op = op;
  n.CaseInsensitive = ci ? 1 : 0;
  n.Kids = {std::move(left), std::move(right)};
  return n;
}
inline TNode Binary(std::uint32_t op, TNode left, TNode right) {
  TNode n;
  n.Class = filternode::Binary;
  n.Op = op;
  n.Kids = {std::move(left), std::move(right)};
  return n;
}
inline TNode Unary(std::uint32_t op, TNode operand) {
  TNode n;
  n.Class = filternode::Unary;
  n.Op = op;
  n.Kids = {std::move(operand)};
  return n;
}
inline TNode ContinueNode(std::uint16_t v) {
  TNode n;
  n.Class = filternode::Continue;
  n.Continue = v;
  return n;
}
inline TNode OtherClass(std::uint32_t cls) {
  TNode n;
  n.Class = cls;
  return n;
}

class TBlobWriter {
 public:
  std::vector<std::uint8_t> Write(const TNode& root) {
    nodes_.clear();
    literals_.clear();
    Place(root);
    std::vector<std::uint8_t> blob(sizeof(TFilterBlobHeader));
    TFilterBlobHeader h{};
    h.Version = 1;
    h.NodeCount = count_;
    h.NodeStart = sizeof(TFilterBlobHeader);
    h.LiteralStart = static_cast<std::uint16_t>(h.NodeStart + nodes_.size());
    h.TotalSize = static_cast<std::uint16_t>(h.LiteralStart + literals_.size());
    std::memcpy(blob.data(), &h, sizeof h);
    blob.insert(blob.end(), nodes_.begin(), nodes_.end());
    blob.insert(blob.end(), literals_.begin(), literals_.end());
    return blob;
  }

 private:
  static std::size_t SizeOf(const TNode& n) {
    switch (n.Class) {
      case filternode::Unary: return sizeof(TFilterUnaryNode);
      case filternode::Binary: return sizeof(TFilterBinaryNode);
      case filternode::Compare: return sizeof(TFilterCompareNode);
      case filternode::Field: return sizeof(TFilterFieldNode);
      case filternode::Constant: return sizeof(TFilterConstantNode);
      default: return sizeof(TFilterContinueNode);
    }
  }
  std::uint16_t Literal(const void* data, std::size_t size) {
    auto at = static_cast<std::uint16_t>(literals_.size());
    const auto* p = static_cast<const std::uint8_t*>(data);
    literals_.insert(literals_.end(), p, p + size);
    return at;
  }
  template <class T>
  void Put(std::size_t at, const T& value) { std::memcpy(nodes_.data() + at, &value, sizeof value); }

  // Reserves the node, then its children; returns its offset.
  std::uint16_t Place(const TNode& n) {
    ++count_;
    std::size_t at = nodes_.size();
    nodes_.resize(at + SizeOf(n));
    std::vector<std::uint16_t> kids;
    for (const TNode& k : n.Kids) kids.push_back(Place(k));
    TFilterNodeHeader h{n.Class, n.Op};
    switch (n.Class) {
      case filternode::Unary: Put(at, TFilterUnaryNode{h, kids[0]}); break;
      case filternode::Binary: Put(at, TFilterBinaryNode{h, kids[0], kids[1]}); break;
      case filternode::Compare:
        Put(at, TFilterCompareNode{h, n.CaseInsensitive, n.Partial, kids[0], kids[1]});
        break;
      case filternode::Field:
        Put(at, TFilterFieldNode{h, 0, Literal(n.Name.c_str(), n.Name.size() + 1)});
        break;
      case filternode::Constant:
        Put(at, TFilterConstantNode{h, n.Type, static_cast<std::uint16_t>(n.Value.size()),
                                    Literal(n.Value.data(), n.Value.size())});
        break;
      default: Put(at, TFilterContinueNode{h, n.Continue}); break;
    }
    return static_cast<std::uint16_t>(at);
  }

  std::vector<std::uint8_t> nodes_;
  std::vector<std::uint8_t> literals_;
  std::uint16_t count_ = 0;
};

inline std::vector<std::uint8_t> BlobOf(const TNode& root) { return TBlobWriter().Write(root); }

}  // namespace testing_engine
