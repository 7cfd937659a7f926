// Datasets, persistent fields and data sources in form definitions.

#include <gtest/gtest.h>

#include "memdataset.h"
#include "platform/classlib/core/filer.h"

namespace {

class TDataForm : public TComponent {
  DECLARE_CLASS(TDataForm, TComponent)
 public:
  explicit TDataForm(TComponent* owner = nullptr) : TComponent(owner) {}
};
IMPLEMENT_CLASS(TDataForm, TComponent)

TEST(Streaming, FieldsTravelInsideTheirDataSetAndReferencesAreFixedUp) {
  TDataForm form;
  form.SetName("Form1");
  auto* table = new TMemDataSet(&form);
  table->SetName("Table1");
  table->SetFilter("ID > 2");
  auto* id = new TIntegerField(&form);
  id->SetName("Table1ID");
  id->SetFieldName("ID");
  id->SetDisplayLabel("Number");
  id->SetDataSet(table);
  auto* source = new TDataSource(&form);
  source->SetName("Source1");
  source->SetDataSet(table);
  std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find("object Table1: TMemDataSet"), std::string::npos) << text;
  EXPECT_NE(text.find("object Table1ID: TIntegerField"), std::string::npos) << text;
  EXPECT_NE(text.find("DisplayLabel = 'Number'"), std::string::npos) << text;
  EXPECT_NE(text.find("DataSet = Table1"), std::string::npos) << text;

  TDataForm copy;
  ReadComponentFromText(text, &copy);
  auto* table2 = As<TMemDataSet>(copy.FindComponent("Table1"));
  auto* source2 = As<TDataSource>(copy.FindComponent("Source1"));
  ASSERT_NE(table2, nullptr);
  ASSERT_NE(source2, nullptr);
  EXPECT_EQ(source2->DataSet(), table2);
  EXPECT_EQ(table2->Filter(), "ID > 2");
  ASSERT_EQ(table2->FieldCount(), 1);
  EXPECT_EQ(table2->Fields()[0]->FieldName(), "ID");
  EXPECT_EQ(table2->Fields()[0]->DisplayLabel(), "Number");
  EXPECT_EQ(table2->Fields()[0]->Owner(), &copy);
}

TEST(Streaming, AnActiveDataSetOpensAfterTheWholeFormIsRead) {
  const char* text =
      "object Form1: TDataForm\n"
      "  object Table1: TMemDataSet\n"
      "    Active = True\n"
      "  end\n"
      "end\n";
  TDataForm form;
  ReadComponentFromText(text, &form);
  auto* table = As<TMemDataSet>(form.FindComponent("Table1"));
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->Active());
}

}  // namespace
