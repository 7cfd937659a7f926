// Parameters: values and their native forms, lists, and the SQL marker scan.

#include <gtest/gtest.h>

#include <cstring>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/db/filterblob.h"
#include "platform/classlib/db/params.h"

namespace {

TEST(ParamsScan, MarkersBecomeQuestionMarksOutsideQuotes) {
  TParams params;
  std::string sql = params.ParseSQL("select * from T where A = :A and B = ':X' and C = \":Y\"", true);
  EXPECT_EQ(sql, "select * from T where A = ? and B = ':X' and C = \":Y\"");
  ASSERT_EQ(params.Count(), 1);
  EXPECT_EQ(params[0]->Name(), "A");
  EXPECT_EQ(params[0]->DataType(), ftUnknown);
}

TEST(ParamsScan, DoubleColonsAndDelimiters) {
  TParams params;
  EXPECT_EQ(params.ParseSQL("select '10::30', a::b from t", true), "select '10::30', a:b from t");
  EXPECT_EQ(params.Count(), 0);
  EXPECT_EQ(params.ParseSQL("where (x = :P1) or y in (:P2,:P3);", true), "where (x = ?) or y in (?,?);");
  ASSERT_EQ(params.Count(), 3);
  EXPECT_EQ(params[0]->Name(), "P1");
  EXPECT_EQ(params[2]->Name(), "P3");
  TParams quoted;
  EXPECT_EQ(quoted.ParseSQL("x = :\"Report Number\" and y = :Z", true), "x = ? and y = ?");
  EXPECT_EQ(quoted[0]->Name(), "Report Number");
  EXPECT_EQ(quoted[1]->Name(), "Z");
}

TEST(ParamsScan, RepeatedMarkersMakeTwoParameters) {
  TParams params;
  params.ParseSQL("a = :N or b = :N", true);
  ASSERT_EQ(params.Count(), 2);
  params[0]->SetAsInteger(5);
  EXPECT_EQ(params.ParamByName("n"), params[0]) << "the first of that name, any case";
  TParams none;
  EXPECT_EQ(none.ParseSQL("a = :N", false), "a = ?");
  EXPECT_EQ(none.Count(), 0);
}

TEST(ParamValues, TypedSettersSetTypeBoundAndValue) {
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "P", ptInput);
  EXPECT_TRUE(p->IsNull());
  EXPECT_FALSE(p->Bound());
  p->SetAsInteger(42);
  EXPECT_EQ(p->DataType(), ftInteger);
  EXPECT_TRUE(p->Bound());
  EXPECT_EQ(p->AsString(), "42");
  p->SetAsString("abc");
  EXPECT_EQ(p->DataType(), ftString);
  p->Clear();
  EXPECT_TRUE(p->IsNull());
  EXPECT_TRUE(VarIsNull(p->Value()));
  p->SetValue(Variant(1.5));
  EXPECT_EQ(p->DataType(), ftString) << "a typed parameter keeps its type";
  EXPECT_EQ(p->AsString(), "1.5");
  TParam* q = params.CreateParam(ftUnknown, "Q", ptInput);
  q->SetValue(Variant(true));
  EXPECT_EQ(q->DataType(), ftBoolean);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { params.ParamByName("Missing"); }),
            "Parameter 'Missing' not found");
}

TEST(ParamValues, AValueThatDoesNotConvertLeavesTheParameterAsItWas) {
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "P", ptInput);
  EXPECT_THROW(p->SetValue(Variant(std::int64_t(1) << 40)), Exception);
  EXPECT_EQ(p->DataType(), ftUnknown);
  EXPECT_FALSE(p->Bound());
  p->SetValue(Variant(std::string("text")));
  EXPECT_EQ(p->DataType(), ftString) << "the failed value fixed no type";
  EXPECT_EQ(p->AsString(), "text");

  TParam* q = params.CreateParam(ftUnknown, "Q", ptInput);
  q->SetAsInteger(5);
  q->SetBound(false);
  EXPECT_THROW(q->SetValue(Variant(std::string("abc"))), Exception);
  EXPECT_EQ(q->AsInteger(), 5);
  EXPECT_FALSE(q->Bound());
}

