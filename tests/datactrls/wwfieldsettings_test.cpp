// Field settings lists reached by published name: picture masks, control types,
// lookup entries and their clean-up.
#include <gtest/gtest.h>

#include "datactrls/wwfieldsettings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/fields.h"
#include "settingsdataset.h"

namespace {

class FieldSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("Phone", ftString, 20);
    ds.FieldDefs().Add("Owner", ftString, 20);
    ds.Open();
  }
  TStringList& Masks() { return *ds.PictureMasks(); }
  TStringList& Controls() { return *ds.ControlType(); }
  TSettingsDataSet ds;
};

TEST_F(FieldSettings, ListsAreFoundByPublishedName) {
  EXPECT_EQ((std::vector<TStrings*>{wwGetPictureMasksList(&ds), wwGetControlTypeList(&ds),
                                     wwGetLookupFieldsList(&ds), wwGetLookupLinksList(&ds)}),
            (std::vector<TStrings*>{ds.PictureMasks(), ds.ControlType(), ds.LookupFields(),
                                     ds.LookupLinks()}));
  EXPECT_TRUE(wwGetValidateWithMask(&ds));
  ds.ValidateWithMask = false;
  EXPECT_FALSE(wwGetValidateWithMask(&ds));
  ds.DatabaseName = "Bugs";
  EXPECT_EQ(wwGetDatabaseName(&ds), "Bugs");
  EXPECT_FALSE(wwGetOnInvalidValue(&ds));
  int calls = 0;
  ds.OnInvalidValue = [&](TObject*, TField*) { ++calls; };
  TwwInvalidValueEvent handler = wwGetOnInvalidValue(&ds);
  ASSERT_TRUE(handler);
  handler(&ds, nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(wwGetLookupTableList(&ds), nullptr);
}

TEST_F(FieldSettings, AbsentListsGiveEmptyResults) {
  TMemDataSet plain;
  EXPECT_EQ(wwGetPictureMasksList(&plain), nullptr);
  EXPECT_EQ(wwGetControlTypeList(&plain), nullptr);
  EXPECT_FALSE(wwGetValidateWithMask(&plain));
  EXPECT_FALSE(wwGetOnInvalidValue(&plain));
  EXPECT_EQ(wwGetDatabaseName(&plain), "");
  EXPECT_EQ(wwGetPictureMasksList(nullptr), nullptr);
  // Fields are found in any case.
  EXPECT_TRUE(wwDataSetHasField(&ds, "phone"));
  EXPECT_FALSE(wwDataSetHasField(&ds, "Fax"));
  EXPECT_FALSE(wwDataSetHasField(nullptr, "Phone"));

  TMasksOnlyDataSet masksOnly;
  EXPECT_NE(wwGetPictureMasksList(&masksOnly), nullptr);
  EXPECT_EQ(wwGetLookupFieldsList(&masksOnly), nullptr);
  EXPECT_EQ(wwGetControlType(&masksOnly, "X").TypeName, "");
  EXPECT_FALSE(wwSetControlType(&masksOnly, "X", "CheckBox", "T;F"));
}

TEST_F(FieldSettings, ReadingPictureMasks) {
  Masks().Add("ID\t###\tF\tT");
  Masks().Add("Phone\t(###) ###-####\tT\tX");  // any text but "T" reads false
  Masks().Add("phone\tignored\tF\tF");
  TwwPictureMaskSetting phone = wwGetPictureMask(&ds, "PHONE", true);
  EXPECT_EQ(phone.Mask, "(###) ###-####");
  EXPECT_TRUE(phone.AutoFill);
  EXPECT_FALSE(phone.UseMask);
  TwwPictureMaskSetting id = wwGetPictureMask(&ds, "ID", true);
  EXPECT_FALSE(id.AutoFill);
  EXPECT_TRUE(id.UseMask);
  TwwPictureMaskSetting none = wwGetPictureMask(&ds, "Owner", true);
  EXPECT_EQ(none.Mask, "");
  EXPECT_TRUE(none.AutoFill);
  EXPECT_TRUE(none.UseMask);
  // A short entry reads what it has.
  Masks().Add("Owner\t&*?");
  EXPECT_EQ(wwGetPictureMask(&ds, "Owner", false).Mask, "&*?");
  EXPECT_FALSE(wwGetPictureMask(&ds, "Owner", false).AutoFill);
}

TEST_F(FieldSettings, WritingPictureMasks) {
  wwSetPictureMask(&ds, "Phone", "###-####", true, false);
  ASSERT_EQ(Masks().Count(), 1);
  EXPECT_EQ(Masks()[0], "Phone\t###-####\tT\tF");
  // Only the values whose set flag is on change.
  wwSetPictureMask(&ds, "PHONE", "", false, true, false, false, true);
  EXPECT_EQ(Masks()[0], "PHONE\t###-####\tT\tT");  // written under the name given
  wwSetPictureMask(&ds, "phone", "#", false, false, true, true, false);
  EXPECT_EQ(Masks()[0], "phone\t#\tF\tT");
  // An empty mask removes the entry; none is added for an empty mask.
  wwSetPictureMask(&ds, "Phone", "", true, true);
  EXPECT_EQ(Masks().Count(), 0);
  wwSetPictureMask(&ds, "Owner", "", true, true);
  EXPECT_EQ(Masks().Count(), 0);
  TMemDataSet plain;
  wwSetPictureMask(&plain, "Phone", "#", true, true);  // no list: nothing happens
}

TEST_F(FieldSettings, ControlTypes) {
  Controls().Add("Owner;Combo;frmBug.cboOwner");
  Controls().Add("Owner;LookupCombo;cboOwner;extra;parts");
  TwwControlTypeSetting later = wwGetControlType(&ds, "Owner");
  EXPECT_EQ(later.TypeName, "LookupCombo");
  EXPECT_EQ(later.Parameter, "cboOwner;extra;parts");
  EXPECT_EQ(wwGetControlType(&ds, "owner").TypeName, "");  // the reader is case-sensitive

  // The writer updates the earlier entry and keeps its stored name.
  EXPECT_TRUE(wwSetControlType(&ds, "OWNER", "CheckBox", "T;F"));
  EXPECT_EQ(Controls()[0], "Owner;CheckBox;T;F");
  EXPECT_EQ(Controls()[1], "Owner;LookupCombo;cboOwner;extra;parts");
  // "field" removes the first entry of the field...
  EXPECT_TRUE(wwSetControlType(&ds, "Owner", "FIELD", ""));
  EXPECT_EQ(Controls().Count(), 1);
  // ...but with no entry it is appended as written.
  EXPECT_TRUE(wwSetControlType(&ds, "Phone", "field", ""));
  EXPECT_EQ(Controls()[1], "Phone;field;");
  EXPECT_TRUE(wwSetControlType(&ds, "ID", "", ""));
  EXPECT_EQ(Controls()[2], "ID;;");

  Controls().Clear();
  Controls().Add("Notes;RichEdit;" + std::string(300, 'p'));
  EXPECT_EQ(wwGetControlType(&ds, "Notes").Parameter.size(), 255u);
  Controls().Add("Bare");
  EXPECT_EQ(wwGetControlType(&ds, "Bare").TypeName, "");
  EXPECT_EQ(wwGetControlType(&ds, "Bare").Parameter, "");

  for (auto [type, bearing] : {std::pair<const char*, bool>{"customedit", true}, {"LookupCombo", true},
                               {"Combo", true}, {"CheckBox", false}, {"RichEdit", false}}) {
    EXPECT_EQ(wwIsControlBearingType(type), bearing) << type;
    EXPECT_EQ(wwIsEditControlType(type), bearing) << type;
  }
}

TEST_F(FieldSettings, LookupEntries) {
  ds.DatabaseName = "Bugs";
  ds.LookupFields()->Add("OwnerName;Bugs;People;Name;ByID");
  ds.LookupLinks()->Add("Owner;ID");
  ds.LookupFields()->Add("Short;Bugs;People");  // fewer than five pieces
  ds.LookupLinks()->Add("Owner;ID");
  EXPECT_EQ(wwGetLookupLink(&ds, "OwnerName"), "Owner;ID");
  EXPECT_EQ(wwGetLookupLink(&ds, "ownername"), "");
  EXPECT_EQ(wwGetLookupResultName(&ds, "OwnerName"), "Name");
  EXPECT_EQ(wwGetLookupResultName(&ds, "Short"), "");
  EXPECT_EQ(wwGetLookupResultName(&ds, "Missing"), "");

  ds.Close();
  ds.FieldDefs().Add("OwnerName", ftString, 30);
  ds.FieldDefs().Add("Short", ftString, 30);
  ds.Open();
  TwwLookupEntry entry = wwGetLookupEntry(ds.FieldByName("OwnerName"));
  EXPECT_EQ(entry.DatabaseName, "Bugs");
  EXPECT_EQ(entry.TableName, "People");
  EXPECT_EQ(entry.ResultField, "Name");
  EXPECT_EQ(entry.Links, "Owner;ID");
  ds.DatabaseName = "Main";
  TwwLookupEntry none = wwGetLookupEntry(ds.FieldByName("Short"));
  EXPECT_EQ(none.DatabaseName, "Main");
  EXPECT_EQ(none.TableName, "");
  EXPECT_EQ(none.Links, "");

  TMemDataSet plain;
  EXPECT_EQ(wwGetLookupLink(&plain, "OwnerName"), "");
}

TEST_F(FieldSettings, StaleEntriesAreDropped) {
  ds.LookupFields()->Add("Gone;Bugs;People;Name;ByID");
  ds.LookupLinks()->Add("Owner;ID");
  ds.LookupFields()->Add("Owner;Bugs;People;Name;ByID");
  ds.LookupLinks()->Add("ID;ID");
  Controls().Add("Gone;CheckBox;T;F");
  Controls().Add("owner;Combo;cbo");
  wwRemoveStaleFieldSettings(&ds, ds.LookupFields(), ds.LookupLinks(), ds.ControlType());
  ASSERT_EQ(ds.LookupFields()->Count(), 1);
  EXPECT_EQ((*ds.LookupFields())[0], "Owner;Bugs;People;Name;ByID");
  ASSERT_EQ(ds.LookupLinks()->Count(), 1);
  EXPECT_EQ((*ds.LookupLinks())[0], "ID;ID");
  ASSERT_EQ(Controls().Count(), 1);
  EXPECT_EQ(Controls()[0], "owner;Combo;cbo");
  // Absent lists are skipped; fewer links than fields are no problem.
  ds.LookupFields()->Add("Gone2;a;b;c;d");
  wwRemoveStaleFieldSettings(&ds, ds.LookupFields(), nullptr, nullptr);
  EXPECT_EQ(ds.LookupFields()->Count(), 1);
}

TEST_F(FieldSettings, StaleControlsAreDroppedOnlyWhileDesigning) {
  TComponent form(nullptr);
  auto* combo = new TComponent(&form);
  combo->SetName("cboOwner");
  TSettingsDataSet owned(&form);
  owned.FieldDefs().Add("Owner", ftString, 10);
  owned.ControlType()->Add("Owner;LookupCombo;cboOwner");
  owned.ControlType()->Add("Owner;Combo;cboMissing");
  owned.ControlType()->Add("Owner;CustomEdit;frmOther.cboOwner");
  owned.ControlType()->Add("Owner;CustomEdit;frmOther.edtMissing");
  owned.ControlType()->Add("Owner;CustomEdit;frmOther.");
  owned.ControlType()->Add("Owner;CheckBox;T;F");
  EXPECT_TRUE(wwRemoveStaleControlTypes(&form, &owned));
  EXPECT_EQ(owned.ControlType()->Count(), 6);  // not designing: nothing changes

  form.SetDesigning(true);
  EXPECT_TRUE(wwRemoveStaleControlTypes(&form, &owned));
  ASSERT_EQ(owned.ControlType()->Count(), 4);
  EXPECT_EQ((*owned.ControlType())[0], "Owner;LookupCombo;cboOwner");
  EXPECT_EQ((*owned.ControlType())[1], "Owner;CustomEdit;frmOther.cboOwner");
  EXPECT_EQ((*owned.ControlType())[2], "Owner;CustomEdit;frmOther.");
  EXPECT_EQ((*owned.ControlType())[3], "Owner;CheckBox;T;F");
  form.SetDesigning(false);
}

// A table with pictures of its own.
class TPictureTable : public TSettingsDataSet, public IwwTablePictures {
 public:
  std::string TablePicture(const std::string& fieldName) override {
    return AnsiSameText(fieldName, "Phone") ? "###-####" : "";
  }
};

TEST(TablePictures, TheTablesOwnPictureWins) {
  TPictureTable table;
  table.FieldDefs().Add("Phone", ftString, 20);
  table.FieldDefs().Add("ID", ftInteger);
  table.Open();
  EXPECT_EQ(wwGetTablePicture(&table, "Phone"), "###-####");
  EXPECT_EQ(wwGetTablePicture(&table, "Fax"), "");
  EXPECT_EQ(wwGetPictureMask(&table, "Phone", true).Mask, "###-####");
  table.PictureMasks()->Add("Phone\t#\tF\tT");
  EXPECT_EQ(wwGetPictureMask(&table, "Phone", false).Mask, "#");
  EXPECT_EQ(wwGetPictureMask(&table, "Phone", true).Mask, "###-####");
  EXPECT_EQ((*table.PictureMasks())[0], "Phone\t###-####\tF\tT");  // the entry follows it
  wwSetPictureMask(&table, "Phone", "&&", true, true);
  EXPECT_EQ((*table.PictureMasks())[0], "Phone\t###-####\tT\tT");
}

}  // namespace
