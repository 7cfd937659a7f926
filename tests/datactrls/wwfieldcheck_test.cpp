// Field checks by type, the whole-record picture check before a post, the bounded
// value buffer and the small shared routines.
#include <gtest/gtest.h>

#include <cstring>

#include "datactrls/wwfieldcheck.h"
#include "datactrls/wwintl.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/db/params.h"
#include "settingsdataset.h"

namespace {

using PinnedSettings = EnglishSettingsTest;

using TypeChecks = PinnedSettings;

TEST_F(TypeChecks, TextValidForType) {
  const struct { TFieldType type; const char* text; bool valid; } cases[] = {
      {ftInteger, "-12", true},      {ftSmallint, "12a", false},       {ftAutoInc, "1.5", false},
      {ftFloat, "1.5", true},        {ftBCD, "1.5", true},             {ftCurrency, "1,5", false},
      {ftDate, "2/29/00", true},     {ftDate, "2/30/00", false},       {ftTime, "10:30 PM", true},
      {ftDateTime, "12/31/1998", true}, {ftDateTime, "12/31/1998 10:30", true},
      {ftDateTime, "10:30", false},  {ftString, "anything", true},     {ftMemo, "12a", true}};
  for (const auto& c : cases) EXPECT_EQ(wwIsValidTypeText(c.type, c.text), c.valid) << c.text;
}

TEST_F(TypeChecks, FieldInputAndTypeClasses) {
  TMemDataSet ds;
  ds.FieldDefs().Add("Due", ftDate);
  ds.FieldDefs().Add("Title", ftString, 10);
  ds.FieldDefs().Add("Count", ftInteger);
  ds.Open();
  EXPECT_FALSE(wwIsValidFieldInput(ds.FieldByName("Due"), ""));
  EXPECT_TRUE(wwIsValidFieldInput(ds.FieldByName("Title"), ""));
  EXPECT_FALSE(wwIsValidFieldInput(ds.FieldByName("Count"), ""));
  EXPECT_TRUE(wwIsValidFieldText(ds.FieldByName("Count"), ""));
  EXPECT_FALSE(wwIsValidFieldInput(ds.FieldByName("Count"), "x"));
  EXPECT_FALSE(wwIsValidFieldInput(nullptr, "1"));

  for (TFieldType t : {ftSmallint, ftInteger, ftWord, ftFloat, ftCurrency, ftAutoInc, ftBCD, ftString})
    EXPECT_EQ(wwIsNumericType(t), t != ftBCD && t != ftString) << t;
  for (TFieldType t : {ftBytes, ftVarBytes, ftBlob, ftGraphic, ftMemo, ftString})
    EXPECT_EQ(wwIsSearchableType(t), t == ftMemo || t == ftString) << t;
}

TEST(MaskAccepts, CompleteValuesOnly) {
  // Case conversion is no failure; a malformed mask accepts no value.
  const struct { const char* mask; const char* value; bool accepted; } cases[] = {
      {"###", "", true},  {"###", "123", true}, {"###", "12", false},
      {"###", "1234", false}, {"&&", "ab", true}, {"[#", "1", false}};
  for (const auto& c : cases) EXPECT_EQ(wwMaskAccepts(c.mask, c.value), c.accepted) << c.mask << c.value;
}

// A dataset whose Phone field has a mask and whose ID field is masked read-only.
class WholeRecordCheck : public PinnedSettings {
 protected:
  void SetUp() override {
    PinnedSettings::SetUp();
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Phone", ftString, 20);
    ds.FieldDefs().Add("Title", ftString, 20);
    ds.Open();
    ds.PictureMasks()->Add("Phone\t###-####\tT\tT");
    ds.AppendRecord({Variant(1), Variant("555-1234"), Variant("first")});
  }
  void TearDown() override {
    delete wwGlobalIntl();  // back to the default texts
    PinnedSettings::TearDown();
  }
  TSettingsDataSet ds;
};

TEST_F(WholeRecordCheck, APostBreakingAMaskIsRefusedWithTheLibrarysText) {
  std::vector<std::string> told;
  ds.OnInvalidValue = [&](TObject* sender, TField* field) {
    EXPECT_EQ(sender, &ds);
    told.push_back(field->FieldName());
  };
  ds.Edit();
  ds.FieldByName("Phone")->SetAsString("55-12");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Post(); }), "Invalid characters. Field : Phone");
  EXPECT_EQ(told, std::vector<std::string>{"Phone"});
  EXPECT_EQ(ds.State(), dsEdit);  // the record stays in edit
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("Phone")->AsString(), "555-1234");
}

