#pragma once
// Engine objects: the root of every handle the engine hands out, the engine's
// two list classes and the small byte and text routines its parts share.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbengine/engineerrors.h"
#include "platform/classlib/core/list.h"

class TMorvaCollection;

// Property ids are 32-bit; values set through them are pointer-sized.
using TPropertyId = std::uint32_t;
using TPropertyValue = std::uintptr_t;

// The root of every engine handle (session, database, cursor, statement, ...):
// it knows its owner, stands in its owner's list and answers numbered properties.
class TBapiListItem : public TObject {
  DECLARE_CLASS(TBapiListItem, TObject)
 public:
  // Joins the owner list (through its Insert) when one is given.
  TBapiListItem(TBapiListItem* ownerHandle, TMorvaCollection* ownerList);
  // Leaves the owner list; frees nothing else.
  ~TBapiListItem() override;

  TBapiListItem* OwnerHandle() const { return ownerHandle_; }
  TMorvaCollection* OwnerList() const { return ownerList_; }
  // Position in the owner list; 0 without a list.
  int IndexInOwner() const;

  // Writes the property into buffer (at most size bytes) and its length into
  // length (0 first). The root answers no property: NOTSUPPORTED.
  virtual void GetProperty(TPropertyId id, void* buffer, std::uint16_t size, std::uint16_t& length);
  // The root ignores every value.
  virtual void SetProperty(TPropertyId id, TPropertyValue value);
  // Raises when the value may not be set; the root accepts every value.
  virtual void CheckPropertyValue(TPropertyId id, TPropertyValue value);

 protected:
  // Joins a list after construction, for objects whose place in a sorted list
  // depends on data their own constructor sets.
  void JoinOwnerList(TMorvaCollection* ownerList);
  // Writes a property value of n bytes, cut to the caller's buffer.
  static void PutPropertyBytes(const void* value, std::size_t n, void* buffer, std::uint16_t size,
                               std::uint16_t& length);

 private:
  TBapiListItem* ownerHandle_;
  TMorvaCollection* ownerList_;
  friend class TMorvaCollection;
};

// An ordered list of object references. Freeing the collection frees every
// item it still holds; removing an item never frees it.
class TMorvaCollection : public TObject {
  DECLARE_CLASS(TMorvaCollection, TObject)
 public:
  TMorvaCollection() = default;
  ~TMorvaCollection() override;

  // Adds the item; the base appends.
  virtual void Insert(TObject* item);
  TObject* At(int position) const;
  void AtInsert(int position, TObject* item);
  void AtDelete(int position);
  void Remove(TObject* item);
  int IndexOf(const TObject* item) const;
  int Count() const { return items_.Count(); }
  void DeleteAll() { items_.Clear(); }
  // Frees every item, last to first, then empties the list.
  void FreeAll();
  void FreeItem(TObject* item);

 private:
  TList items_;
};

// A collection kept in the order of a key.
class TSortedCollection : public TMorvaCollection {
  DECLARE_CLASS(TSortedCollection, TMorvaCollection)
 public:
  bool Duplicates = true;

  // Inserts at the item's key position; with Duplicates off an item whose key
  // is already present is not inserted (and not freed).
  void Insert(TObject* item) override;
  virtual const void* KeyOf(TObject* item) const { return item; }
  virtual int Compare(const void* key1, const void* key2) const = 0;
  // Binary search; position is the first equal item (or the insertion point).
  virtual bool Search(const void* key, int& position) const;
};

// Byte and text routines shared by the engine's parts.

// -1, 0 or 1 comparing count bytes as unsigned values; 0 when count is 0.
int CompareBytes(const void* a, const void* b, std::uint16_t count);
// Appends ch unless text already holds maxLength characters.
void AppendChar(std::string& text, std::size_t maxLength, char ch);
// The path with a trailing separator: "\" after a "\"-style path, "/" after a
// "/"-style one, nothing when it already ends with either; at most 255 characters.
std::string AddTrailingBackslash(std::string_view path);
void ZeroFill(void* buffer, std::uint16_t count);
bool IsAllZero(const void* buffer, std::uint16_t count);
std::string RemoveChar(std::string_view text, char ch);
// True when the name holds ":", "\" or "/", or with flag bit 0, ".".
bool HasPathPart(std::string_view name, unsigned flags);
// Replaces (or, with a nil replacement, deletes) the first occurrence of the
// pattern, cutting the result to maxLength characters; false when absent.
bool ReplaceFirst(std::string& text, std::string_view pattern, const char* replacement,
                  std::size_t maxLength);
// Ends the text at the first occurrence of ch.
std::string& CutAtChar(std::string& text, char ch);
// The name of the user running the program.
std::string GetNetworkUserName();
