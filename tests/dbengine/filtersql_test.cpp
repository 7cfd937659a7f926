// The SQL part of record filters: what it restricts, and that filtered
// results stay the engine's own (case rules, Null numbers read as 0).

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <random>

#include "dbengine/basetable.h"
#include "dbengine/daowrappers.h"
#include "dbengine/filters.h"
#include "dbengine/filtersql.h"
#include "filterblob.h"
#include "platform/classlib/db/filterexpr.h"
#include "ttbinding.h"

using namespace tttest;

namespace {

// Columns as the Access cursor describes them; Born is a date, Pay currency.
bool Column(const std::string& name, TFilterColumn& column) {
  static const TFilterColumn kColumns[] = {
      {"Name", fldtype::ZString, daotype::Text, 81},
      {"Age", fldtype::Int32, daotype::Long, 4},
      {"Score", fldtype::Float, daotype::Double, 8},
      {"Pay", fldtype::Float, daotype::Currency, 8},
      {"Born", fldtype::TimeStamp, daotype::Date, 8},
      {"Notes", fldtype::Blob, daotype::Memo, 16},
      {"Id", fldtype::Int32, daotype::Long, 4, true, "People"},
      {"Ratio", fldtype::Float, daotype::Single, 8},
      {"Done", fldtype::Bool, daotype::Boolean, 1},
  };
  for (const auto& c : kColumns)
    if (c.name == name) {
      column = c;
      return true;
    }
  return false;
}

TEST(FilterPrefilter, RestrictsOnlyWhatSqlDecidesAsTheEngineDoes) {
  const TFilterOptions whole{foNoPartialCompare}, anyCase{foCaseInsensitive, foNoPartialCompare};
  const TFilterOptions partial{}, partialAnyCase{foCaseInsensitive};
  const struct {
    const char* filter;
    TFilterOptions options;
    const char* sql;  // empty: nothing restricted
  } cases[] = {
      // Texts: equal or not in the engine's order of texts (bytes up to a
      // NUL), a blob compared as the text of its bytes where that decides;
      // in order up to a NUL (the stretch up to the text and byte 1), blobs
      // let through where they might hold; each column read past any index
      // (a unary plus).
      {"Name = 'Anna'", whole,
       R"((+"Name" = 'Anna' COLLATE ZSTRING OR (+"Name" >= 'Anna' COLLATE BINARY AND ((+"Name" < 'Annb' COLLATE )"
       R"(BINARY AND length(CAST(+"Name" AS BLOB)) >= 81) OR (+"Name" >= X'' AND (CAST(+"Name" AS TEXT) = 'Anna' )"
       R"(COLLATE ZSTRING OR length(CAST(+"Name" AS BLOB)) >= 81))))))"},
      {"Name = 'O''Brien'", whole,
       R"((+"Name" = 'O''Brien' COLLATE ZSTRING OR (+"Name" >= 'O''Brien' COLLATE BINARY AND ((+"Name" < )"
       R"('O''Brieo' COLLATE BINARY AND length(CAST(+"Name" AS BLOB)) >= 81) OR (+"Name" >= X'' AND (CAST(+"Name" )"
       R"(AS TEXT) = 'O''Brien' COLLATE ZSTRING OR length(CAST(+"Name" AS BLOB)) >= 81))))))"},
      {"Name = ''", whole,
       R"(((+"Name" = '' COLLATE ZSTRING OR (+"Name" >= '' COLLATE BINARY AND (length(CAST(+"Name" AS BLOB)) >= 81 )"
       R"(OR (+"Name" >= X'' AND (CAST(+"Name" AS TEXT) = '' COLLATE ZSTRING OR length(CAST(+"Name" AS BLOB)) >= )"
       R"(81))))) OR +"Name" IS NULL))"},
      {"Name <> ''", whole, R"(+"Name" <> '' COLLATE ZSTRING)"},
      {"Name <> 'A'", whole, R"((+"Name" <> 'A' COLLATE ZSTRING OR +"Name" IS NULL))"},
      {"Name > 'A'", whole, "+\"Name\" >= 'A\x01' COLLATE BINARY"},
      {"Name >= 'A'", whole, "+\"Name\" >= 'A' COLLATE BINARY"},
      // A text longer than the field's room is cut to a start of itself:
      // where a start could hold and the whole not, it is let through.
      {"Name < 'A'", whole,
       "(+\"Name\" < 'A' COLLATE BINARY OR +\"Name\" >= X'' OR length(CAST(+\"Name\" AS BLOB)) >= 81 OR +\"Name\" IS NULL)"},
      {"Name <= 'A'", whole,
       "(+\"Name\" < 'A\x01' COLLATE BINARY OR +\"Name\" >= X'' OR length(CAST(+\"Name\" AS BLOB)) >= 81 OR +\"Name\" IS NULL)"},
      {"Name = '" "12345678901234567890123456789012345678901234567890123456789012345678901234567890" "'", whole, ""},
      // Any case, ASCII: the letters folded, as the engine folds them; no
      // other character folds to ASCII.
      {"Name = 'a*b'", anyCase,
       R"((+"Name" = 'a*b' COLLATE ZSTRING_ANYCASE OR (+"Name" >= 'A*B' COLLATE BINARY AND ((+"Name" < 'a*c' )"
       R"(COLLATE BINARY AND length(CAST(+"Name" AS BLOB)) >= 81) OR (+"Name" >= X'' AND (CAST(+"Name" AS TEXT) = )"
       R"('a*b' COLLATE ZSTRING_ANYCASE OR length(CAST(+"Name" AS BLOB)) >= 81))))))"},
      {"Name <> 'x?'", anyCase, R"((+"Name" <> 'x?' COLLATE ZSTRING_ANYCASE OR +"Name" IS NULL))"},
      {"Name = ''", anyCase,
       R"(((+"Name" = '' COLLATE ZSTRING_ANYCASE OR (+"Name" >= '' COLLATE BINARY AND (length(CAST(+"Name" AS BLOB)) )"
       R"(>= 81 OR (+"Name" >= X'' AND (CAST(+"Name" AS TEXT) = '' COLLATE ZSTRING_ANYCASE OR length(CAST(+"Name" )"
       R"(AS BLOB)) >= 81))))) OR +"Name" IS NULL))"},
      // Any case, other letters: a pattern of their case variants (it reads
      // characters where the engine reads bytes, so it only pre-selects), a
      // start's last character left to the engine; the database's own
      // case-blind order for a whole text unequal.
      {"Name = 'é1'", anyCase, R"((+"Name" GLOB '[Éé]1' OR length(CAST(+"Name" AS BLOB)) >= 81 OR +"Name" >= X''))"},
      {"Name = 'ÿ'", anyCase, R"((+"Name" GLOB '[ÿŸ]' OR length(CAST(+"Name" AS BLOB)) >= 81 OR +"Name" >= X''))"},
      {"Name = 'σ'", anyCase, R"((+"Name" GLOB '[Σςσ]' OR length(CAST(+"Name" AS BLOB)) >= 81 OR +"Name" >= X''))"},
      {"Name = 'µ'", anyCase, R"((+"Name" GLOB '[µΜμ]' OR length(CAST(+"Name" AS BLOB)) >= 81 OR +"Name" >= X''))"},
      {"Name = 'Öz*'", partialAnyCase, R"((+"Name" GLOB '[Öö][Zz]*' OR +"Name" >= X''))"},
      {"Name = 'aé*'", partialAnyCase, R"((+"Name" GLOB '[Aa]*' OR +"Name" >= X''))"},
      {"Name = 'é*'", partialAnyCase, ""},
      {"Name <> 'émile'", anyCase, R"((+"Name" <> 'émile' COLLATE NOCASE OR +"Name" IS NULL))"},
      {"Name <> 'é*'", partialAnyCase, ""},
      {"Name > 'a'", anyCase, ""},  // the engine's folded order
      // Partial keys: a start of the text, in binary order up to the first
      // bytes past every start, or for a start in any case a pattern (ASCII
      // letters both ways, pattern characters taken literally).
      {"Name = 'An*'", partial, R"((+"Name" >= 'An' COLLATE BINARY AND (+"Name" < 'Ao' COLLATE BINARY OR +"Name" >= X'')))"},
      {"Name = 'aé*'", partial,
       R"((+"Name" >= 'aé' COLLATE BINARY AND (+"Name" < 'aê' COLLATE BINARY OR +"Name" >= X'')))"},
      {"Name = 'o''b[*'", partialAnyCase, R"((+"Name" GLOB '[Oo]''[Bb][[]*' OR +"Name" >= X''))"},
      {"Name <> 'An*'", partial,
       R"((+"Name" < 'An' COLLATE BINARY OR +"Name" >= 'Ao' COLLATE BINARY OR length(CAST(+"Name" AS BLOB)) >= 81)"
       R"( OR +"Name" IS NULL))"},
      {"Name <> 'aé*'", partial,
       R"((+"Name" < 'aé' COLLATE BINARY OR +"Name" >= 'aê' COLLATE BINARY OR length(CAST(+"Name" AS BLOB)) >= 81)"
       R"( OR +"Name" IS NULL))"},
      {"Name <> 'o''b[*'", partialAnyCase,
       R"(((NOT (+"Name" GLOB '[Oo]''[Bb][[]*') OR length(CAST(+"Name" AS BLOB)) >= 81) OR +"Name" IS NULL))"},
      {"Name > 'An*'", partial, ""},
      // Numbers; a Null reads as 0. A whole number field reads a real
      // number rounded, and wraps one past its width; a number field reads a
      // text or a blob (after every number) as the number it starts with:
      // those pass, and the engine decides.
      {"Age >= 30", whole, R"((+"Age" >= 29.5 OR +"Age" <= -2147483648.5))"},
      {"Age <= 30", whole, R"((+"Age" <= 30.5 OR +"Age" >= 2147483647.5 OR +"Age" IS NULL))"},
      {"Age <> 0", whole, R"((+"Age" <= -0.5 OR +"Age" >= 0.5))"},
      {"Age = 0", whole,
       R"(((+"Age" >= -0.5 AND +"Age" <= 0.5) OR +"Age" <= -2147483648.5 OR +"Age" >= 2147483647.5 OR +"Age" IS NULL))"},
      {"Score = 1.5", whole, R"((+"Score" = 1.5 OR +"Score" < -9007199254740992 OR +"Score" > 9007199254740992))"},
      // The counter is the row number: an equal finds its row directly, and
      // the rows numbered past the field's width, which it reads wrapped.
      {"Id = 7", whole,
       R"("Id" IN (SELECT 7 UNION ALL SELECT "Id" FROM "People" WHERE "Id" > 2147483647.5 UNION ALL )"
       R"(SELECT "Id" FROM "People" WHERE "Id" < -2147483648.5))"},
      {"Id = 0", whole,
       R"(((+"Id" >= -0.5 AND +"Id" <= 0.5) OR +"Id" <= -2147483648.5 OR +"Id" >= 2147483647.5 OR +"Id" IS NULL))"},
      {"Id > 7", whole, R"((+"Id" >= 7.5 OR +"Id" <= -2147483648.5))"},
      {"Score < -1.5", whole, R"((+"Score" < -1.5 OR +"Score" > 9007199254740992))"},
      {"Pay = 1.5", whole, ""},
      {"Age = 1.5", whole, ""},  // mixed types compare as text
      {"Name is null", whole,
       "((+\"Name\" >= '' COLLATE BINARY AND (+\"Name\" < '\x01' COLLATE BINARY OR +\"Name\" >= X'')) OR "
       "length(CAST(+\"Name\" AS BLOB)) >= 81 OR +\"Name\" IS NULL)"},
      {"Age is not null", whole, R"(+"Age" IS NOT NULL)"},
      // Blank is Null or all zero, as the engine reads each kind.
      {"Age is null", whole,
       R"(((+"Age" >= -0.5 AND +"Age" <= 0.5) OR +"Age" <= -2147483648.5 OR +"Age" >= 2147483647.5 OR +"Age" IS NULL))"},
      {"Score is null", whole,
       R"((+"Score" = 0 OR +"Score" < -9007199254740992 OR +"Score" > 9007199254740992 OR +"Score" IS NULL))"},
      {"Pay is null", whole,
       R"(((+"Pay" >= -0.5 AND +"Pay" <= 0.5) OR +"Pay" <= -4.6116860184273879e+18 OR +"Pay" >= 4.6116860184273879e+18)"
       R"( OR +"Pay" IS NULL))"},
      {"Done is null", whole,
       R"(((+"Done" >= -0.5 AND +"Done" <= 0.5) OR +"Done" <= -4.6116860184273879e+18 OR +"Done" >= 4.6116860184273879e+18)"
       R"( OR +"Done" IS NULL))"},
      {"Notes is null", whole, R"((+"Notes" IS NULL OR +"Notes" <= '' COLLATE BINARY OR +"Notes" = X''))"},
      // A date outside the calendar, a text or a blob (after every number).
      {"Born is null", whole, R"((+"Born" < -693592 OR +"Born" = 0 OR +"Born" > 2958465 OR +"Born" IS NULL))"},
      {"Ratio is null", whole, ""},  // a Single turns 0 only as it is read
      {"Ratio is null and Age is null", whole,
       R"(((+"Age" >= -0.5 AND +"Age" <= 0.5) OR +"Age" <= -2147483648.5 OR +"Age" >= 2147483647.5 OR +"Age" IS NULL))"},
      {"Age is null or Nobody = 3", whole, ""},
      {"Name > 'A' and Age = 3", whole,
       "(+\"Name\" >= 'A\x01' COLLATE BINARY AND ((+\"Age\" >= 2.5 AND +\"Age\" <= 3.5) OR +\"Age\" <= -2147483648.5 OR "
       "+\"Age\" >= 2147483647.5))"},
      {"Name > 'A' and Nobody = 3", whole, "+\"Name\" >= 'A\x01' COLLATE BINARY"},
      {"Name = 'A' or Nobody = 3", whole, ""},
      {"Name > 'A' or Age = 3", whole,
       "(+\"Name\" >= 'A\x01' COLLATE BINARY OR ((+\"Age\" >= 2.5 AND +\"Age\" <= 3.5) OR +\"Age\" <= -2147483648.5 OR "
       "+\"Age\" >= 2147483647.5))"},
      {"not (Name = 'A')", whole, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(c.filter, nullptr, c.options);
    EXPECT_EQ(c.sql, FilterPrefilterSql(blob.data(), blob.size(), Column)) << c.filter;
  }
  // A start cut inside a character is a range of bytes all the same, its
  // bounds given as bytes.
  {
    using namespace testing_engine;
    TNode cut = Compare(filterop::Equal, FieldNode("Name"), TextConst("été"));
    cut.Partial = 4;
    std::vector<std::uint8_t> blob = BlobOf(cut);
    EXPECT_EQ(R"((+"Name" >= CAST(X'C3A974C3' AS TEXT) COLLATE BINARY AND (+"Name" < CAST(X'C3A974C4' AS TEXT) )"
              R"(COLLATE BINARY OR +"Name" >= X'')))",
              FilterPrefilterSql(blob.data(), blob.size(), Column));
    cut.Partial = 3;
    blob = BlobOf(cut);
    EXPECT_EQ(R"((+"Name" >= 'ét' COLLATE BINARY AND (+"Name" < 'éu' COLLATE BINARY OR +"Name" >= X'')))",
              FilterPrefilterSql(blob.data(), blob.size(), Column));
  }
  // A blob cut short restricts nothing rather than reading past its end.
  std::vector<std::uint8_t> blob = BuildFilterBlob("Name = 'Anna'", nullptr, {});
  EXPECT_EQ("", FilterPrefilterSql(blob.data(), 12, Column));
  EXPECT_EQ("", FilterPrefilterSql(nullptr, 0, Column));
}

// A date constant is milliseconds from the start of year 1; a stored date
// number D counts days from 30 December 1899 and reads as day 693594 plus
// llround(D * 86400000) milliseconds. 1 May 1990 is day 32994 of the column:
// 2,850,681,600,000 ms, doubled 5,701,363,200,000. SQL compares D with the
// first date number at or past each half millisecond.
// A condition decides, so that the engine need not test the rows it chose,
// only where every row meeting it is one the filter accepts: a whole text
// equal to a constant, and ands and ors of such. A side SQL cannot state, an
// order, a start of text, a number (the engine reads a stored real as 0 in
// an integer column) or a blank test only pre-selects.
TEST(FilterPrefilter, DecidesOnlyWhereEveryRowItLetsThroughIsAccepted) {
  const TFilterOptions whole{foNoPartialCompare}, anyCase{foCaseInsensitive, foNoPartialCompare};
  const TFilterOptions partial{};
  const struct {
    const char* filter;
    TFilterOptions options;
    bool decides;
  } cases[] = {
      {"Name = 'Anna'", whole, true},
      {"Name = 'anna'", anyCase, true},
      {"Name = ''", whole, true},
      {"Name = 'Anna' or Name = 'Bert'", whole, true},
      {"Name = 'Anna' and Name = 'anna'", anyCase, true},
      {"(Name = 'A' or Name = 'B') and Name = 'C'", whole, true},
      {"Name <> 'Anna'", whole, false},  // the engine may cut a long text to the constant
      {"Name > 'A'", whole, false},
      {"Name = 'An*'", partial, false},
      {"Name = NULL", whole, false},  // a text of a NUL and more is not blank, yet empty to SQL
      {"Notes = NULL", whole, true},
      {"Notes <> NULL", whole, false},
      {"Age = NULL", whole, false},
      {"Age = 30", whole, false},
      {"Name = 'Anna' and Age = 30", whole, false},
      {"Name = 'Anna' or Age = 30", whole, false},
      {"Name = 'Anna' and Nobody = 3", whole, false},
      {"Name = 'Anna' and not (Age = 3)", whole, false},
      {"not (Name = 'A')", whole, false},
      {"Name = '" "12345678901234567890123456789012345678901234567890123456789012345678901234567890" "'", whole, false},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob = BuildFilterBlob(c.filter, nullptr, c.options);
    bool decides = !c.decides;
    const std::string sql = FilterPrefilterSql(blob.data(), blob.size(), Column, &decides);
    EXPECT_EQ(c.decides, decides) << c.filter;
    if (decides) {
      EXPECT_NE("", sql) << c.filter;
    }
  }
  bool decides = true;
  EXPECT_EQ("", FilterPrefilterSql(nullptr, 0, Column, &decides));
  EXPECT_FALSE(decides);
}

TEST(FilterPrefilter, DatesCompareAtTheEnginesMillisecond) {
  using namespace testing_engine;
  const double may1 = (693594.0 + 32994.0) * 86400000.0;
  // The first date numbers whose doubled milliseconds reach 2n - 1 and 2n + 1.
  const std::string below = "32993.999999994216", above = "32994.000000005784";
  const struct {
    std::uint32_t op;
    double constant;
    std::string sql;
  } cases[] = {
      // Negative numbers (before 1900), past the calendar, texts and blobs
      // pass to the engine; a Null or a 0 is read as 0 ms.
      {filterop::GreaterOrEqual, may1, R"((+"Born" >= )" + below + R"( OR +"Born" < 0))"},
      {filterop::Greater, may1, R"((+"Born" >= )" + above + R"( OR +"Born" < 0))"},
      {filterop::LessOrEqual, may1, R"((+"Born" < )" + above + R"( OR +"Born" > 2958465 OR +"Born" IS NULL))"},
      {filterop::Less, may1, R"((+"Born" < )" + below + R"( OR +"Born" > 2958465 OR +"Born" IS NULL))"},
      {filterop::Equal, may1,
       R"(((+"Born" >= )" + below + R"( AND +"Born" < )" + above + R"() OR +"Born" < 0 OR +"Born" > 2958465))"},
      {filterop::NotEqual, may1, R"((+"Born" < )" + below + R"( OR +"Born" >= )" + above + R"( OR +"Born" IS NULL))"},
      // A date before 1900 sits below day 0 of the column: no date past it is
      // earlier, and every one is later.
      {filterop::Less, 86400000.0, R"((+"Born" <= 0 OR +"Born" > 2958465 OR +"Born" IS NULL))"},
      {filterop::GreaterOrEqual, 86400000.0, R"((+"Born" > 0 OR +"Born" < 0))"},
      // Before year 1: the constant's sign lets the blank 0 through too.
      {filterop::Greater, -86400000.0, ""},
      {filterop::Less, -86400000.0, R"((+"Born" < 0 OR +"Born" > 2958465))"},
  };
  for (const auto& c : cases) {
    TNode stamp = IntConst(0);
    stamp.Type = fldtype::TimeStamp;
    stamp.Value.resize(sizeof c.constant);
    std::memcpy(stamp.Value.data(), &c.constant, sizeof c.constant);
    std::vector<std::uint8_t> blob = BlobOf(Compare(c.op, FieldNode("Born"), stamp));
    EXPECT_EQ(c.sql, FilterPrefilterSql(blob.data(), blob.size(), Column)) << c.op << " " << c.constant;
  }
  // Each bound is the first double that reaches its half millisecond.
  for (const auto& [bound, twice] : {std::pair{below, 5701363199999.0}, std::pair{above, 5701363200001.0}}) {
    const double d = std::stod(bound);
    EXPECT_GE(d * 172800000.0, twice) << bound;
    EXPECT_LT(std::nextafter(d, 0.0) * 172800000.0, twice) << bound;
  }
  // A constant between two milliseconds, or no number, restricts nothing.
  for (double odd : {may1 + 0.5, std::nan(""), HUGE_VAL}) {
    TNode stamp = IntConst(0);
    stamp.Type = fldtype::TimeStamp;
    stamp.Value.resize(sizeof odd);
    std::memcpy(stamp.Value.data(), &odd, sizeof odd);
    std::vector<std::uint8_t> blob = BlobOf(Compare(filterop::Less, FieldNode("Born"), stamp));
    EXPECT_EQ("", FilterPrefilterSql(blob.data(), blob.size(), Column)) << odd;
  }
}

// Against the arithmetic itself: for constants all over the calendar and
// every operator, SQLite answers the prefilter as it answers the rule it
// stands for (a number past day 0 in the calendar whose doubled milliseconds
// meet the doubled half milliseconds, a Null or a 0 as the blank date, any
// other value passing), for date numbers at and a few steps either side of
// each half millisecond, stored as reals or as integers, and for the values
// no calendar day stands for.
TEST(FilterPrefilter, DateConditionsAnswerAsTheMillisecondArithmetic) {
  using namespace testing_engine;
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(":memory:", &db));
  auto exec = [&](const std::string& sql) {
    char* error = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error)) << sql << ": " << (error ? error : "");
    sqlite3_free(error);
  };
  auto count = [&](const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr)) << sql;
    int n = s != nullptr && sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    return n;
  };
  // As the tables declare a date column, and with no type, where an integer stays one.
  exec("CREATE TABLE Typed (Born REAL); CREATE TABLE Loose (Born)");
  exec("INSERT INTO Loose VALUES (NULL), (0), (-0.0), (-1), (-0.5), (-693592.5), (-3000000), (1e-300), (5e-324),"
       " (2958465), (2958465.0000000005), (2958466), (1e300), (35500), (35500.25), ('soon'), (''), ('35500'),"
       " (X''), (X'00'), (X'41')");
  std::mt19937_64 random(36);
  std::vector<double> constants = {0.0, -86400000.0, 86400000.0, 693594.0 * 86400000.0, 2958465.0 * 86400000.0 + 693594.0 * 86400000.0};
  for (int i = 0; i < 150; ++i) {
    const double day = std::uniform_int_distribution<std::int64_t>(-700000, 2958470)(random);
    const double msecs = std::uniform_int_distribution<std::int64_t>(0, 86399999)(random);
    constants.push_back((693594.0 + day) * 86400000.0 + msecs);
  }
  const std::uint32_t ops[] = {filterop::Equal, filterop::NotEqual, filterop::Less, filterop::LessOrEqual,
                               filterop::Greater, filterop::GreaterOrEqual};
  int decided = 0;
  for (double constant : constants) {
    exec("DELETE FROM Loose WHERE rowid > 21");
    const std::int64_t n = static_cast<std::int64_t>(constant) - 693594LL * 86400000LL;
    for (double half : {(n - 0.5) / 86400000.0, (n + 0.5) / 86400000.0}) {
      double d = half;
      for (int step = 0; step < 4; ++step) d = std::nextafter(d, -HUGE_VAL);
      for (int step = 0; step < 9; ++step, d = std::nextafter(d, HUGE_VAL)) {
        char value[40];
        std::snprintf(value, sizeof value, "%.17g", d);
        exec(std::string("INSERT INTO Loose VALUES (") + value + ")");
      }
      exec("INSERT INTO Loose VALUES (" + std::to_string(static_cast<std::int64_t>(std::floor(half))) + "), (" +
           std::to_string(static_cast<std::int64_t>(std::ceil(half))) + ")");
    }
    exec("DELETE FROM Typed; INSERT INTO Typed SELECT Born FROM Loose");
    std::int64_t bits;
    std::memcpy(&bits, &constant, sizeof bits);
    for (std::uint32_t op : ops) {
      const std::string x2 = R"(+"Born" * 172800000.0)";
      const std::string lo = x2 + " >= " + std::to_string(2 * n - 1), hi = x2 + " < " + std::to_string(2 * n + 1);
      std::string sure;
      switch (op) {
        case filterop::Equal: sure = lo + " AND " + hi; break;
        case filterop::NotEqual: sure = "NOT (" + lo + " AND " + hi + ")"; break;
        case filterop::GreaterOrEqual: sure = lo; break;
        case filterop::Greater: sure = x2 + " >= " + std::to_string(2 * n + 1); break;
        case filterop::LessOrEqual: sure = hi; break;
        default: sure = x2 + " < " + std::to_string(2 * n - 1); break;
      }
      const int zeroVsConstant = bits > 0 ? -1 : (bits < 0 ? 1 : 0);
      const bool blank = op == filterop::Equal          ? zeroVsConstant == 0
                         : op == filterop::NotEqual     ? zeroVsConstant != 0
                         : op == filterop::Less         ? zeroVsConstant < 0
                         : op == filterop::LessOrEqual  ? zeroVsConstant <= 0
                         : op == filterop::Greater      ? zeroVsConstant > 0
                                                        : zeroVsConstant >= 0;
      const std::string rule = R"((CASE WHEN typeof(+"Born") IN ('integer', 'real') AND +"Born" > 0 AND +"Born" <= 2958465 THEN )" + sure +
                               R"( WHEN +"Born" IS NULL OR +"Born" = 0 THEN )" + (blank ? "1" : "0") + " ELSE 1 END)";
      TNode stamp = IntConst(0);
      stamp.Type = fldtype::TimeStamp;
      stamp.Value.resize(sizeof constant);
      std::memcpy(stamp.Value.data(), &constant, sizeof constant);
      std::vector<std::uint8_t> blob = BlobOf(Compare(op, FieldNode("Born"), stamp));
      std::string prefilter = FilterPrefilterSql(blob.data(), blob.size(), Column);
      if (prefilter.empty()) prefilter = "1";
      for (const char* table : {"Typed", "Loose"}) {
        EXPECT_EQ(0, count(std::string("SELECT count(*) FROM ") + table + " WHERE " + rule + " <> ifnull(" +
                           prefilter + ", 0)"))
            << table << " " << op << " " << std::setprecision(17) << constant << ": " << prefilter;
      }
      // The rule parts the values here for most constants: the comparison is put to the test.
      if (count("SELECT count(DISTINCT " + rule + ") FROM Loose") == 2) ++decided;
    }
  }
  EXPECT_GT(decided, 600);
  sqlite3_close(db);
}

