// The filter-expression parser: expressions and the blobs they yield.

#include <gtest/gtest.h>

#include <cstring>

#include "memdataset.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/db/filterexpr.h"
#include "platform/classlib/core/english_settings.h"

namespace {

using Blob = std::vector<std::uint8_t>;

unsigned Word(const Blob& b, std::size_t at) { return unsigned(b.at(at) | (b.at(at + 1) << 8)); }
unsigned Long(const Blob& b, std::size_t at) { return Word(b, at) | (Word(b, at + 2) << 16); }

// Renders a blob as text: (a op b) for binary nodes, [a op b flags] for
// compare nodes, F:name for fields and typed constants.
class Dump {
 public:
  explicit Dump(const Blob& b) : b_(b) {}
  std::string Root() { return Node(0); }

 private:
  std::size_t NodeAt(unsigned offset) const { return Word(b_, 6) + offset; }
  std::size_t LiteralAt(unsigned offset) const { return Word(b_, 8) + offset; }
  static const char* Op(unsigned op) {
    static const char* names[] = {"?", "isblank", "notblank", "=", "<>", ">", "<", ">=", "<=",
                                  "not", "and", "or"};
    return op < 12 ? names[op] : "?";
  }
  std::string Node(unsigned offset) {
    std::size_t at = NodeAt(offset);
    unsigned cls = Long(b_, at), op = Long(b_, at + 4);
    switch (cls) {
      case 1:
        return std::string(Op(op)) + "(" + Node(Word(b_, at + 8)) + ")";
      case 2:
        return "(" + Node(Word(b_, at + 8)) + " " + Op(op) + " " + Node(Word(b_, at + 10)) + ")";
      case 3: {
        std::string flags;
        if (Word(b_, at + 8)) flags += " ci";
        if (Word(b_, at + 10)) flags += " p" + std::to_string(Word(b_, at + 10));
        return "[" + Node(Word(b_, at + 12)) + " " + Op(op) + " " + Node(Word(b_, at + 14)) +
               flags + "]";
      }
      case 4:
        return "F:" + std::string(reinterpret_cast<const char*>(&b_[LiteralAt(Word(b_, at + 10))]));
      case 5: {
        unsigned type = Word(b_, at + 8), size = Word(b_, at + 10);
        const std::uint8_t* v = &b_[LiteralAt(Word(b_, at + 12))];
        switch (type) {
          case 1: return "s'" + std::string(reinterpret_cast<const char*>(v)) + "'";
          case 2: { std::int32_t x; std::memcpy(&x, v, 4); return "d:" + std::to_string(x); }
          case 4: { std::int16_t x; std::memcpy(&x, v, 2); return "b:" + std::to_string(x); }
          case 5: { std::int16_t x; std::memcpy(&x, v, 2); return "i16:" + std::to_string(x); }
          case 6: { std::int32_t x; std::memcpy(&x, v, 4); return "i32:" + std::to_string(x); }
          case 7: { double x; std::memcpy(&x, v, 8); char buf[32]; std::snprintf(buf, sizeof buf, "f:%g", x); return buf; }
          default: return "t" + std::to_string(type) + "/" + std::to_string(size);
        }
      }
      default:
        return "?" + std::to_string(cls);
    }
  }
  const Blob& b_;
};

class FilterParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings.ShortDateFormat = "M/d/yyyy";
    FormatSettings.DateSeparator = '/';
    FormatSettings.DecimalSeparator = '.';
    ds.FieldDefs().Add("ReportType", ftString, 20);
    ds.FieldDefs().Add("Priority", ftString, 1);
    ds.FieldDefs().Add("Status", ftString, 1);
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Small", ftSmallint);
    ds.FieldDefs().Add("Price", ftFloat);
    ds.FieldDefs().Add("Done", ftBoolean);
    ds.FieldDefs().Add("Fixed", ftDate);
    ds.FieldDefs().Add("Report Number", ftInteger);
    ds.Open();
  }
  std::string Parse(const std::string& text, TFilterOptions options = {}) {
    Blob b = BuildFilterBlob(text, &ds, options);
    EXPECT_EQ(Word(b, 0), filterblob::kVersion);
    EXPECT_EQ(Word(b, 2), b.size()) << "total size in the header";
    EXPECT_EQ(Word(b, 6), 10u);
    return Dump(b).Root();
  }
  std::string Error(const std::string& text) {
    return MessageOf<EDatabaseError>([&] { BuildFilterBlob(text, &ds, {}); });
  }
  TMemDataSet ds;
};

