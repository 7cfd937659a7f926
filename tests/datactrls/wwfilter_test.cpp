// The filter-expression compiler: expressions to blobs.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "datactrls/wwfilter.h"
#include "dbengine/enginetypes.h"
#include "platform/classlib/core/currency.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/strutils.h"

namespace {

// Reads a compiled blob back through the engine's layouts.
class Blob {
 public:
  explicit Blob(std::vector<std::uint8_t> bytes) : b_(std::move(bytes)) {}
  bool Empty() const { return b_.empty(); }
  TFilterBlobHeader Header() const { return Read<TFilterBlobHeader>(0); }
  TFilterNodeHeader Node(std::uint16_t at) const {
    return Read<TFilterNodeHeader>(Header().NodeStart + at);
  }
  TFilterBinaryNode Binary(std::uint16_t at) const {
    return Read<TFilterBinaryNode>(Header().NodeStart + at);
  }
  TFilterFieldNode Field(std::uint16_t at) const {
    return Read<TFilterFieldNode>(Header().NodeStart + at);
  }
  TFilterConstantNode Constant(std::uint16_t at) const {
    return Read<TFilterConstantNode>(Header().NodeStart + at);
  }
  std::string Literal(std::uint16_t offset) const {
    return reinterpret_cast<const char*>(b_.data() + Header().LiteralStart + offset);
  }
  std::string FieldName(std::uint16_t at) const { return Literal(Field(at).NameOffset); }
  template <class T>
  T ConstantValue(std::uint16_t at) const {
    TFilterConstantNode c = Constant(at);
    EXPECT_EQ(c.Size, sizeof(T));
    return Read<T>(Header().LiteralStart + c.ValueOffset);
  }
  std::size_t Size() const { return b_.size(); }

 private:
  template <class T>
  T Read(std::size_t at) const {
    T value{};
    if (at + sizeof(T) <= b_.size()) std::memcpy(&value, b_.data() + at, sizeof(T));
    else ADD_FAILURE() << "read beyond the blob at " << at;
    return value;
  }
  std::vector<std::uint8_t> b_;
};

class FilterCompiler : public EnglishSettingsTest {
 protected:
  void SetUp() override {
    EnglishSettingsTest::SetUp();
    fields_ = {{"PRIORITY", {fckInteger, 0}}, {"A", {fckInteger, 0}},
               {"B", {fckInteger, 0}},        {"C", {fckInteger, 0}},
               {"NAME", {fckString, 0}},      {"OWNER", {fckString, 0}},
               {"REPORTER", {fckString, 0}},  {"NOTES", {fckField, 0}},
               {"DONE", {fckBoolean, 0}},     {"COST", {fckFloat, 0}},
               {"DUE DATE", {fckDate, 0}},    {"AT", {fckTime, 0}},
               {"STAMP", {fckDateTime, 0}},   {"AMOUNT", {fckBCD, 2}},
               {"SMALL", {fckSmallInt, 0}},   {"\u00c4NDERUNG", {fckInteger, 0}}};
  }

  Blob Compile(const std::string& expression) {
    return Blob(wwCompileFilterExpression(
        expression,
        [this](const std::string& name, TwwFilterField& field) {
          std::string upper;
          for (char c : name) upper += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
          if (upper == "\u00e4NDERUNG") upper = "\u00c4NDERUNG";
          auto it = fields_.find(upper);
          if (it == fields_.end()) return false;
          field = it->second;
          return true;
        },
        [this](const std::string& text) { warnings_.push_back(text); }));
  }

