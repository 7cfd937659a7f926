// Fields: values in every form, text, null handling, events, sizes, types and
// their definitions.

#include <gtest/gtest.h>

#include <cstring>

#include "dbtestutil.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/core/typinfo.h"

namespace {

// One field of each kind over the in-memory dataset, one record in edit mode.
class FieldKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings.ShortDateFormat = "M/d/yyyy";
    FormatSettings.DateSeparator = '/';
    FormatSettings.DecimalSeparator = '.';
    FormatSettings.ThousandSeparator = ',';
    FormatSettings.CurrencyString = "$";
    FormatSettings.CurrencyDecimals = 2;
    auto& d = ds.FieldDefs();
    d.Add("Str", ftString, 5);
    d.Add("Small", ftSmallint);
    d.Add("Int", ftInteger);
    d.Add("Word", ftWord);
    d.Add("Auto", ftAutoInc);
    d.Add("Float", ftFloat);
    d.Add("Money", ftCurrency);
    d.Add("Flag", ftBoolean);
    d.Add("Day", ftDate);
    d.Add("Clock", ftTime);
    d.Add("Stamp", ftDateTime);
    d.Add("Raw", ftBytes, 4);
    d.Add("VarRaw", ftVarBytes, 6);
    d.Add("Notes", ftMemo);
    d.Add("Picture", ftGraphic);
    d.Add("Data", ftBlob);
    d.Add("Exact", ftBCD, 2);
    ds.Open();
    ds.Append();
  }
  TField* F(const char* name) { return ds.FieldByName(name); }
  TMemDataSet ds;
};

TEST_F(FieldKinds, DefaultFieldsHaveTheClassOfTheirType) {
  const char* expected[][2] = {
      {"Str", "TStringField"},     {"Small", "TSmallintField"}, {"Int", "TIntegerField"},
      {"Word", "TWordField"},      {"Auto", "TAutoIncField"},   {"Float", "TFloatField"},
      {"Money", "TCurrencyField"}, {"Flag", "TBooleanField"},   {"Day", "TDateField"},
      {"Clock", "TTimeField"},     {"Stamp", "TDateTimeField"}, {"Raw", "TBytesField"},
      {"VarRaw", "TVarBytesField"}, {"Notes", "TMemoField"},    {"Picture", "TGraphicField"},
      {"Data", "TBlobField"},      {"Exact", "TBCDField"}};
  for (auto& e : expected) EXPECT_EQ(F(e[0])->ClassName(), e[1]) << e[0];
  EXPECT_EQ(F("Str")->FieldNo(), 1);
  EXPECT_EQ(F("Exact")->FieldNo(), 17);
  EXPECT_EQ(F("Money")->DataType(), ftCurrency);
  EXPECT_EQ(F("Notes")->DataType(), ftMemo);
  EXPECT_TRUE(F("Data")->IsBlob());
  EXPECT_EQ(F("Int")->Alignment(), taRightJustify);
  EXPECT_EQ(F("Str")->Alignment(), taLeftJustify);
}