TEST_F(FilterParserTest, ExpressionsAndTheirBlobs) {
  struct Case {
    const char* text;
    const char* blob;
  } cases[] = {
      {"ReportType = 'BugReport' and 'Priority' <> '4' and 'Status' <> '6'",
       "(([F:ReportType = s'BugReport'] and [F:Priority <> s'4']) and [F:Status <> s'6'])"},
      {" 'Priority' <> '4' and 'Status' <> '6'", "([F:Priority <> s'4'] and [F:Status <> s'6'])"},
      {"ID = 5", "(F:ID = i32:5)"},
      {"5 < ID", "(F:ID > i32:5)"},
      {"'12' <= id", "(F:ID >= i32:12)"},
      {"Small >= -3", "(F:Small >= i16:-3)"},
      {"Price > 1.5 or ID = 2 and Done = True", "((F:Price > f:1.5) or ((F:ID = i32:2) and (F:Done = b:-1)))"},
      {"(Price > 1.5 or ID = 2) and not Done", "(((F:Price > f:1.5) or (F:ID = i32:2)) and not((F:Done = b:-1)))"},
      {"NOT (ID = 1)", "not((F:ID = i32:1))"},
      {"Status is null", "isblank(F:Status)"},
      {"Status IS NOT NULL", "notblank(F:Status)"},
      {"Status = null", "isblank(F:Status)"},
      {"'Status' <> NULL", "notblank(F:Status)"},
      {"[Report Number] = 7", "(F:Report Number = i32:7)"},
      {"\"Report Number\" = 7", "(F:Report Number = i32:7)"},
      {"ReportType = \"Bug\"\"s\"", "[F:ReportType = s'Bug\"s']"},
      {"ReportType = 'Bug*'", "[F:ReportType = s'Bug' p3]"},
      {"ReportType = 'it''s'", "[F:ReportType = s'it's']"},
      {"'Unknown' = 'x'", "[F:Unknown = s'x']"},
      {"ID = '12'", "(F:ID = i32:12)"},
      {"Fixed = '1/2/2000'", "(F:Fixed = d:730121)"},
      {"Done", "(F:Done = b:-1)"},
      {"Done = 'false'", "(F:Done = b:0)"},
      {"ReportType = Status", "[F:ReportType = F:Status]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.text), c.blob) << c.text;
}

TEST_F(FilterParserTest, OptionsShapeTextComparisons) {
  EXPECT_EQ(Parse("ReportType = 'Bug*'", {foNoPartialCompare}), "[F:ReportType = s'Bug*']");
  EXPECT_EQ(Parse("ReportType = 'bug'", {foCaseInsensitive}), "[F:ReportType = s'bug' ci]");
  EXPECT_EQ(Parse("ReportType = '*'"), "[F:ReportType = s'']");
}

TEST_F(FilterParserTest, ByteLayoutOfASimpleComparison) {
  Blob b = BuildFilterBlob("Priority = '1'", &ds, {});
  // Header, compare node (16), field node (12), constant node (14), literals.
  ASSERT_EQ(b.size(), 10u + 16 + 12 + 14 + 9 + 2);
  EXPECT_EQ(Word(b, 4), 3u) << "nodes";
  EXPECT_EQ(Word(b, 8), 10u + 16 + 12 + 14) << "literal area";
  EXPECT_EQ(Long(b, 10), 3u) << "compare class";
  EXPECT_EQ(Long(b, 14), 3u) << "equal";
  EXPECT_EQ(Word(b, 10 + 12), 16u) << "field node follows the root";
  EXPECT_EQ(Word(b, 10 + 14), 28u);
  EXPECT_EQ(Long(b, 26), 4u) << "field class";
  EXPECT_EQ(Word(b, 26 + 8), 2u) << "field number of Priority";
  EXPECT_EQ(Word(b, 26 + 10), 0u) << "name at the start of the literals";
  EXPECT_EQ(Long(b, 38), 5u) << "constant class";
  EXPECT_EQ(Word(b, 38 + 8), 1u) << "zero-terminated text";
  EXPECT_EQ(Word(b, 38 + 10), 2u) << "size";
  EXPECT_EQ(Word(b, 38 + 12), 9u) << "after 'Priority\\0'";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[52])), "Priority");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[61])), "1");
}