  std::map<std::string, TwwFilterField> fields_;
  std::vector<std::string> warnings_;
};

TEST_F(FilterCompiler, OneComparisonOverAnIntegerField) {
  Blob b = Compile("Priority = 1");
  ASSERT_FALSE(b.Empty());
  TFilterBlobHeader h = b.Header();
  EXPECT_EQ(h.Version, 1);
  EXPECT_EQ(h.NodeCount, 3);
  EXPECT_EQ(h.NodeStart, 10);
  EXPECT_EQ(h.LiteralStart, 10 + 3 * 14);
  EXPECT_EQ(h.TotalSize, 10 + 3 * 14 + 9 + 4);
  EXPECT_EQ(b.Size(), h.TotalSize);

  TFilterBinaryNode root = b.Binary(0);
  EXPECT_EQ(root.Header.NodeClass, filternode::Binary);
  EXPECT_EQ(root.Header.Operator, filterop::Equal);
  EXPECT_EQ(b.Node(root.Left).NodeClass, filternode::Field);
  EXPECT_EQ(b.Node(root.Left).Operator, 13u);
  EXPECT_EQ(b.FieldName(root.Left), "Priority");
  EXPECT_EQ(b.Field(root.Left).FieldNumber, 1);
  EXPECT_EQ(b.Node(root.Right).NodeClass, filternode::Constant);
  EXPECT_EQ(b.Node(root.Right).Operator, 14u);
  EXPECT_EQ(b.Constant(root.Right).FieldType, fldtype::Int32);
  EXPECT_EQ(b.ConstantValue<std::int32_t>(root.Right), 1);
  // Post-order from the last slot backwards: operands after their parent.
  EXPECT_EQ(root.Left, 2 * 14);
  EXPECT_EQ(root.Right, 14);
}

TEST_F(FilterCompiler, ComparisonOperatorsAndConnectives) {
  const std::pair<const char*, std::uint32_t> ops[] = {
      {"=", filterop::Equal},   {"<>", filterop::NotEqual},        {">", filterop::Greater},
      {"<", filterop::Less},    {">=", filterop::GreaterOrEqual}, {"<=", filterop::LessOrEqual}};
  for (auto [op, code] : ops) {
    Blob b = Compile(std::string("A ") + op + " 2");
    ASSERT_FALSE(b.Empty()) << op;
    EXPECT_EQ(b.Binary(0).Header.Operator, code) << op;
  }
  // Equal precedence, grouped from the left; connectives in any case.
  Blob b = Compile("A = 1 OR B = 2 and C = 3");
  ASSERT_FALSE(b.Empty());
  TFilterBinaryNode root = b.Binary(0);
  EXPECT_EQ(root.Header.Operator, filterop::And);
  TFilterBinaryNode left = b.Binary(root.Left);
  EXPECT_EQ(left.Header.Operator, filterop::Or);
  EXPECT_EQ(b.FieldName(b.Binary(root.Right).Left), "C");
  EXPECT_EQ(b.FieldName(b.Binary(left.Left).Left), "A");
  EXPECT_EQ(b.FieldName(b.Binary(left.Right).Left), "B");
  // Field nodes are numbered in the order they are written.
  EXPECT_EQ(b.Field(b.Binary(left.Left).Left).FieldNumber, 1);
  EXPECT_EQ(b.Field(b.Binary(root.Right).Left).FieldNumber, 3);
}

TEST_F(FilterCompiler, ParenthesesGroup) {
  Blob b = Compile("A = 1 AND (B = 2 OR C = 3)");
  ASSERT_FALSE(b.Empty());
  TFilterBinaryNode root = b.Binary(0);
  EXPECT_EQ(root.Header.Operator, filterop::And);
  EXPECT_EQ(b.Binary(root.Right).Header.Operator, filterop::Or);
  EXPECT_EQ(b.Header().NodeCount, 11);
}

TEST_F(FilterCompiler, TextOperands) {
  Blob quoted = Compile("Name = \"Smith Jr\"");
  ASSERT_FALSE(quoted.Empty());
  EXPECT_EQ(quoted.Literal(quoted.Constant(quoted.Binary(0).Right).ValueOffset), "Smith Jr");
  EXPECT_EQ(quoted.Constant(quoted.Binary(0).Right).Size, 9);
  EXPECT_EQ(quoted.Constant(quoted.Binary(0).Right).FieldType, fldtype::ZString);

  Blob plain = Compile("Name = Smith");
  EXPECT_EQ(plain.Literal(plain.Constant(plain.Binary(0).Right).ValueOffset), "Smith");

  // An unquoted operand runs on over blanks: the connective is part of it.
  Blob runOn = Compile("Name = Smith AND X = 1");
  ASSERT_FALSE(runOn.Empty());
  EXPECT_EQ(runOn.Header().NodeCount, 3);
  EXPECT_EQ(runOn.Literal(runOn.Constant(runOn.Binary(0).Right).ValueOffset), "Smith AND X");

  // A long quoted text is kept whole, not cut to a token buffer.
  std::string longText(100, 'x');
  Blob longOne = Compile("Name = \"" + longText + "\"");
  ASSERT_FALSE(longOne.Empty());
  EXPECT_EQ(longOne.Literal(longOne.Constant(longOne.Binary(0).Right).ValueOffset), longText);
  // Texts beyond 255 characters are cut to 255 characters (not bytes).
  std::string tooLong;
  for (int i = 0; i < 300; ++i) tooLong += "\u00e9";
  Blob cut = Compile("Name = \"" + tooLong + "\"");
  EXPECT_EQ(cut.Constant(cut.Binary(0).Right).Size, 255 * 2 + 1);
}

// Names, numbers and unquoted texts stand for their first 64 characters
// (not bytes); the rest of such a word is read past, not taken as more text.
TEST_F(FilterCompiler, LongWordsAreCutTo64Characters) {
  const std::string name64 = "N" + std::string(63, 'X');
  fields_[name64] = {fckInteger, 0};
  std::string accented;
  for (int i = 0; i < 70; ++i) accented += "\u00e9";
  const struct {
    std::string expression;
    std::string field;     // the left side as written into the blob
    std::string constant;  // the right side as a text constant ("" for a number)
  } cases[] = {
      {name64 + " = 1", name64, ""},
      {name64 + "YYYYYY = 1", name64, ""},
      {"Name = " + std::string(70, 'a') + " AND B = 1", "NAME", std::string(64, 'a')},
      {"Name = " + accented, "NAME", Utf8Copy(accented, 1, 64)},
      {"Name = " + std::string(64, 'b'), "NAME", std::string(64, 'b')},
  };
  for (const auto& c : cases) {
    Blob b = Compile(c.expression);
    ASSERT_FALSE(b.Empty()) << c.expression;
    ASSERT_EQ(3, b.Header().NodeCount) << c.expression;
    EXPECT_TRUE(AnsiSameText(c.field, b.FieldName(b.Binary(0).Left))) << b.FieldName(b.Binary(0).Left);
    if (!c.constant.empty()) {
      EXPECT_EQ(c.constant, b.Literal(b.Constant(b.Binary(0).Right).ValueOffset)) << c.expression;
    }
  }
  // A longer name that is no field is warned of by its first 64 characters.
  warnings_.clear();
  EXPECT_TRUE(Compile(std::string(70, 'Q') + " = 1").Empty());
  ASSERT_EQ(1u, warnings_.size());
  EXPECT_EQ(std::string(kFilterFieldNotFound) + "\r" + std::string(64, 'Q'), warnings_[0]);
}

TEST_F(FilterCompiler, RightSideTakesTheLeftFieldsType) {
  Blob b = Compile("Owner = Reporter");
  ASSERT_FALSE(b.Empty());
  EXPECT_EQ(b.Node(b.Binary(0).Right).NodeClass, filternode::Constant);
  EXPECT_EQ(b.Literal(b.Constant(b.Binary(0).Right).ValueOffset), "Reporter");

  // A memo maps to no constant kind: its right side stays a field.
  Blob memo = Compile("Notes = Reporter");
  ASSERT_FALSE(memo.Empty());
  EXPECT_EQ(memo.Node(memo.Binary(0).Right).NodeClass, filternode::Field);
  EXPECT_EQ(memo.FieldName(memo.Binary(0).Right), "Reporter");
  EXPECT_EQ(memo.Field(memo.Binary(0).Right).FieldNumber, 2);
}

TEST_F(FilterCompiler, UnknownFieldWarnsAndFails) {
  EXPECT_TRUE(Compile("1 = Priority").Empty());
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0], "Field not found in Table. \r1");
  warnings_.clear();
  EXPECT_TRUE(Compile("A = 1 AND Missing = 2").Empty());
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0], "Field not found in Table. \rMissing");
}