TEST_F(FieldKinds, StringSizeCountsCharactersOfUtf8Text) {
  TField* s = F("Str");
  EXPECT_EQ(s->Size(), 5);
  EXPECT_EQ(s->DataSize(), 21);
  s->SetAsString("\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
  EXPECT_EQ(s->AsString().size(), 20u) << "five four-byte characters fit";
  // A longer text reaches the dataset (whose database refuses it) as far as
  // the buffer holds it; one that cannot stay longer there is refused here.
  const std::string smiley = "\xF0\x9F\x98\x80";
  const struct {
    std::string text, kept;
  } longer[] = {
      {"\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xC3\xA9xyz", "\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xC3\xA9xyz"},
      {std::string(30, 'a'), std::string(20, 'a')},
      {"abcd" + smiley + smiley + smiley + smiley, "abcd" + smiley + smiley + smiley + smiley},
      {smiley + smiley + smiley + smiley + smiley + "b", ""},
      {smiley + smiley + smiley + smiley + smiley + smiley, ""},
  };
  for (const auto& c : longer) {
    s->SetAsString("old");
    if (c.kept.empty()) {
      EXPECT_EQ(MessageOf<EDatabaseError>([&] { s->SetAsString(c.text); }),
                "The text for field 'Str' is longer than its 5 characters");
      EXPECT_EQ(s->AsString(), "old");
    } else {
      s->SetAsString(c.text);
      EXPECT_EQ(s->AsString(), c.kept);
    }
  }
  EXPECT_EQ(s->DisplayWidth(), 5);
}

TEST_F(FieldKinds, TextsReadUpToTheirFirstZeroInEveryForm) {
  TField* s = F("Str");
  const struct {
    std::string stored, read;
  } cases[] = {
      {"", ""},
      {"a", "a"},
      {"ab\0cd", "ab"},  // a zero ends the text, as the engine stores it
      {" x  ", " x  "},   // trailing blanks are the text's own
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80",
       "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    s->SetAsString(c.stored);
    EXPECT_EQ(s->AsString(), c.read) << c.read;
    const Variant v = s->AsVariant();
    EXPECT_EQ(VarType(v), varOleStr) << c.read;
    EXPECT_EQ(v.AsString(), c.read);
  }
  s->Clear();
  EXPECT_TRUE(VarIsNull(s->AsVariant())) << "blank is Null, not an empty text";
  EXPECT_EQ(s->AsString(), "");
}

// A cursor that fills only the bytes of the text it holds, without a
// terminating zero, as a driver may.
class TShortFill : public TMemDataSet {
 public:
  bool ReadFieldData(TField* field, void* dest) override {
    if (field->DataType() != ftString) return TMemDataSet::ReadFieldData(field, dest);
    if (dest) std::memcpy(dest, "abc", 3);
    return true;
  }
};

// Leaves the stack below the caller full of non-zero bytes.
[[gnu::noinline]] void DirtyStack() {
  volatile char junk[4096];
  for (std::size_t i = 0; i < sizeof junk; ++i) junk[i] = 'x';
}

TEST(FieldTexts, ATextTheCursorLeavesUnterminatedEndsWhereItsBytesEnd) {
  TShortFill ds;
  ds.FieldDefs().Add("Str", ftString, 200);
  ds.Open();
  ds.Append();
  DirtyStack();
  EXPECT_EQ(ds.FieldByName("Str")->AsString(), "abc");
  DirtyStack();
  EXPECT_EQ(ds.FieldByName("Str")->AsVariant().AsString(), "abc");
}

TEST_F(FieldKinds, IntegerKindsKeepTheirRanges) {
  F("Small")->SetAsInteger(-32768);
  EXPECT_EQ(F("Small")->AsInteger(), -32768);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { F("Small")->SetAsInteger(40000); }),
            "40000 is not a valid value for field 'Small'. The allowed range is -32768 to 32767");
  EXPECT_THROW(F("Word")->SetAsInteger(-1), EDatabaseError);
  F("Word")->SetAsInteger(65535);
  EXPECT_EQ(F("Word")->AsInteger(), 65535);
  auto* i = static_cast<TIntegerField*>(F("Int"));
  i->SetMinValue(1);
  i->SetMaxValue(10);
  EXPECT_THROW(i->SetAsInteger(11), EDatabaseError);
  i->SetAsString(" 7 ");
  EXPECT_EQ(i->AsInteger(), 7);
  EXPECT_EQ(i->AsFloat(), 7.0);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { i->SetAsString("seven"); }),
            "'seven' is not a valid integer value for field 'Int'");
  EXPECT_EQ(i->AsInteger(), 7) << "a refused value leaves the old one";
  i->SetAsFloat(3.6);
  EXPECT_EQ(i->AsInteger(), 4);
  EXPECT_TRUE(i->IsValidChar('5'));
  EXPECT_FALSE(i->IsValidChar('.'));
}

