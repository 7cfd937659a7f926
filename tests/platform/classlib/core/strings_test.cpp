#include "platform/classlib/core/strings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/streams.h"

namespace {

std::vector<std::string> Lines(const TStrings& s) {
  std::vector<std::string> out;
  for (int i = 0; i < s.Count(); ++i) out.push_back(s.Strings(i));
  return out;
}

using V = std::vector<std::string>;

// Objects are opaque tags here; the list never touches them.
TObject* Tag(int n) { return reinterpret_cast<TObject*>(static_cast<intptr_t>(n)); }

std::string ErrorOf(const std::function<void()>& action) {
  return MessageOf<EStringListError>(action);
}

}  // namespace

TEST(StringListTest, TextJoinsWithCrLfAndSplitsEveryLineBreak) {
  TStringList list;
  list.SetText("one\r\ntwo\nthree\rfour");
  EXPECT_EQ(Lines(list), (V{"one", "two", "three", "four"}));
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");

  // An empty line is kept, a trailing break adds none, LF then CR are two breaks.
  for (const auto& [text, lines] : {std::pair<const char*, V>{"a\r\n\r\nb\n", {"a", "", "b"}},
                                    {"a\n\n", {"a", ""}}, {"a\n\rb", {"a", "", "b"}},
                                    {"\r\n", {""}}, {"", {}}, {"no break", {"no break"}}}) {
    list.SetText(text);
    EXPECT_EQ(Lines(list), lines) << text;
  }
  EXPECT_EQ(list.Text(), "no break\r\n");
  list.SetText("\r\n");
  EXPECT_EQ(list.Text(), "\r\n");
  list.SetText("");
  EXPECT_EQ(list.Text(), "");
}

TEST(StringListTest, CommaTextQuotesWhatWouldNotSurviveAndRoundTrips) {
  TStringList list;
  for (const char* s : {"plain", "with space", "a,b", "say \"hi\"", "", "tab\there", "ünïcode"})
    list.Add(s);
  EXPECT_EQ(list.CommaText(),
            "plain,\"with space\",\"a,b\",\"say \"\"hi\"\"\",,\"tab\there\",ünïcode");
  TStringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Lines(back), Lines(list));

  // Leading and trailing empty items survive too.
  TStringList edges;
  edges.SetCommaText(",x,");
  EXPECT_EQ(Lines(edges), (V{"", "x", ""}));
  EXPECT_EQ(edges.CommaText(), ",x,");

  TStringList single;
  single.Add("");
  EXPECT_EQ(single.CommaText(), "\"\"");
  single.SetCommaText("\"\"");
  EXPECT_EQ(Lines(single), (V{""}));
  single.SetCommaText("");
  EXPECT_EQ(single.Count(), 0);
  EXPECT_EQ(single.CommaText(), "");
}

TEST(StringListTest, CommaTextSplitsUnquotedItemsAtBlanks) {
  TStringList list;
  list.SetCommaText("  a b , \"c d\" ,e\"f\",\"unterminated, item");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c d", "e\"f\"", "unterminated, item"}));
  list.SetCommaText("\"x\"y,z");  // text right after a closing quote starts a new item
  EXPECT_EQ(Lines(list), (V{"x", "y", "z"}));
  list.SetCommaText(std::string("a\0b", 3));  // a NUL separates like a blank, never hangs
  EXPECT_EQ(Lines(list), (V{"a", "b"}));
}

TEST(StringListTest, DelimitedTextUsesDelimiterAndQuoteChar) {
  TStringList list;
  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  list.SetDelimitedText("a;'b;c';'it''s'");
  EXPECT_EQ(Lines(list), (V{"a", "b;c", "it's"}));
  EXPECT_EQ(list.DelimitedText(), "a;'b;c';'it''s'");
  EXPECT_EQ(list.CommaText(), "a,b;c,it's");
}