TEST_F(FilterCompiler, SyntaxErrorsFailSilently) {
  EXPECT_TRUE(Compile("(A = 1").Empty());
  EXPECT_TRUE(Compile("A =").Empty());
  EXPECT_TRUE(Compile("").Empty());
  EXPECT_TRUE(Compile("A = 1 AND").Empty());
  EXPECT_TRUE(Compile("A = ()").Empty());
  EXPECT_TRUE(warnings_.empty());
  // Text after a complete expression is ignored.
  Blob b = Compile("A = 1)");
  ASSERT_FALSE(b.Empty());
  EXPECT_EQ(b.Header().NodeCount, 3);
}

TEST_F(FilterCompiler, TypedConstants) {
  Blob t = Compile("Done = true");
  EXPECT_EQ(t.ConstantValue<std::uint16_t>(t.Binary(0).Right), 0xFFFF);
  EXPECT_EQ(t.Constant(t.Binary(0).Right).FieldType, fldtype::Bool);
  Blob f = Compile("Done = F");
  EXPECT_EQ(f.ConstantValue<std::uint16_t>(f.Binary(0).Right), 0);

  Blob cost = Compile("Cost > 12.5");
  EXPECT_EQ(cost.Constant(cost.Binary(0).Right).FieldType, fldtype::Float);
  EXPECT_DOUBLE_EQ(cost.ConstantValue<double>(cost.Binary(0).Right), 12.5);

  Blob date = Compile("Due Date >= \"1/2/2000\"");
  ASSERT_FALSE(date.Empty());
  EXPECT_EQ(date.FieldName(date.Binary(0).Left), "Due Date");
  EXPECT_EQ(date.Constant(date.Binary(0).Right).FieldType, fldtype::Date);
  EXPECT_EQ(date.ConstantValue<std::int32_t>(date.Binary(0).Right),
            DateTimeToTimeStamp(EncodeDate(2000, 1, 2)).Date);

  Blob time = Compile("At < \"10:30\"");
  EXPECT_EQ(time.Constant(time.Binary(0).Right).FieldType, fldtype::Time);
  EXPECT_EQ(time.ConstantValue<std::int32_t>(time.Binary(0).Right), (10 * 60 + 30) * 60000);

  Blob stamp = Compile("Stamp = \"1/2/2000 10:30\"");
  EXPECT_EQ(stamp.Constant(stamp.Binary(0).Right).FieldType, fldtype::TimeStamp);
  EXPECT_DOUBLE_EQ(stamp.ConstantValue<double>(stamp.Binary(0).Right),
                   TimeStampToMSecs(DateTimeToTimeStamp(EncodeDate(2000, 1, 2) +
                                                        EncodeTime(10, 30, 0, 0))));
  Blob dayOnly = Compile("Stamp = \"1/2/2000\"");
  EXPECT_DOUBLE_EQ(dayOnly.ConstantValue<double>(dayOnly.Binary(0).Right),
                   TimeStampToMSecs(DateTimeToTimeStamp(EncodeDate(2000, 1, 2))));

  Blob small = Compile("Small = 70000");
  EXPECT_EQ(small.Constant(small.Binary(0).Right).FieldType, fldtype::Int16);
  EXPECT_EQ(small.ConstantValue<std::uint16_t>(small.Binary(0).Right), 70000 & 0xFFFF);

  Blob amount = Compile("Amount = 12.345");
  EXPECT_EQ(amount.Constant(amount.Binary(0).Right).FieldType, fldtype::BCD);
  TBcd bcd = amount.ConstantValue<TBcd>(amount.Binary(0).Right);
  EXPECT_EQ(bcd.Precision, 32);
  EXPECT_NEAR(BCDToDouble(bcd), 12.35, 1e-9);  // rounded to the field's two places

  Blob negative = Compile("A > -5");
  EXPECT_EQ(negative.ConstantValue<std::int32_t>(negative.Binary(0).Right), -5);
}