TEST_F(FieldKinds, NullHandling) {
  TField* i = F("Int");
  EXPECT_TRUE(i->IsNull());
  EXPECT_EQ(i->AsString(), "");
  EXPECT_EQ(i->AsInteger(), 0);
  EXPECT_TRUE(VarIsNull(i->Value()));
  i->SetAsInteger(0);
  EXPECT_FALSE(i->IsNull()) << "zero is a value";
  i->Clear();
  EXPECT_TRUE(i->IsNull());
  i->SetAsString("");
  EXPECT_TRUE(i->IsNull()) << "empty text clears a number";
  i->SetValue(Null);
  EXPECT_TRUE(i->IsNull());
  F("Str")->SetValue(Variant("x"));
  F("Str")->SetValue(Variant());
  EXPECT_TRUE(F("Str")->IsNull()) << "Empty clears too";
}

TEST_F(FieldKinds, FloatAndCurrencyText) {
  auto* f = static_cast<TFloatField*>(F("Float"));
  f->SetAsFloat(1234.5);
  EXPECT_EQ(f->AsString(), "1234.5");
  EXPECT_EQ(f->DisplayText(), "1234.5");
  f->SetDisplayFormat("#,##0.00");
  EXPECT_EQ(f->DisplayText(), "1,234.50");
  EXPECT_EQ(f->Text(), "1,234.50") << "without an edit format the display format edits too";
  f->SetEditFormat("0.000");
  EXPECT_EQ(f->Text(), "1234.500");
  F("Money")->SetAsCurrency(::Currency(-2.5));
  EXPECT_EQ(F("Money")->AsCurrency().Raw(), -25000);
  EXPECT_EQ(F("Money")->DisplayText(), "($2.50)");
  EXPECT_EQ(F("Money")->Text(), "-2.50") << "currency edits with its decimals";
  EXPECT_EQ(VarType(F("Money")->Value()), varCurrency);
  f->SetDisplayFormat("");
  f->SetEditFormat("");
  f->SetPrecision(4);
  f->SetAsFloat(3.14159);
  EXPECT_EQ(f->DisplayText(), "3.142") << "precision limits the digits";
  f->SetPrecision(15);
  f->SetAsString("2e3");
  EXPECT_DOUBLE_EQ(f->AsFloat(), 2000);
  EXPECT_THROW(f->SetAsString("1.2.3"), EDatabaseError);
  f->SetMinValue(0);
  f->SetMaxValue(100);
  EXPECT_THROW(f->SetAsFloat(100.5), EDatabaseError);
}

TEST_F(FieldKinds, BooleanDisplayValues) {
  auto* b = static_cast<TBooleanField*>(F("Flag"));
  b->SetAsBoolean(true);
  EXPECT_EQ(b->AsString(), "True");
  EXPECT_EQ(b->AsInteger(), 1);
  b->SetDisplayValues("Yes;No");
  EXPECT_EQ(b->AsString(), "Yes");
  b->SetAsString("n");
  EXPECT_FALSE(b->AsBoolean());
  b->SetAsString("YES");
  EXPECT_TRUE(b->AsBoolean());
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { b->SetAsString("maybe"); }),
            "'maybe' is not a valid boolean value for field 'Flag'");
  EXPECT_EQ(b->DisplayWidth(), 3);
  std::int16_t raw = 0;
  EXPECT_TRUE(b->GetData(&raw));
  EXPECT_NE(raw, 0);
}

TEST_F(FieldKinds, DatesAndTimesUseTheEngineForms) {
  TDateTime day = EncodeDate(2000, 1, 2);
  F("Day")->SetAsDateTime(day + 0.75);
  EXPECT_DOUBLE_EQ(F("Day")->AsDateTime(), day) << "a date field drops the time";
  std::int32_t days = 0;
  F("Day")->GetData(&days);
  EXPECT_EQ(days, 730121);
  F("Clock")->SetAsDateTime(day + 0.5);
  std::int32_t ms = 0;
  F("Clock")->GetData(&ms);
  EXPECT_EQ(ms, 12 * 3600 * 1000);
  EXPECT_DOUBLE_EQ(F("Clock")->AsDateTime(), 0.5);
  F("Stamp")->SetAsDateTime(day + 0.25);
  double stamp = 0;
  F("Stamp")->GetData(&stamp);
  EXPECT_DOUBLE_EQ(stamp, 730121.0 * 86400000.0 + 6 * 3600000.0);
  EXPECT_EQ(F("Day")->AsString(), "1/2/2000");
  F("Day")->SetAsString("12/31/1999");
  EXPECT_DOUBLE_EQ(F("Day")->AsDateTime(), EncodeDate(1999, 12, 31));
  static_cast<TDateTimeField*>(F("Stamp"))->SetDisplayFormat("yyyy-mm-dd");
  EXPECT_EQ(F("Stamp")->DisplayText(), "2000-01-02");
  EXPECT_THROW(F("Day")->SetAsString("31/31/2000"), EConvertError);
}