TEST(StringListTest, NamesAndValues) {
  TStringList list;
  list.SetText("Server=db1\nFilter=a=b\nplain\nEmpty=\n");
  EXPECT_EQ(list.Names(0), "Server");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.Values("filter"), "a=b");  // only the first "=" separates
  EXPECT_EQ(list.ValueFromIndex(1), "a=b");
  EXPECT_EQ(list.ValueFromIndex(2), "");
  EXPECT_EQ(list.Values("Empty"), "");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.IndexOfName("SERVER"), 0);
  EXPECT_EQ(list.IndexOfName("plain"), -1);

  list.SetValues("Server", "db2");
  EXPECT_EQ(list.Strings(0), "Server=db2");
  list.SetValues("Port", "5");
  EXPECT_EQ(list.Strings(4), "Port=5");
  list.SetValues("Filter", "");
  EXPECT_EQ(list.IndexOfName("Filter"), -1);
  list.SetValues("Nothing", "");  // deleting an absent name changes nothing
  EXPECT_EQ(list.Count(), 4);
  list.SetValueFromIndex(0, "x=y");
  EXPECT_EQ(list.Strings(0), "Server=x=y");

  TStringList sorted;
  sorted.SetSorted(true);
  sorted.SetValues("b", "2");
  sorted.SetValues("a", "1");
  EXPECT_EQ(Lines(sorted), (V{"a=1", "b=2"}));
}

TEST(StringListTest, IndexOfIgnoresCaseUnlessCaseSensitive) {
  TStringList list;
  list.Add("Alpha");
  list.AddObject("beta", Tag(7));
  EXPECT_EQ(list.IndexOf("ALPHA"), 0);
  EXPECT_EQ(list.IndexOf("gamma"), -1);
  list.Add("Ärger");
  EXPECT_EQ(list.IndexOf("äRGER"), 2);  // not only ASCII letters fold
  EXPECT_EQ(list.IndexOfObject(Tag(7)), 1);
  EXPECT_EQ(list.IndexOfObject(Tag(8)), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("ALPHA"), -1);
  EXPECT_EQ(list.IndexOf("Alpha"), 0);
}

TEST(StringListTest, SortedListInsertsInPlaceAndFinds) {
  TStringList list;
  list.SetSorted(true);
  list.AddObject("pear", Tag(1));
  list.AddObject("Apple", Tag(2));
  list.AddObject("fig", Tag(3));
  EXPECT_EQ(Lines(list), (V{"Apple", "fig", "pear"}));
  EXPECT_EQ(list.Objects(0), Tag(2));
  int index = -1;
  EXPECT_TRUE(list.Find("FIG", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find("grape", index));
  EXPECT_EQ(index, 2);  // where it would go
  EXPECT_FALSE(list.Find("zzz", index));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(list.IndexOf("PEAR"), 2);
  EXPECT_EQ(list.IndexOf("grape"), -1);

  EXPECT_EQ(ErrorOf([&] { list.Insert(0, "x"); }), "Operation not allowed on sorted string list");
  EXPECT_EQ(ErrorOf([&] { list.SetStrings(0, "x"); }),
            "Operation not allowed on sorted string list");
  EXPECT_EQ(ErrorOf([&] { list.Move(0, 2); }), "Operation not allowed on sorted string list");
  EXPECT_EQ(Lines(list), (V{"Apple", "fig", "pear"}));  // a refused move loses nothing
}

TEST(StringListTest, DuplicatesModes) {
  TStringList list;
  list.SetSorted(true);
  list.AddObject("b", Tag(1));
  EXPECT_EQ(list.AddObject("B", Tag(2)), 0);  // dupIgnore: the index of the existing one
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Objects(0), Tag(1));  // and its object stays

  list.SetDuplicates(dupAccept);
  list.AddObject("a", Tag(3));
  EXPECT_EQ(list.AddObject("B", Tag(4)), 1);  // before its equal
  EXPECT_EQ(Lines(list), (V{"a", "B", "b"}));

  list.SetDuplicates(dupError);
  EXPECT_EQ(ErrorOf([&] { list.Add("A"); }), "String list does not allow duplicates");
  EXPECT_EQ(list.Count(), 3);

  // Duplicates matter only for sorted lists.
  TStringList unsorted;
  unsorted.SetDuplicates(dupError);
  unsorted.Add("x");
  unsorted.Add("x");
  EXPECT_EQ(unsorted.Count(), 2);
}