TEST_F(FilterParserTest, EmptyTextMeansNoFilter) {
  EXPECT_TRUE(BuildFilterBlob("", &ds, {}).empty());
  EXPECT_TRUE(BuildFilterBlob("   ", &ds, {}).empty());
}

TEST_F(FilterParserTest, BadExpressionsGiveClearErrors) {
  EXPECT_EQ(Error("ID = "), "Expression expected but end of expression found");
  EXPECT_EQ(Error("(ID = 1"), "')' expected but end of expression found");
  EXPECT_EQ(Error("ID = 1)"), "Filter expression incorrectly terminated");
  EXPECT_EQ(Error("Nope = 1"), "Field 'Nope' not found");
  EXPECT_EQ(Error("ID = 'abc'"), "'abc' is not a valid value for field 'ID'");
  EXPECT_EQ(Error("Small = 70000"), "'70000' is not a valid value for field 'Small'");
  EXPECT_EQ(Error("ReportType = 'abc"), "Unterminated string constant");
  EXPECT_EQ(Error("[Report Number = 1"), "Unterminated field name");
  EXPECT_EQ(Error("ID > null"), "NULL only allowed with '=' and '<>'");
  EXPECT_EQ(Error("ID # 1"), "Invalid filter expression character: '#'");
  EXPECT_EQ(Error("ID = 1 and Priority"), "Incorrectly formed filter expression");
  EXPECT_EQ(Error("(ID = 1) = 2"), "Incorrectly formed filter expression");
  EXPECT_EQ(Error("Fixed = 'yesterday'"), "'yesterday' is not a valid value for field 'Fixed'");
}

TEST_F(FilterParserTest, OversizedExpressionsAreRefusedNotCrashed) {
  std::string deep(100000, '(');
  EXPECT_EQ(Error(deep + "ID = 1" + std::string(100000, ')')), "Filter expression is too large");
  std::string nots;
  for (int i = 0; i < 100000; ++i) nots += "not ";
  EXPECT_EQ(Error(nots + "ID = 1"), "Filter expression is too large");
  std::string wide = "ID = 1";
  for (int i = 0; i < 3000; ++i) wide += " or ID = " + std::to_string(i);
  EXPECT_EQ(Error(wide), "Filter expression is too large");
  std::string huge = "ID = 1";
  for (int i = 0; i < 200000; ++i) huge += " or ID = 1";
  EXPECT_EQ(Error(huge), "Filter expression is too large");
  std::string nested = "ID = 1";
  for (int i = 0; i < 100; ++i) nested = "(" + nested + ")";
  EXPECT_EQ(Parse(nested), "(F:ID = i32:1)") << "reasonable nesting is fine";
}

TEST_F(FilterParserTest, TheDataSetRefusesABadFilter) {
  EXPECT_THROW(ds.SetFilter("ID = "), EDatabaseError);
  EXPECT_EQ(ds.Filter(), "") << "the bad text is not kept";
  ds.SetFilter("ID = 3");
  EXPECT_EQ(Dump(ds.FilterBlob()).Root(), "(F:ID = i32:3)");
}

}  // namespace