TEST_F(FieldKinds, BytesKeepTheirLength) {
  F("Raw")->SetAsString(std::string("ab\0c", 4));
  EXPECT_EQ(F("Raw")->AsString(), std::string("ab\0c", 4));
  F("Raw")->SetAsString("x");
  EXPECT_EQ(F("Raw")->AsString(), std::string("x\0\0\0", 4)) << "fixed bytes are padded";
  F("VarRaw")->SetAsString("abc");
  EXPECT_EQ(F("VarRaw")->AsString(), "abc");
  F("VarRaw")->SetAsString("abcdefgh");
  EXPECT_EQ(F("VarRaw")->AsString(), "abcdef");
  EXPECT_EQ(F("VarRaw")->DisplayText(), "(VarBytes)");
}

TEST_F(FieldKinds, BlobsTravelThroughTheBlobStream) {
  EXPECT_EQ(F("Notes")->DisplayText(), "(Memo)");
  F("Notes")->SetAsString("line one\r\nline two");
  EXPECT_EQ(F("Notes")->AsString(), "line one\r\nline two");
  EXPECT_EQ(F("Notes")->DisplayText(), "(MEMO)");
  TStringStream in(std::string("\x89PNG\0\1", 6));
  static_cast<TBlobField*>(F("Picture"))->LoadFromStream(&in);
  EXPECT_EQ(static_cast<TBlobField*>(F("Picture"))->BlobSize(), 6);
  ds.Post();
  EXPECT_EQ(F("Notes")->AsString(), "line one\r\nline two") << "stored with the record";
  TStringStream out;
  static_cast<TBlobField*>(F("Picture"))->SaveToStream(&out);
  EXPECT_EQ(out.DataString(), std::string("\x89PNG\0\1", 6));
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { F("Notes")->SetAsString("not editing"); }),
            "Dataset not in edit or insert mode");
  ds.Edit();
  F("Notes")->Clear();
  EXPECT_TRUE(F("Notes")->IsNull());
  ds.Cancel();
  EXPECT_EQ(F("Notes")->AsString(), "line one\r\nline two") << "cancel restores the blob";
}

TEST_F(FieldKinds, BcdFieldsHoldExactDecimals) {
  auto* b = static_cast<TBCDField*>(F("Exact"));
  EXPECT_EQ(b->DataSize(), 34);
  b->SetAsString("12.34");
  EXPECT_EQ(b->AsCurrency().Raw(), 123400);
  EXPECT_EQ(b->AsString(), "12.34");
  b->SetAsFloat(0.1);
  EXPECT_EQ(VarType(b->Value()), varCurrency);
  EXPECT_DOUBLE_EQ(b->AsFloat(), 0.1);
}

TEST_F(FieldKinds, WrongAccessFormsRaise) {
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { F("Flag")->AsDateTime(); }),
            "Cannot access field 'Flag' as type DateTime");
  EXPECT_THROW(F("Raw")->AsInteger(), EDatabaseError);
}

TEST_F(FieldKinds, OldValueIsTheStoredOne) {
  F("Int")->SetAsInteger(1);
  ds.Post();
  ds.Edit();
  F("Int")->SetAsInteger(2);
  EXPECT_EQ(F("Int")->OldValue().AsInteger(), 1);
  EXPECT_EQ(F("Int")->NewValue().AsInteger(), 2);
  EXPECT_EQ(F("Int")->AsInteger(), 2);
}