class FilteredResults : public ComponentFixture {};

// The database pre-selects ignoring case and Null; the engine's rules decide.
TEST_F(FilteredResults, StayTheEnginesOwn) {
  auto t = MakeTable();
  t->Open();
  const struct {
    const char* filter;
    bool caseInsensitive;
    std::vector<std::string> names;
  } cases[] = {
      {"Name = 'anna'", false, {}},
      {"Name = 'anna'", true, {"Anna"}},
      {"Score = 0", false, {"Bert", "Carl"}},
      {"Score = 1.5 or Age = 25", false, {"Anna", "Bert"}},
      {"Age = 30 and Name = 'Carl'", false, {"Carl"}},
      {"Notes is null", false, {"Anna", "Bert", "Carl"}},
  };
  for (const auto& c : cases) {
    t->SetFiltered(false);
    t->SetFilter(c.filter);
    t->SetFilterOptions(c.caseInsensitive ? TFilterOptions{foCaseInsensitive} : TFilterOptions{});
    t->SetFiltered(true);
    EXPECT_EQ(c.names, ColumnOf(t.get())) << c.filter;
  }
  // Locate compares as the filter does, but a blank number holds no number:
  // the Null scores read as 0 to the filter, yet no record has the score 0.
  t->SetFiltered(false);
  EXPECT_FALSE(t->Locate("Score", Variant(0), {}));
  EXPECT_TRUE(t->Locate("Score", Variant(Null), {}));
  EXPECT_EQ("Bert", t->FieldByName("Name")->AsString());
}