TEST_F(FilterCompiler, ConstantsThatDoNotConvertRaise) {
  EXPECT_THROW(Compile("Priority = abc"), EConvertError);
  EXPECT_THROW(Compile("Due Date = \"2/30/2000\""), EConvertError);
  EXPECT_THROW(Compile("Cost = \"1.5\""), EConvertError);  // numbers are taken as written
  // The number ends where its digits do; what follows is ignored.
  EXPECT_NO_THROW(Compile("Cost = 1x"));
}

TEST_F(FilterCompiler, ArithmeticStandsAloneBetweenParentheses) {
  Blob b = Compile("(A)/(B)/(4) = 1");
  ASSERT_FALSE(b.Empty());
  TFilterBinaryNode root = b.Binary(0);
  EXPECT_EQ(root.Header.Operator, filterop::Equal);
  TFilterBinaryNode quotient = b.Binary(root.Left);
  EXPECT_EQ(quotient.Header.Operator, 19u);
  EXPECT_EQ(b.FieldName(quotient.Left), "A");
  // The first divided by the quotient of the other two.
  TFilterBinaryNode inner = b.Binary(quotient.Right);
  EXPECT_EQ(inner.Header.Operator, 19u);
  EXPECT_EQ(b.FieldName(inner.Left), "B");
  EXPECT_EQ(b.ConstantValue<std::int32_t>(inner.Right), 4);
  // The right side of a field is a constant of its type, even when it names a field.
  EXPECT_THROW(Compile("(A)/(B) = 1"), EConvertError);
  Blob sum = Compile("(A)+(2) > 2");
  EXPECT_EQ(sum.Binary(sum.Binary(0).Left).Header.Operator, 16u);
}