TEST(FieldEvents, ValidateSeesTheNewValueAndMayRefuseIt) {
  auto ds = MakeNumbered(1);
  TField* name = ds->FieldByName("Name");
  std::string seen;
  name->OnValidate = [&](TField* f) {
    seen = f->AsString();
    if (seen == "bad") throw EDatabaseError("refused");
  };
  int changes = 0;
  name->OnChange = [&](TField*) { ++changes; };
  ds->Edit();
  name->SetAsString("good");
  EXPECT_EQ(seen, "good");
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(name->SetAsString("bad"), EDatabaseError);
  EXPECT_EQ(name->AsString(), "good");
  EXPECT_EQ(changes, 1);
}

TEST(FieldEvents, GetTextAndSetTextReplaceTheDefaults) {
  auto ds = MakeNumbered(1);
  TField* id = ds->FieldByName("ID");
  id->OnGetText = [](TField* f, std::string& text, bool display) {
    text = (display ? "#" : "") + f->AsString();
  };
  id->OnSetText = [](TField* f, const std::string& text) { f->SetAsInteger(StrToInt(text) * 10); };
  EXPECT_EQ(id->DisplayText(), "#1");
  EXPECT_EQ(id->Text(), "1");
  ds->Edit();
  id->SetText("4");
  EXPECT_EQ(id->AsInteger(), 40);
}

TEST(FieldList, IndexMovesAFieldAndLabelsDefaultToTheName) {
  auto ds = MakeNumbered(1);
  TField* amount = ds->FieldByName("Amount");
  EXPECT_EQ(amount->Index(), 2);
  amount->SetIndex(0);
  EXPECT_EQ(ds->Fields()[0], amount);
  EXPECT_EQ(ds->FieldByName("ID")->Index(), 1);
  EXPECT_EQ(amount->DisplayLabel(), "Amount");
  amount->SetDisplayLabel("Sum");
  EXPECT_EQ(amount->DisplayName(), "Sum");
  EXPECT_EQ(ds->FindField("amount"), amount) << "names ignore case";
  EXPECT_EQ(ds->FindField("nope"), nullptr);
  EXPECT_THROW(ds->Fields()[9], EDatabaseError);
}

TEST(FieldList, PersistentFieldsAreCheckedAgainstTheDefinitions) {
  TMemDataSet ds;
  ds.FieldDefs().Add("ID", ftInteger);
  auto* wrong = AddField<TStringField>(ds, "ID");
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.Open(); }),
            "Type mismatch for field 'ID', expecting: String actual: Integer");
  auto* twin = AddField<TIntegerField>(ds, "Other");
  EXPECT_THROW(twin->SetFieldName("id"), EDatabaseError) << "duplicate name";
  delete wrong;
  EXPECT_EQ(ds.FieldCount(), 1) << "a freed field leaves the list";
}

TEST(FieldDefsTest, DefinitionsNumberTheirFieldsAndRefuseDuplicates) {
  TMemDataSet ds;
  TFieldDef* a = ds.FieldDefs().Add("A", ftString, 10, true);
  TFieldDef* b = ds.FieldDefs().Add("B", ftInteger);
  EXPECT_EQ(a->FieldNo(), 1);
  EXPECT_EQ(b->FieldNo(), 2);
  EXPECT_TRUE(a->Required());
  EXPECT_EQ(b->Index(), 1);
  EXPECT_THROW(ds.FieldDefs().Add("a", ftInteger), EDatabaseError);
  EXPECT_THROW(ds.FieldDefs().Add("C", ftString, 0), EDatabaseError) << "a string needs a size";
  EXPECT_THROW(ds.FieldDefs().Add("D", ftInteger, 4), EDatabaseError);
  EXPECT_EQ(ds.FieldDefs().Find("b"), b);
  EXPECT_THROW(ds.FieldDefs().Find("Z"), EDatabaseError);
  ds.Open();
  EXPECT_TRUE(ds.FieldByName("A")->Required());
  EXPECT_EQ(ds.FieldByName("A")->Size(), 10);
  EXPECT_EQ(ds.GetFieldNames(), (std::vector<std::string>{"A", "B"}));
}