TEST_F(WholeRecordCheck, DisplayLabelAndConnectedTextsShowInTheMessage) {
  ds.FieldByName("Phone")->SetDisplayLabel("Telephone");
  TwwIntl placed(nullptr);
  placed.UserMessages()->PictureValidateError = "Bad value in ";
  placed.SetConnected(true);
  ds.Edit();
  ds.FieldByName("Phone")->SetAsString("x");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Post(); }), "Bad value in Telephone");
  ds.Cancel();
}

TEST_F(WholeRecordCheck, GoodEmptyReadOnlyAndUncheckedValuesPass) {
  ds.Edit();
  ds.FieldByName("Phone")->SetAsString("123-4567");
  EXPECT_NO_THROW(ds.Post());
  ds.Edit();
  ds.FieldByName("Phone")->Clear();
  EXPECT_NO_THROW(ds.Post());  // an empty value always passes

  ds.PictureMasks()->Add("Title\t&&&\tT\tT");
  ds.Edit();
  ds.FieldByName("Title")->SetAsString("too long");
  ds.FieldByName("Title")->SetReadOnly(true);
  EXPECT_NO_THROW(ds.Post());  // a read-only field does not stop the post
  EXPECT_EQ(ds.FieldByName("Title")->AsString(), "too long");

  ds.ValidateWithMask = false;  // switched off, nothing is checked
  ds.Edit();
  ds.FieldByName("Phone")->SetAsString("bad");
  EXPECT_NO_THROW(ds.Post());
  EXPECT_EQ(ds.FieldByName("Phone")->AsString(), "bad");
}

TEST_F(WholeRecordCheck, TheFirstFailingFieldInFieldOrderIsReported) {
  ds.PictureMasks()->Add("ID\t#\tT\tT");
  ds.Edit();
  ds.FieldByName("ID")->SetAsInteger(42);
  ds.FieldByName("Phone")->SetAsString("bad");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Post(); }), "Invalid characters. Field : ID");
  ds.Cancel();
}

class ValueBuffer : public PinnedSettings {
 protected:
  void SetUp() override {
    PinnedSettings::SetUp();
    ds.FieldDefs().Add("Name", ftString, 40);
    ds.FieldDefs().Add("Small", ftSmallint);
    ds.FieldDefs().Add("Count", ftInteger);
    ds.FieldDefs().Add("Cost", ftFloat);
    ds.FieldDefs().Add("Done", ftBoolean);
    ds.FieldDefs().Add("Due", ftDate);
    ds.FieldDefs().Add("At", ftTime);
    ds.FieldDefs().Add("Stamp", ftDateTime);
    ds.FieldDefs().Add("Data", ftBlob);
    ds.Open();
    ds.Append();
    ds.FieldByName("Name")->SetAsString("\u00c4rger mit Umlauten");
    ds.FieldByName("Small")->SetAsInteger(-7);
    ds.FieldByName("Count")->SetAsInteger(123456);
    ds.FieldByName("Cost")->SetAsFloat(2.5);
    ds.FieldByName("Done")->SetAsBoolean(true);
    ds.FieldByName("Due")->SetAsDateTime(EncodeDate(2000, 2, 29));
    ds.FieldByName("At")->SetAsDateTime(EncodeTime(10, 30, 0, 0));
    ds.FieldByName("Stamp")->SetAsDateTime(EncodeDate(2000, 2, 29) + EncodeTime(10, 30, 0, 0));
    ds.Post();
  }
  TMemDataSet ds;
};

// The bytes written for a field, as a number of the field's native layout.
template <class T>
std::pair<std::size_t, T> Written(TField* field) {
  std::uint8_t buffer[64];
  T value{};
  const std::size_t n = wwFieldValueToBuffer(field, nullptr, buffer, sizeof buffer);
  std::memcpy(&value, buffer, sizeof(T));
  return {n, value};
}

TEST_F(ValueBuffer, NativeLayouts) {
  using P16 = std::pair<std::size_t, std::int16_t>;
  using P32 = std::pair<std::size_t, std::int32_t>;
  EXPECT_EQ(Written<std::int16_t>(ds.FieldByName("Small")), P16(2, -7));
  EXPECT_EQ(Written<std::int32_t>(ds.FieldByName("Count")), P32(4, 123456));
  EXPECT_EQ(Written<double>(ds.FieldByName("Cost")), (std::pair<std::size_t, double>(8, 2.5)));
  EXPECT_EQ(Written<std::uint8_t>(ds.FieldByName("Done")), (std::pair<std::size_t, std::uint8_t>(1, 255)));
  EXPECT_EQ(Written<std::int32_t>(ds.FieldByName("Due")),
            P32(4, DateTimeToTimeStamp(EncodeDate(2000, 2, 29)).Date));
  EXPECT_EQ(Written<std::int32_t>(ds.FieldByName("At")), P32(4, (10 * 60 + 30) * 60000));
  EXPECT_EQ(Written<double>(ds.FieldByName("Stamp")).first, 8u);
  EXPECT_EQ(Written<char>(ds.FieldByName("Data")).first, 0u);
  std::uint8_t buffer[64];
  EXPECT_EQ(wwFieldValueToBuffer(ds.FieldByName("Name"), nullptr, buffer, sizeof buffer),
            std::strlen("\u00c4rger mit Umlauten") + 1);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "\u00c4rger mit Umlauten");
}