TEST(StringListTest, SortKeepsObjectsWithTheirStrings) {
  TStringList list;
  list.AddObject("c", Tag(3));
  list.AddObject("A", Tag(1));
  list.AddObject("b", Tag(2));
  list.AddObject("a", Tag(4));
  list.Sort();
  EXPECT_EQ(Lines(list), (V{"A", "a", "b", "c"}));  // equal strings keep their order
  EXPECT_EQ(list.Objects(0), Tag(1));
  EXPECT_EQ(list.Objects(1), Tag(4));
  EXPECT_EQ(list.Objects(3), Tag(3));

  list.CustomSort([](TStringList* l, int i, int j) {
    return static_cast<int>(reinterpret_cast<intptr_t>(l->Objects(j)) -
                            reinterpret_cast<intptr_t>(l->Objects(i)));
  });
  EXPECT_EQ(Lines(list), (V{"a", "c", "b", "A"}));

  list.Exchange(0, 3);
  EXPECT_EQ(list.Strings(0), "A");
  EXPECT_EQ(list.Objects(0), Tag(1));
  EXPECT_EQ(list.Objects(3), Tag(4));
  list.Move(0, 2);
  EXPECT_EQ(Lines(list), (V{"c", "b", "A", "a"}));
  EXPECT_EQ(list.Objects(2), Tag(1));
  list.Delete(0);
  EXPECT_EQ(list.Objects(0), Tag(2));
  list.SetStrings(0, "B");
  EXPECT_EQ(list.Objects(0), Tag(2));  // replacing a string keeps its object

  list.SetCaseSensitive(true);
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (V{"a", "A", "B"}));  // the locale order: case breaks ties only
  list.SetCaseSensitive(false);  // a sorted list re-sorts under the new comparison
  int index;
  EXPECT_TRUE(list.Find("b", index));
}