TEST(IndexDefsTest, FindIndexForFields) {
  TMemDataSet ds;
  TIndexDefs defs(&ds);
  defs.Add("PrimaryKey", "ReportNumber", {ixPrimary, ixUnique});
  defs.Add("ByProgram", "ProgramNumber;ReportNumber", {});
  defs.Add("ByNameCI", "Name", {ixCaseInsensitive});
  defs.Add("ByNameDesc", "Title", {ixDescending});
  EXPECT_EQ(defs.FindIndexForFields("reportnumber")->Name(), "PrimaryKey");
  EXPECT_EQ(defs.FindIndexForFields("ProgramNumber")->Name(), "ByProgram") << "a key prefix";
  EXPECT_EQ(defs.FindIndexForFields("ProgramNumber;ReportNumber")->Name(), "ByProgram");
  EXPECT_EQ(defs.GetIndexForFields("Program", false), nullptr) << "not a whole field";
  EXPECT_EQ(defs.GetIndexForFields("Name", true)->Name(), "ByNameCI");
  EXPECT_EQ(defs.GetIndexForFields("ReportNumber", true), nullptr) << "case-insensitive asked";
  EXPECT_EQ(defs.GetIndexForFields("Title", false), nullptr) << "descending indexes do not serve";
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { defs.FindIndexForFields("Nothing"); }),
            "No index for fields 'Nothing'");
  EXPECT_THROW(defs.Add("bYpROGRAM", "X", {}), EDatabaseError);
  EXPECT_EQ(defs.Find("byprogram")->Fields(), "ProgramNumber;ReportNumber");
  EXPECT_THROW(defs.Find("Nope"), EDatabaseError);
}

TEST(PublishedProperties, TheDataSetPublishesItsPropertiesAndEvents) {
  TMemDataSet ds;
  for (const char* name :
       {"Active", "AutoCalcFields", "Filter", "Filtered", "FilterOptions", "BeforeOpen", "AfterOpen",
        "BeforeClose", "AfterClose", "BeforeInsert", "AfterInsert", "BeforeEdit", "AfterEdit",
        "BeforePost", "AfterPost", "BeforeCancel", "AfterCancel", "BeforeDelete", "AfterDelete",
        "BeforeScroll", "AfterScroll", "BeforeRefresh", "AfterRefresh", "OnCalcFields",
        "OnNewRecord", "OnDeleteError", "OnEditError", "OnPostError", "OnFilterRecord",
        "OnUpdateError", "OnUpdateRecord", "Name", "Tag"})
    EXPECT_NE(GetPropInfo(&ds, name), nullptr) << name;
  EXPECT_EQ(GetPropInfo(&ds, "State"), nullptr) << "run-time only";
}

TEST(PublishedProperties, AreReachableByName) {
  auto ds = MakeNumbered(2);
  TField* name = ds->FieldByName("Name");
  ASSERT_NE(GetPropInfo(name, "DisplayLabel"), nullptr);
  SetStrProp(name, "DisplayLabel", "Title");
  EXPECT_EQ(name->DisplayLabel(), "Title");
  EXPECT_EQ(GetOrdProp(name, "Size"), 20);
  EXPECT_EQ(GetEnumProp(ds->FieldByName("ID"), "Alignment"), "taRightJustify");
  SetStrProp(ds.get(), "Filter", "ID = 1");
  EXPECT_EQ(ds->Filter(), "ID = 1");
  EXPECT_EQ(GetSetProp(ds.get(), "FilterOptions"), "");
  SetSetProp(ds.get(), "FilterOptions", "foCaseInsensitive");
  EXPECT_TRUE(ds->FilterOptions().Contains(foCaseInsensitive));
  SetOrdProp(ds.get(), "Active", 0);
  EXPECT_FALSE(ds->Active());
  // Events with setters go through them, so a filter handler set by name
  // refilters the dataset.
  ds->Open();
  TMethod handler;
  handler.Code = TFilterRecordEvent([](TDataSet* d, bool& accept) {
    accept = d->FieldByName("ID")->AsInteger() == 2;
  });
  ds->SetFiltered(true);
  SetMethodProp(ds.get(), "OnFilterRecord", handler);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_TRUE(GetMethodProp(ds.get(), "OnFilterRecord").Assigned());
  TDataSource src;
  SetObjectProp(&src, "DataSet", ds.get());
  EXPECT_EQ(src.DataSet(), ds.get());
}

}  // namespace
