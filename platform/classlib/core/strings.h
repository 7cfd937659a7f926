#pragma once
// TStrings, the class library's abstract list of strings with an object per
// string, and TStringList, the list that holds them itself (optionally sorted).
//
// Text joins the lines with "\r\n", the library's line break, after every line
// (so a saved file ends with a line break); assigning Text splits at CR LF, LF
// and a lone CR. Strings are UTF-8; comparisons that ignore case use the
// locale-aware text comparison of the string routines.
//
// The component streamer reads and writes a TStrings property through Count,
// Strings, Clear, Add and BeginUpdate/EndUpdate.

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/core/persistent.h"

class TStream;

using TNotifyEvent = std::function<void(TObject* sender)>;

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
  DECLARE_CLASS(TStrings, TPersistent)
 public:
  // Returns the index of the new string.
  virtual int Add(const std::string& s);
  virtual int AddObject(const std::string& s, TObject* object);
  // Adds every string (with its object) of strings.
  virtual void AddStrings(const TStrings* strings);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void InsertObject(int index, const std::string& s, TObject* object);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int index1, int index2);
  virtual void Move(int curIndex, int newIndex);

  // Searches ignore case (a TStringList may be told otherwise); -1 when absent.
  virtual int IndexOf(const std::string& s) const;
  int IndexOfName(const std::string& name) const;
  int IndexOfObject(const TObject* object) const;

  // Copies the strings and objects of another TStrings.
  void Assign(const TPersistent* source) override;
  // Same strings in the same order (compared exactly; objects not compared).
  bool Equals(const TStrings* strings) const;

  // Changes between the outer BeginUpdate and EndUpdate notify once.
  void BeginUpdate();
  void EndUpdate();

  int Count() const { return GetCount(); }
  std::string Strings(int index) const { return Get(index); }
  void SetStrings(int index, const std::string& s) { Put(index, s); }
  std::string operator[](int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }
  void SetObjects(int index, TObject* object) { PutObject(index, object); }

  // "name=value" lines. Names(i) is the text before the first "=" ("" when
  // there is none); Values(name) the text after it of the first line with
  // that name ("" when absent). Setting a value "" deletes the line.
  std::string Names(int index) const;
  std::string Values(const std::string& name) const;
  void SetValues(const std::string& name, const std::string& value);
  std::string ValueFromIndex(int index) const;
  void SetValueFromIndex(int index, const std::string& value);

  std::string Text() const { return GetTextStr(); }
  void SetText(const std::string& text) { SetTextStr(text); }

  // The strings separated by commas. An item holding a blank, a control
  // character, a comma or a double quote is double-quoted (quotes doubled);
  // a list of one empty string reads '""'. Assigning splits unquoted items
  // at commas and blanks and takes quoted items whole.
  std::string CommaText() const;
  void SetCommaText(const std::string& text);
  // As CommaText with Delimiter and QuoteChar (',' and '"' by default).
  std::string DelimitedText() const;
  void SetDelimitedText(const std::string& text);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char delimiter) { delimiter_ = delimiter; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char quoteChar) { quoteChar_ = quoteChar; }

  // UTF-8 text; a UTF-8 byte-order mark at the start is skipped on loading.
  // Loading reads from the stream's position to its end.
  virtual void LoadFromStream(TStream* stream);
  virtual void SaveToStream(TStream* stream) const;
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName) const;

 protected:
  virtual std::string Get(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int index) const;
  virtual void Put(int index, const std::string& s);
  virtual void PutObject(int index, TObject* object);
  virtual std::string GetTextStr() const;
  virtual void SetTextStr(const std::string& text);
  // Called with true by the outer BeginUpdate, with false by the outer EndUpdate.
  virtual void SetUpdateState(bool updating);
  // < 0, 0, > 0 like the strings' order; the base ignores case.
  virtual int CompareStrings(const std::string& s1, const std::string& s2) const;

  int UpdateCount() const { return updateCount_; }
  // Raises EStringListError with the message (a printf format with one %d).
  [[noreturn]] static void Error(const char* format, int value);

 private:
  std::string JoinDelimited(char delimiter, char quote) const;
  void SplitDelimited(const std::string& text, char delimiter, char quote);

  int updateCount_ = 0;
  char delimiter_ = ',';
  char quoteChar_ = '"';
};

class TStringList : public TStrings {
  DECLARE_CLASS(TStringList, TStrings)
 public:
  // Compares the strings at two indexes of list, for CustomSort.
  using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

  TStringList() = default;

  // In a sorted list Add puts the string in its place; an equal string is
  // ignored (dupIgnore, returning its index), added (dupAccept) or refused
  // with EStringListError "String list does not allow duplicates" (dupError).
  int Add(const std::string& s) override;
  int AddObject(const std::string& s, TObject* object) override;
  // Insert, Move and Strings assignment raise EStringListError "Operation
  // not allowed on sorted string list" on a sorted list.
  void Insert(int index, const std::string& s) override;
  void InsertObject(int index, const std::string& s, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;
  void Move(int curIndex, int newIndex) override;

  // Binary search of a sorted list: true when found; index is the position
  // of the first equal string, or where s would be inserted.
  virtual bool Find(const std::string& s, int& index) const;
  int IndexOf(const std::string& s) const override;

  // Sort an unsorted list (a sorted one is already in order). Objects move
  // with their strings; equal strings keep their order.
  virtual void Sort();
  virtual void CustomSort(const TStringListSortCompare& compare);

  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  std::string Get(int index) const override;
  int GetCount() const override { return static_cast<int>(items_.size()); }
  TObject* GetObject(int index) const override;
  void Put(int index, const std::string& s) override;
  void PutObject(int index, TObject* object) override;
  void SetUpdateState(bool updating) override;
  int CompareStrings(const std::string& s1, const std::string& s2) const override;
  // Fire OnChange / OnChanging unless an update is in progress.
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    std::string string;
    TObject* object = nullptr;
  };
  void CheckIndex(int index) const;
  void CheckNotSorted() const;
  void InsertItem(int index, const std::string& s, TObject* object);
  // Reorders the items by a comparison of their indexes (stable).
  void SortByIndex(const std::function<int(int, int)>& compare);

  std::vector<Item> items_;
  TDuplicates duplicates_ = dupIgnore;
  bool sorted_ = false;
  bool caseSensitive_ = false;
};
