// The data-aware memos over the in-memory dataset, driven with real keys.
#include "platform/classlib/dbctrls/dbctrls.h"

#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/db/memdataset.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/stdctrls/place.h"

using namespace testing_support;

namespace {

QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy(); }

const char kRtf[] = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Arial;}}\\f0\\fs20 plain \\b bold\\b0\\par}";

// A dataset of two records with a memo field, a source and a form to show on.
struct Fixture {
  std::unique_ptr<TForm> form = ShownForm(300, 200);
  TMemDataSet data;
  TDataSource source;
  TEdit* other = new TEdit(form.get());  // somewhere to move the focus to

  Fixture() {
    data.FieldDefs().Add("ID", ftInteger);
    data.FieldDefs().Add("Notes", ftMemo);
    data.Open();
    data.AppendRecord({Variant(1), Variant(std::string(kRtf))});
    data.AppendRecord({Variant(2), Variant(std::string("just text\r\nline two"))});
    data.First();
    source.SetDataSet(&data);
    other->SetParent(form.get());
    other->SetTop(150);
  }
  template <class Control>
  Control* Place() {
    auto* c = testing_support::Place<Control>(form.get(), 0, 0, 200, 100);
    c->SetDataSource(&source);
    c->SetDataField("Notes");
    return c;
  }
  std::string Notes() { return data.FieldByName("Notes")->AsString(); }
};

template <class Control>
class DataMemoTest : public ::testing::Test {};
using Controls = ::testing::Types<TDBMemo, TDBRichEdit>;
TYPED_TEST_SUITE(DataMemoTest, Controls);

}  // namespace

// Both memos follow the field data link rules alike.
TYPED_TEST(DataMemoTest, EditOnTypingResetOnEscapeWriteOnExitAndPost) {
  // Counted from the memo's OnChange, which runs once more as the fixture's
  // dataset closes and the memo empties: the count outlives the fixture.
  int changes = 0;
  Fixture f;
  auto* memo = f.Place<TypeParam>();
  f.data.Next();
  EXPECT_EQ(memo->Text(), "just text\r\nline two");
  memo->OnChange = [&](TObject*) { ++changes; };
  memo->SetFocus();
  memo->SetSelStart(4);
  QTest::keyClicks(Native(memo), "X");
  EXPECT_EQ(f.data.State(), dsEdit);
  EXPECT_EQ(memo->Text(), "justX text\r\nline two");
  EXPECT_TRUE(memo->Modified());
  EXPECT_EQ(changes, 1);
  // Escape drops the change; the record stays in edit state.
  QTest::keyClick(Native(memo), Qt::Key_Escape);
  EXPECT_EQ(memo->Text(), "just text\r\nline two");
  EXPECT_EQ(f.Notes(), "just text\r\nline two");
  // Leaving the control writes the change into the record; Post keeps it.
  memo->SetSelStart(0);
  QTest::keyClicks(Native(memo), "Y");
  f.other->SetFocus();
  EXPECT_NE(f.Notes().find("Yjust text"), std::string::npos);
  f.data.Post();
  f.data.Prior();
  f.data.Next();
  EXPECT_NE(memo->Text().find("Yjust text"), std::string::npos);
  // Post without leaving writes too.
  memo->SetFocus();
  memo->SetSelStart(0);
  QTest::keyClicks(Native(memo), "Z");
  f.data.Post();
  EXPECT_NE(f.Notes().find("ZYjust"), std::string::npos);
}

TYPED_TEST(DataMemoTest, NoTypingWhenTheSourceMayNotEdit) {
  Fixture f;
  auto* memo = f.Place<TypeParam>();
  f.data.Next();
  f.source.SetAutoEdit(false);
  memo->SetFocus();
  QTest::keyClicks(Native(memo), "X");
  QTest::keyClick(Native(memo), Qt::Key_Delete);
  EXPECT_EQ(memo->Text(), "just text\r\nline two");
  EXPECT_EQ(f.data.State(), dsBrowse);
  // A read-only control never edits, whatever the source allows.
  f.source.SetAutoEdit(true);
  memo->SetReadOnly(true);
  QTest::keyClicks(Native(memo), "X");
  EXPECT_EQ(f.data.State(), dsBrowse);
  EXPECT_EQ(memo->Text(), "just text\r\nline two");
}

TEST(DBRichEditTest, LoadsRtfFormattedAndWritesRtfBack) {
  Fixture f;
  auto* rich = f.Place<TDBRichEdit>();
  EXPECT_EQ(rich->Text(), "plain bold");
  const TRtfDocument shown = rich->Document();
  ASSERT_EQ(shown.Paragraphs[0].Runs.size(), 2u);
  EXPECT_TRUE(shown.Paragraphs[0].Runs[1].Format.Style.Contains(fsBold));
  rich->SetFocus();
  rich->SetSelStart(0);
  QTest::keyClicks(Native(rich), "A ");
  f.data.Post();
  ASSERT_TRUE(IsRtfText(f.Notes()));
  EXPECT_EQ(RtfRead(f.Notes()).PlainText(), "A plain bold");
  EXPECT_TRUE(RtfRead(f.Notes()).Paragraphs[0].Runs.back().Format.Style.Contains(fsBold));
}

TEST(DBRichEditTest, PlainTextModeLeavesAnUnchangedFieldAlone) {
  Fixture f;
  auto* rich = f.Place<TDBRichEdit>();
  rich->SetPlainText(true);
  f.data.Next();
  f.data.Prior();  // shown again in plain-text mode
  EXPECT_EQ(rich->Text(), "plain bold");
  const TRtfDocument shown = rich->Document();
  for (const TRtfRun& run : shown.Paragraphs[0].Runs) EXPECT_TRUE(run.Format.Style.Empty());
  // Another control edits the record; this field keeps its bytes.
  f.data.Edit();
  f.data.FieldByName("ID")->SetAsInteger(7);
  rich->SetFocus();
  f.other->SetFocus();
  f.data.Post();
  EXPECT_EQ(f.Notes(), kRtf);
  // Typed in, it is text from then on.
  rich->SetFocus();
  rich->SetSelStart(0);
  QTest::keyClicks(Native(rich), "B");
  f.data.Post();
  EXPECT_EQ(f.Notes(), "Bplain bold");
}