TEST_F(ValueBuffer, TheParameterTakesTheValueWritten) {
  std::uint8_t buffer[64];
  TParam param(nullptr);
  wwFieldValueToBuffer(ds.FieldByName("Count"), &param, buffer, sizeof buffer);
  EXPECT_EQ(param.DataType(), ftInteger);
  EXPECT_EQ(param.AsInteger(), 123456);
  std::memset(buffer, 0xFF, sizeof buffer);
  ds.Edit();
  ds.FieldByName("Done")->SetAsBoolean(false);
  ds.Post();
  wwFieldValueToBuffer(ds.FieldByName("Done"), &param, buffer, sizeof buffer);
  EXPECT_EQ(param.DataType(), ftBoolean);
  EXPECT_FALSE(param.AsBoolean());  // not the stale byte after the one written
  wwFieldValueToBuffer(ds.FieldByName("Due"), &param, buffer, sizeof buffer);
  EXPECT_EQ(param.AsDateTime(), EncodeDate(2000, 2, 29));
  wwFieldValueToBuffer(ds.FieldByName("Stamp"), &param, buffer, sizeof buffer);
  EXPECT_DOUBLE_EQ(param.AsDateTime(), EncodeDate(2000, 2, 29) + EncodeTime(10, 30, 0, 0));
  wwFieldValueToBuffer(ds.FieldByName("Name"), &param, buffer, 7);
  EXPECT_EQ(param.AsString(), "\u00c4rger");  // what fitted
  // Nothing written, nothing set.
  param.SetAsInteger(5);
  EXPECT_EQ(wwFieldValueToBuffer(ds.FieldByName("Cost"), &param, buffer, 4), 0u);
  EXPECT_EQ(param.AsInteger(), 5);
}

TEST_F(ValueBuffer, NeverWritesBeyondTheCallersBuffer) {
  std::uint8_t buffer[16];
  std::memset(buffer, 0xAB, sizeof buffer);
  // Room for "Ä" (two bytes) and the terminator only.
  EXPECT_EQ(wwFieldValueToBuffer(ds.FieldByName("Name"), nullptr, buffer, 3), 3u);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "\u00c4");
  EXPECT_EQ(buffer[3], 0xAB);
  // Never half a character.
  std::memset(buffer, 0xAB, sizeof buffer);
  EXPECT_EQ(wwFieldValueToBuffer(ds.FieldByName("Name"), nullptr, buffer, 2), 1u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0xAB);
  // A number that does not fit is not written.
  std::memset(buffer, 0xAB, sizeof buffer);
  EXPECT_EQ(wwFieldValueToBuffer(ds.FieldByName("Cost"), nullptr, buffer, 4), 0u);
  EXPECT_EQ(buffer[0], 0xAB);
  EXPECT_EQ(wwFieldValueToBuffer(ds.FieldByName("Name"), nullptr, buffer, 0), 0u);
  EXPECT_EQ(wwFieldValueToBuffer(nullptr, nullptr, buffer, sizeof buffer), 0u);
}