TEST(StringListTest, IndexErrors) {
  TStringList list;
  list.Add("x");
  EXPECT_EQ(ErrorOf([&] { list.Strings(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { list.Objects(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { list.Delete(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { list.Insert(2, "y"); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Exchange(0, 1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { list.Names(3); }), "List index out of bounds (3)");
  list.Insert(1, "end");
  EXPECT_EQ(Lines(list), (V{"x", "end"}));
}

TEST(StringListTest, ChangeEventsFireOncePerOuterUpdate) {
  TStringList list;
  int changing = 0, changed = 0;
  TObject* sender = nullptr;
  list.OnChanging = [&](TObject*) { ++changing; };
  list.OnChange = [&](TObject* s) {
    ++changed;
    sender = s;
  };
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(sender, &list);

  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("c");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 2);
  list.EndUpdate();
  EXPECT_EQ(changing, 3);
  EXPECT_EQ(changed, 3);

  list.SetText("x\ny\nz");
  list.SetCommaText("p,q");
  EXPECT_EQ(changed, 5);  // one each

  list.Clear();
  list.Clear();  // already empty: no change
  EXPECT_EQ(changed, 6);

  // An update survives an exception that passes through it.
  list.SetSorted(true);
  list.SetDuplicates(dupError);
  list.Add("k");
  TStringList other;
  other.Add("k");
  EXPECT_THROW(list.AddStrings(&other), EStringListError);
  int before = changed;
  list.Add("m");
  EXPECT_EQ(changed, before + 1);
}

// Each edit outside an update announces itself once, before and after.
TEST(StringListTest, DeleteAnnouncesTheChange) {
  TStringList list;
  list.SetText("a\nb");
  std::vector<std::string> seen;
  list.OnChanging = [&](TObject*) { seen.push_back("changing " + list.Text()); };
  list.OnChange = [&](TObject*) { seen.push_back("change " + list.Text()); };
  list.Delete(0);
  EXPECT_EQ(seen, (V{"changing a\r\nb\r\n", "change b\r\n"}));
}

TEST(StringListTest, SwitchingASortedListToCaseSensitiveReSorts) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  list.Add("a");
  list.Add("B");
  list.Add("A");  // equal to "a" without case: goes before it
  EXPECT_EQ(Lines(list), (V{"A", "a", "B"}));
  list.SetCaseSensitive(true);
  EXPECT_EQ(Lines(list), (V{"a", "A", "B"}));  // the small letter first
  int index = -1;
  EXPECT_TRUE(list.Find("A", index));  // and the binary search agrees with the order
  EXPECT_EQ(index, 1);
}

TEST(StringListTest, AssignAddStringsAndEquals) {
  TStringList a, b;
  a.AddObject("one", Tag(1));
  a.AddObject("two", Tag(2));
  b.Add("old");
  b.Assign(&a);
  EXPECT_EQ(Lines(b), (V{"one", "two"}));
  EXPECT_EQ(b.Objects(1), Tag(2));
  EXPECT_TRUE(a.Equals(&b));
  b.AddStrings(&a);
  EXPECT_EQ(b.Count(), 4);
  EXPECT_FALSE(a.Equals(&b));
  b.Assign(&a);
  b.SetStrings(0, "ONE");
  EXPECT_FALSE(a.Equals(&b));  // exact comparison
  b.Assign(&b);
  EXPECT_EQ(b.Count(), 2);

  EXPECT_THROW(b.Assign(nullptr), EConvertError);
}

TEST(StringListTest, StreamsAndFilesAreUtf8WithBomSkipped) {
  TStringList list;
  list.Add("première");
  list.Add("second");
  TStringStream out;
  list.SaveToStream(&out);
  EXPECT_EQ(out.DataString(), "première\r\nsecond\r\n");

  TStringStream in("ignored\xEF\xBB\xBFx");  // a BOM counts only at the start
  in.SetPosition(7);
  TStringList loaded;
  loaded.LoadFromStream(&in);
  EXPECT_EQ(Lines(loaded), (V{"x"}));

  TStringStream withBom("\xEF\xBB\xBF" "a\nb");
  loaded.LoadFromStream(&withBom);
  EXPECT_EQ(Lines(loaded), (V{"a", "b"}));

  namespace fs = std::filesystem;
  fs::path path = fs::temp_directory_path() / ("vantrel_strings_" + std::to_string(getpid()));
  list.SaveToFile(path.string());
  loaded.LoadFromFile(path.string());
  EXPECT_TRUE(loaded.Equals(&list));
  fs::remove(path);
  EXPECT_THROW(loaded.LoadFromFile(path.string()), EFOpenError);
  EXPECT_TRUE(loaded.Equals(&list));  // a failed load keeps the lines
}

namespace {

// The least a descendant must write: strings without objects, change events
// counted through SetUpdateState.
class TPlainStrings : public TStrings {
 public:
  std::vector<std::string> lines;
  std::vector<bool> updateStates;
  void Insert(int index, const std::string& s) override { lines.insert(lines.begin() + index, s); }
  void Delete(int index) override { lines.erase(lines.begin() + index); }
  void Clear() override { lines.clear(); }

 protected:
  std::string Get(int index) const override { return lines.at(index); }
  int GetCount() const override { return static_cast<int>(lines.size()); }
  void SetUpdateState(bool updating) override { updateStates.push_back(updating); }
};

}  // namespace

TEST(StringsTest, DescendantsGetTheWholeProtocolFromFiveMethods) {
  TPlainStrings plain;
  plain.SetText("a=1\nb\nc");
  EXPECT_EQ(plain.updateStates, (std::vector<bool>{true, false}));  // one update for the lot
  plain.Exchange(0, 2);
  EXPECT_EQ(plain.lines, (V{"c", "b", "a=1"}));
  plain.Move(2, 0);
  EXPECT_EQ(plain.lines, (V{"a=1", "c", "b"}));
  plain.SetStrings(1, "C");
  EXPECT_EQ(plain.lines, (V{"a=1", "C", "b"}));
  plain.SetValues("A", "2");
  EXPECT_EQ(plain.lines[0], "A=2");  // the line takes the name as given
  EXPECT_EQ(plain.IndexOf("c"), 1);
  EXPECT_EQ(plain.AddObject("d", Tag(1)), 3);
  EXPECT_EQ(plain.Objects(3), nullptr);  // this descendant keeps no objects
  EXPECT_EQ(plain.CommaText(), "A=2,C,b,d");

  TStringList list;
  list.Assign(&plain);
  EXPECT_EQ(Lines(list), (V{"A=2", "C", "b", "d"}));
  plain.Assign(&list);
  EXPECT_TRUE(plain.Equals(&list));

  list.AddStrings(&list);  // adding a list to itself doubles it once
  EXPECT_EQ(list.Count(), 8);
}