// The database chooses the records of a filter its condition decides, and
// the engine takes them untested: a record the cursor wrote since is tested
// again, also where its transaction keeps the rows it read ahead.
class DecidedFilter : public ComponentFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    for (const char* name : {"a", "b", "a", "c", "a"})
      db.Execute(std::string("INSERT INTO People (Name) VALUES ('") + name + "')");
  }
};

TEST_F(DecidedFilter, ARecordWrittenOutOfTheFilterLeavesIt) {
  std::vector<std::uint8_t> blob = BuildFilterBlob("Name = 'a'", nullptr, {foNoPartialCompare});
  bool decides = false;
  ASSERT_NE("", FilterPrefilterSql(blob.data(), blob.size(), Column, &decides));
  ASSERT_TRUE(decides);
  TBaseDatabase* db = OpenDb();
  TBaseTable* cursor = OpenTable(db, "People");
  ASSERT_NE(nullptr, cursor);
  std::vector<std::uint8_t> record(cursor->GetRecordBufferSize());
  TFilterListItem* filter = nullptr;
  ASSERT_EQ(0, Engine().AddFilter(cursor, 0, 2, false, blob.data(), nullptr, filter));
  ASSERT_EQ(0, Engine().ActivateFilter(cursor, filter));
  auto id = [&] { return Get<std::int32_t>(cursor, record.data(), 1); };
  void* transaction = nullptr;
  ASSERT_EQ(0, Engine().BeginTransaction(db, 0, transaction));
  ASSERT_EQ(0, Engine().SetToStart(cursor));
  ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, record.data(), nullptr));
  ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, record.data(), nullptr));
  ASSERT_EQ(3, id());
  ASSERT_EQ(0, Engine().GetCurrentRecord(cursor, 1, record.data(), nullptr));
  char other[] = "z";
  ASSERT_EQ(0, Engine().PutField(cursor, 2, record.data(), other));
  ASSERT_EQ(0, Engine().ModifyRecord(cursor, record.data(), 1));
  ASSERT_EQ(0, Engine().GetNextRecord(cursor, 0, record.data(), nullptr));
  EXPECT_EQ(5, id());
  ASSERT_EQ(0, Engine().GetPriorRecord(cursor, 0, record.data(), nullptr));
  EXPECT_EQ(1, id()) << "the record written out of the filter is passed over";
  EXPECT_EQ("a", GetText(cursor, record.data(), 2));
  ASSERT_EQ(0, Engine().EndTransaction(db, transaction, 0));
  Engine().CloseCursor(cursor);
}

}  // namespace