TEST(SelectedColumns, ApplyAndReadBack) {
  TMemDataSet ds;
  ds.FieldDefs().Add("ID", ftInteger);
  ds.FieldDefs().Add("Title", ftString, 20);
  ds.FieldDefs().Add("Owner", ftString, 20);
  ds.Open();
  TStringList selected;
  selected.Add("owner\t12\tAssigned~To");
  selected.Add("Missing\t5\tNothing");
  selected.Add("Title\t30\tTitle");
  wwApplySelectedToFields(&ds, &selected);
  EXPECT_FALSE(ds.FieldByName("ID")->Visible());
  EXPECT_TRUE(ds.FieldByName("Owner")->Visible());
  EXPECT_EQ(ds.FieldByName("Owner")->DisplayWidth(), 12);
  EXPECT_EQ(ds.FieldByName("Owner")->DisplayLabel(), "Assigned~To");
  EXPECT_EQ(ds.FieldByName("Owner")->Index(), 0);
  EXPECT_FALSE(ds.ControlsDisabled());

  TStringList back;
  wwFieldsToSelected(&ds, &back);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[0], "Owner\t12\tAssigned~To");
  EXPECT_EQ(back[1], "Title\t30\tTitle");

  int index;
  EXPECT_TRUE(wwFindSelectedEntry(&back, "TITLE", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(wwFindSelectedEntry(&back, "ID", index));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(wwFieldNameFromLabel(&ds, "Assigned To"), "Owner");
  EXPECT_EQ(wwFieldNameFromLabel(&ds, "Assigned~To"), "Owner");
  EXPECT_EQ(wwFieldNameFromLabel(&ds, "assigned to"), "");
}

TEST(ClassTests, ByNameAlongTheAncestorChain) {
  TMemDataSet plain;
  TSettingsDataSet published;
  EXPECT_TRUE(wwInheritsFromName(&plain, "tdataset"));
  EXPECT_TRUE(wwInheritsFromName(&published, "TMemDataSet"));
  EXPECT_FALSE(wwInheritsFromName(&plain, "TTable"));
  EXPECT_FALSE(wwInheritsFromName(nullptr, "TObject"));
  EXPECT_FALSE(wwIsWwDataSet(&plain));
  EXPECT_TRUE(wwIsWwDataSet(&published));  // it publishes ControlType
  EXPECT_FALSE(wwIsWwDataSet(nullptr));

  plain.FieldDefs().Add("ID", ftInteger);
  plain.Open();
  EXPECT_FALSE(wwIsCalcOrLookup(plain.FieldByName("ID")));
  EXPECT_TRUE(wwNeedsLocalSearch(plain.FieldByName("ID")));  // not an engine dataset
}

TEST(FilterOptions, EnabledFlagByPublishedName) {
  TSettingsDataSet ds;
  EXPECT_EQ(wwGetFilterOptions(&ds), 2u);
  wwSetFilterEnabled(&ds, true);
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoEnabled));
  EXPECT_TRUE(ds.OnFilterOptions.Contains(ofoShowHourGlass));
  EXPECT_EQ(wwGetFilterOptions(&ds), 3u);
  wwSetFilterEnabled(&ds, false);
  EXPECT_FALSE(ds.OnFilterOptions.Contains(ofoEnabled));
  TMemDataSet plain;
  wwSetFilterEnabled(&plain, true);  // nothing to set
  EXPECT_EQ(wwGetFilterOptions(&plain), 0u);
}

TEST(ControlProperties, DataSourceByPublishedName) {
  TSettingsDataSet ds;
  EXPECT_EQ(wwGetDataSource(&ds), nullptr);  // publishes no DataSource
  // Only edit-derived controls take a data source or field this way.
  EXPECT_FALSE(wwSetDataField(&ds, "Name"));
  EXPECT_FALSE(wwSetDataSource(&ds, nullptr));
  EXPECT_EQ(wwGetDataField(&ds), "");
}

TEST(SmallRoutines, ParentFormFallsBackToTheLastOwner) {
  TComponent root(nullptr);
  auto* middle = new TComponent(&root);
  auto* leaf = new TComponent(middle);
  EXPECT_EQ(wwGetParentForm(leaf), &root);
  EXPECT_EQ(wwGetParentForm(&root), &root);
  EXPECT_EQ(wwGetParentForm(nullptr), nullptr);
}

TEST(SmallRoutines, KeysScalingAndLines) {
  // Backspace, space, delete, letters and punctuation edit; F1 and arrows do not.
  for (auto [key, edits] : {std::pair<int, bool>{8, true}, {32, true}, {46, true}, {65, true},
                            {112, false}, {37, false}, {186, true}})
  {
    EXPECT_EQ(wwIsEditKey(std::uint16_t(key)), edits) << key;
    EXPECT_EQ(wwIsCharKey(std::uint16_t(key)), edits) << key;
  }
  EXPECT_TRUE(wwIsHighBitSet(200));
  EXPECT_FALSE(wwIsHighBitSet(127));
  EXPECT_EQ(wwScaleToScreen(77, 144), 115);
  EXPECT_EQ(wwScaleToScreen(24, 96), 24);
  TStringList lines;
  lines.Add("one");
  lines.Add("Two");
  EXPECT_EQ(wwStringsToText(&lines, true), "one Two");
  EXPECT_EQ(wwStringsToText(&lines, false), "one\r\nTwo");
  EXPECT_EQ(wwIndexOfText(&lines, "TWO"), 1);
  EXPECT_EQ(wwIndexOfText(&lines, "three"), -1);
  EXPECT_EQ(wwMax(3, -4), 3);
}

}  // namespace