TEST(ParamValues, NativeFormsRoundTrip) {
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "P", ptInput);
  auto roundTrip = [&](int expectedSize) {
    int size = p->GetDataSize();
    EXPECT_EQ(size, expectedSize) << FieldTypeName(p->DataType());
    std::vector<char> buffer(std::size_t(size) + 1, '\x7f');
    p->GetData(buffer.data());
    TParam* back = params.CreateParam(p->DataType(), "B", ptInput);
    back->SetData(buffer.data(), size);
    return back;
  };
  p->SetAsString("hello");
  EXPECT_EQ(roundTrip(6)->AsString(), "hello");
  p->SetAsSmallInt(-7);
  EXPECT_EQ(roundTrip(2)->AsInteger(), -7);
  p->SetAsWord(65000);
  EXPECT_EQ(roundTrip(2)->AsInteger(), 65000);
  p->SetAsBoolean(true);
  EXPECT_TRUE(roundTrip(2)->AsBoolean());
  p->SetAsInteger(-100000);
  EXPECT_EQ(roundTrip(4)->AsInteger(), -100000);
  p->SetAsFloat(2.25);
  EXPECT_DOUBLE_EQ(roundTrip(8)->AsFloat(), 2.25);
  p->SetAsDate(EncodeDate(2001, 2, 3));
  std::int32_t day;
  p->GetData(&day);
  EXPECT_EQ(day, 730519);
  EXPECT_DOUBLE_EQ(roundTrip(4)->AsDateTime(), EncodeDate(2001, 2, 3));
  p->SetAsTime(0.5);
  EXPECT_DOUBLE_EQ(roundTrip(4)->AsDateTime(), 0.5);
  p->SetAsDateTime(EncodeDate(2001, 2, 3) + 0.25);
  EXPECT_DOUBLE_EQ(roundTrip(8)->AsDateTime(), EncodeDate(2001, 2, 3) + 0.25);
  p->SetAsBCD(::Currency(12.5));
  EXPECT_EQ(roundTrip(34)->AsCurrency().Raw(), 125000);
  p->SetAsBlob(std::string("a\0b", 3));
  EXPECT_EQ(roundTrip(3)->AsString(), std::string("a\0b", 3));
}

TEST(ParamValues, FromFieldsAndBack) {
  TMemDataSet ds;
  ds.FieldDefs().Add("Short", ftMemo, 10);
  ds.FieldDefs().Add("Long", ftMemo, 256);
  ds.FieldDefs().Add("Count", ftInteger);
  ds.Open();
  ds.Append();
  ds.FieldByName("Count")->SetAsInteger(3);
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "", ptInput);
  p->Assign(ds.FieldByName("Count"));
  EXPECT_EQ(p->Name(), "Count");
  EXPECT_EQ(p->DataType(), ftInteger);
  EXPECT_EQ(p->AsInteger(), 3);
  TParam* m = params.CreateParam(ftUnknown, "", ptInput);
  m->AssignField(ds.FieldByName("Short"));
  EXPECT_EQ(m->DataType(), ftMemo);
  EXPECT_TRUE(m->IsNull());
  m->AssignField(ds.FieldByName("Long"));
  EXPECT_EQ(m->DataType(), ftString) << "a memo of size 256 or more travels as a string";
  p->SetAsInteger(9);
  ds.FieldByName("Count")->Assign(p);
  EXPECT_EQ(ds.FieldByName("Count")->AsInteger(), 9);
}

TEST(ParamLists, AssignValuesAndEquality) {
  TParams a, b;
  a.CreateParam(ftInteger, "X", ptInput)->SetAsInteger(1);
  a.CreateParam(ftString, "Y", ptInput)->SetAsString("y");
  b.CreateParam(ftUnknown, "y", ptUnknown);
  b.CreateParam(ftUnknown, "Z", ptInput);
  b.AssignValues(&a);
  EXPECT_EQ(b[0]->AsString(), "y");
  EXPECT_EQ(b[0]->ParamType(), ptInput);
  EXPECT_TRUE(b[1]->IsNull());
  TParams c;
  c.Assign(&a);
  EXPECT_TRUE(c.IsEqual(&a));
  c[1]->SetAsString("other");
  EXPECT_FALSE(c.IsEqual(&a));
  EXPECT_EQ(VarToStr(a.ParamValues("Y")), "y");
  a.SetParamValues("X;Y", VarArrayOf({Variant(7), Variant("seven")}));
  EXPECT_EQ(a[0]->AsInteger(), 7);
  EXPECT_EQ(a[1]->AsString(), "seven");
}

}  // namespace

// The one mapping from field types to the engine's logical types, which
// parameter descriptors and filter constants both use.
TEST(FieldTypes, EachHasOneEngineType) {
  const std::uint16_t expected[kFieldTypeCount] = {
      0,                  fldtype::ZString, fldtype::Int16,  fldtype::Int32,   fldtype::UInt16,
      fldtype::Bool,      fldtype::Float,   fldtype::Float,  fldtype::BCD,     fldtype::Date,
      fldtype::Time,      fldtype::TimeStamp, fldtype::Bytes, fldtype::VarBytes, fldtype::Int32,
      fldtype::Blob,      fldtype::Blob,    fldtype::Blob,   fldtype::Blob,    fldtype::Blob,
      fldtype::Blob,      fldtype::Blob,    fldtype::Cursor};
  for (int t = 0; t < kFieldTypeCount; ++t)
    EXPECT_EQ(expected[t], LogicalFieldType(TFieldType(t))) << FieldTypeName(TFieldType(t));
}