TEST_F(FilterCompiler, NamesBeyondAscii) {
  Blob b = Compile("\u00c4nderung = 4");
  ASSERT_FALSE(b.Empty());
  EXPECT_EQ(b.FieldName(b.Binary(0).Left), "\u00c4nderung");
}

TEST_F(FilterCompiler, BlobIsSizedToTheExpression) {
  // Far more literal bytes than a fixed block of 1000 would hold.
  std::string expression;
  std::size_t literalBytes = 0;
  for (int i = 0; i < 40; ++i) {
    std::string value(60, char('a' + i % 26));
    if (i) expression += " OR ";
    expression += "(Name = \"" + value + "\")";
    literalBytes += 5 + value.size() + 1;
  }
  Blob b = Compile(expression);
  ASSERT_FALSE(b.Empty());
  EXPECT_EQ(b.Header().NodeCount, 40 * 3 + 39);
  EXPECT_EQ(b.Header().TotalSize, 10 + 14 * (40 * 3 + 39) + literalBytes);
  EXPECT_EQ(b.Size(), b.Header().TotalSize);
  EXPECT_GT(literalBytes, 1000u);
  // The last comparison's text is intact at the end of the literal area.
  EXPECT_EQ(b.Literal(static_cast<std::uint16_t>(b.Header().TotalSize - b.Header().LiteralStart - 61)),
            std::string(60, char('a' + 39 % 26)));

  // What the 16-bit sizes cannot address is refused, not cut short.
  std::string huge;
  for (int i = 0; i < 240; ++i) {
    if (i) huge += " OR ";
    huge += "(Name = \"" + std::string(255, 'z') + "\")";
  }
  EXPECT_TRUE(Compile(huge).Empty());
}

TEST_F(FilterCompiler, NestingStopsWhereTheEngineStops) {
  auto chain = [](int comparisons) {
    std::string e = "A = 0";
    for (int i = 1; i < comparisons; ++i) e += " OR A = " + std::to_string(i);
    return e;
  };
  EXPECT_FALSE(Compile(chain(200)).Empty());
  EXPECT_TRUE(Compile(chain(300)).Empty());  // deeper than the engine evaluates
  auto nested = [](int depth) {
    return std::string(static_cast<std::size_t>(depth), '(') + "A = 1" +
           std::string(static_cast<std::size_t>(depth), ')');
  };
  EXPECT_FALSE(Compile(nested(100)).Empty());
  EXPECT_TRUE(Compile(nested(100000)).Empty());  // refused, not a stack overflow
  EXPECT_TRUE(warnings_.empty());
}

}  // namespace
