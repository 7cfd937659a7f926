#include "dbengine/fieldcache.h"

#include <gtest/gtest.h>

#include "testcursor.h"

using namespace testing_engine;

namespace {

TEST(FieldCache, NumberZeroAndUnknownFieldsAreInvalidRecordStructure) {
  TTestCursor cursor;
  EXPECT_EQ(EngineCode([&] { cursor.FieldCache()->FieldByNumber(0); }), dberr::InvalidRecStruct);
  EXPECT_EQ(EngineCode([&] { cursor.FieldCache()->FieldByNumber(4); }), dberr::InvalidRecStruct);
  TMorvaFieldCache ownerless;
  EXPECT_EQ(EngineCode([&] { ownerless.FieldByNumber(1); }), dberr::InvalidRecStruct);
}

TEST(FieldCache, LoadsAMissingFieldOnceAndAnswersFromTheCacheAfterwards) {
  TTestCursor cursor(nullptr, nullptr, "Orders", /*eager=*/false);
  cursor.FieldCache()->AddField(TTestCursor::Describe(1));
  TFieldCacheItem* item = cursor.FieldCache()->FieldByNumber(2);
  EXPECT_EQ(cursor.LoadFieldListCalls, 1);
  EXPECT_EQ(dbengine_detail::SlotText(item->Desc.Name), "NAME");
  EXPECT_EQ(cursor.FieldCache()->FieldByNumber(2), item);
  EXPECT_EQ(cursor.LoadFieldListCalls, 1);
}

TEST(FieldCache, LazyLoadingKeepsFieldNumbersInPlace) {
  // Asking for field 3 first must not file it as field 1.
  TTestCursor cursor(nullptr, nullptr, "Orders", /*eager=*/false);
  TFieldCacheItem* score = cursor.FieldCache()->FieldByNumber(3);
  EXPECT_EQ(dbengine_detail::SlotText(score->Desc.Name), "SCORE");
  EXPECT_EQ(cursor.FieldCache()->Count(), 3);
  EXPECT_EQ(dbengine_detail::SlotText(cursor.FieldCache()->FieldByNumber(1)->Desc.Name), "ID");
  EXPECT_EQ(cursor.FieldCache()->NumberOfName("score"), 3);
  EXPECT_EQ(cursor.FieldCache()->NumberOfName("missing"), 0);
}

TEST(FieldCache, StatusAreaBlankAndChangedFlags) {
  TTestCursor cursor;
  cursor.StatusArea = true;
  for (int n = 1; n <= 3; ++n)
    cursor.FieldCache()->FieldByNumber(n)->Desc.StatusOffset =
        static_cast<std::uint16_t>(kRecordSize + 8 * (n - 1));
  ASSERT_EQ(cursor.GetRecordBufferSize(), kRecordSize + 8 * 3 + 1);
  std::vector<std::uint8_t> buffer(cursor.GetRecordBufferSize(), 0xAB);
  cursor.InitRecord(buffer.data());
  EXPECT_EQ(cursor.GetInitBuffer(), buffer.data());
  bool blank = false;
  for (std::uint16_t n = 1; n <= 3; ++n) {
    cursor.GetFieldIsBlank(n, buffer.data(), blank);
    EXPECT_TRUE(blank) << n;
  }
  std::int32_t score = 77;
  cursor.PutField(3, buffer.data(), &score);
  cursor.GetFieldIsBlank(3, buffer.data(), blank);
  EXPECT_FALSE(blank);
  TFieldCacheItem* item = cursor.FieldCache()->FieldByNumber(3);
  EXPECT_TRUE(item->IsChanged());

  cursor.PutField(2, buffer.data(), nullptr);
  item = cursor.FieldCache()->FieldByNumber(2);
  EXPECT_TRUE(item->IsBlank());
  EXPECT_TRUE(item->IsChanged());
}

TEST(FieldCache, WithoutStatusAFieldIsNeverBlankAndAlwaysChanged) {
  TFieldCacheItem item;
  item.Desc = TTestCursor::Describe(1);
  std::uint8_t buffer[kRecordSize] = {};
  item.SetRecordBuffer(buffer);
  item.SetBlank(true);
  item.SetChanged(false);
  EXPECT_FALSE(item.IsBlank());
  EXPECT_TRUE(item.IsChanged());
  EXPECT_EQ(item.Status(), nullptr);
}

TEST(FieldAccess, LongFieldWithoutDestinationOnlyReportsBlank) {
  TTestCursor cursor(nullptr, nullptr, "Long", false);
  cursor.FieldCache()->AddField(MakeField(1, "MEMO", fldtype::Bytes, 0, 300));
  std::vector<std::uint8_t> buffer(300, 'x');
  bool blank = true;
  cursor.GetField(1, buffer.data(), nullptr, blank);
  EXPECT_FALSE(blank);
  EXPECT_EQ(buffer[299], 'x');
  EXPECT_EQ(EngineCode([&] { cursor.GetField(1, nullptr, nullptr, blank); }), dberr::InvalidParam);
  EXPECT_EQ(EngineCode([&] { cursor.PutField(1, nullptr, nullptr); }), dberr::InvalidParam);
  EXPECT_EQ(EngineCode([&] { cursor.InitRecord(nullptr); }), dberr::InvalidParam);
}

TEST(FieldAccess, GetAndPutGoThroughTheDriverConversions) {
  TTestCursor cursor;
  TTestRecord record(5, "Anna", 9);
  char name[kNameLength] = {};
  bool blank = true;
  cursor.GetField(2, record.Bytes, name, blank);
  EXPECT_STREQ(name, "Anna");
  EXPECT_FALSE(blank);
  char other[kNameLength] = "Bert";
  cursor.PutField(2, record.Bytes, other);
  EXPECT_EQ(record.Name(), "Bert");
}

TEST(FieldAccess, CompareFieldValuesByLogicalType) {
  TBaseTable cursor(nullptr, nullptr, "t", nullptr, 0, 0);
  std::uint16_t hi = 0xFFFF, lo = 0x0001;
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::UInt16, 0, 2, false, &hi, &lo), 1);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::Int16, 0, 2, false, &hi, &lo), -1);
  std::uint8_t b1 = 0xFF, b2 = 0x01;
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::UInt16, 0, 1, false, &b1, &b2), 1);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::Int16, 0, 1, false, &b1, &b2), -1);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::Int16, 0, 4, false, &b1, &b2), 0);
  std::int32_t i1 = -5, i2 = 3;
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::Int32, 0, 4, false, &i1, &i2), -1);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::UInt32, 0, 4, false, &i1, &i2), 1);
  double d1 = 2.5, d2 = 2.25;
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::Float, 0, 8, false, &d1, &d2), 1);
  std::int64_t t1 = -1, t2 = 1;
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::TimeStamp, 0, 8, false, &t1, &t2), -1);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::ZString, 0, 10, false, "abc", "ABC"), 1);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::ZString, 0, 10, true, "abc", "ABC"), 0);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::ZString, 0, 2, false, "abX", "abY"), 0);
  EXPECT_EQ(cursor.CompareFieldValues(fldtype::Bytes, 0, 2, false, "\x80", "\x7f"), 1);
}

TEST(FieldAccess, RecordLayoutAndDescriptorsByPosition) {
  TBaseTable empty(nullptr, nullptr, "t", nullptr, 0, 0);
  std::uint16_t count = 0, size = 0;
  EXPECT_EQ(EngineCode([&] { empty.GetRecordLayout(count, size); }), dberr::InvalidRecStruct);

  TTestCursor cursor;
  cursor.GetRecordLayout(count, size);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(size, kRecordSize);
  TFieldDesc d{};
  cursor.GetFieldDescriptor(kNameOffset + 1, kNameLength, d);
  EXPECT_EQ(d.FieldNumber, 2);
  cursor.GetFieldDescriptor(kScoreOffset + 1, 99, d);  // offset alone matches
  EXPECT_EQ(d.FieldNumber, 3);
  EXPECT_EQ(EngineFailure([&] { cursor.GetFieldDescriptor(3, 4, d); }),
            (TEngineFailure{dberr::InvalidRecStruct, "Table: Orders"}));
  TFieldDesc all[3];
  cursor.GetFieldDescriptors(all);
  EXPECT_EQ(all[2].Offset, kScoreOffset);
}

}  // namespace
