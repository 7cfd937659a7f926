// The memo panes: formatting commands, separator lines, addenda, the grid's
// clipboard commands, the memo tabs' look and the RTF kept through a post.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QApplication>
#include <QTest>
#include <QTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "app/main/bug.h"
#include "apptest.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/graphics/graphics.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97button.h"

namespace {

const std::string kLine(25, '_');

class Memos : public apptest::MainWindowTest {
 protected:
  TModalResult Answer(TDialogRequest&) override { return mrOk; }

  void AddEntry(const std::string& description, const std::string& report) {
    apptest::AddEntry(form, description, report);
  }
  std::string Stored(const char* field) { return form->dsetBug->FieldByName(field)->AsString(); }
  // The newest entry's Report as the file holds it, read past the engine.
  std::string RawReport() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(scratch.Database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT Report FROM Reports ORDER BY ReportNumber DESC LIMIT 1", -1, &st, nullptr);
    std::string text;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
      text.assign(static_cast<const char*>(sqlite3_column_blob(st, 0)), sqlite3_column_bytes(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return text;
  }
  // Makes memo `activeMemo` the active one with the caret at `caret`.
  TDBRichEdit* Activate(int activeMemo, int caret) {
    form->ActiveMemo = activeMemo;
    TDBRichEdit* memo = form->MemoOf(activeMemo);
    memo->SetSelStart(caret);
    memo->SetSelLength(0);
    return memo;
  }

};

// The memo pane takes the room below the grid, its splitter and the filter bar.
TEST_F(Memos, ThePaneBelowTheGridShowsTheMemo) {
  const TPanel* grid = form->pnlGrid;
  EXPECT_EQ(form->splGrid->Height(), 3);
  EXPECT_GE(form->pnlRecord->Top(), grid->Top() + grid->Height());
  EXPECT_GE(form->pnlRecord->Top() + form->pnlRecord->Height(), form->pnlMain->ClientHeight() - 1);
  EXPECT_GT(form->rtfReport->Height(), 100);
}

// Formatting commands on an entry in browse state (as after start-up) must
// survive the next scroll: each asks for edit state first.
TEST_F(Memos, FormattingSurvivesTheNextScroll) {
  struct Case {
    const char* name;
    std::function<void(TfrmBug*)> command;
    const char* rtfMark;
  } cases[] = {
      {"bold", [](TfrmBug* f) { f->btnRTF_Bold->SetDown(true); f->btnRTF_Bold->OnClick(f->btnRTF_Bold); }, "\\b"},
      {"italic", [](TfrmBug* f) { f->btnRTF_Italic->SetDown(true); f->btnRTF_Italic->OnClick(f->btnRTF_Italic); }, "\\i"},
      {"underline", [](TfrmBug* f) { f->btnRTF_Underline->SetDown(true); f->btnRTF_Underline->OnClick(f->btnRTF_Underline); }, "\\ul"},
      {"centre", [](TfrmBug* f) { f->btnRTF_CenterAlign->OnClick(f->btnRTF_CenterAlign); }, "\\qc"},
      {"bullets", [](TfrmBug* f) { f->btnRTF_Bullets->SetDown(true); f->btnRTF_Bullets->OnClick(f->btnRTF_Bullets); }, "\\pn"},
      {"larger", [](TfrmBug* f) { f->tbIncreaseFontSize->OnClick(f->tbIncreaseFontSize); }, "\\fs22"},
      {"line", [](TfrmBug* f) { f->tbReportLine->OnClick(f->tbReportLine); }, "_____"},
  };
  const std::string words = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 words\\par}";
  AddEntry("first", words);
  AddEntry("second", "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form->dsetBug->First();
    form->dsetBug->Edit();
    form->dsetBug->FieldByName("Report")->SetAsString(words);
    form->dsetBug->Post();
    ASSERT_EQ(form->dsetBug->State(), dsBrowse);
    ASSERT_EQ(form->rtfReport->Text(), "words");
    Activate(0, 0)->SelectAll();
    c.command(form);
    form->dsetBug->Next();
    form->dsetBug->First();
    EXPECT_NE(Stored("Report").find(c.rtfMark), std::string::npos) << Stored("Report");
  }
}

TEST_F(Memos, DecreasingAtSizeOneDoesNothing) {
  AddEntry("entry", "");
  TDBRichEdit* memo = Activate(0, 0);
  form->dsetBug->Edit();
  memo->SetText("x");
  memo->SelectAll();
  memo->SelAttributes()->SetSize(1);
  form->tbDecreaseFontSize->OnClick(form->tbDecreaseFontSize);
  EXPECT_EQ(memo->SelAttributes()->Size(), 1);
  memo->SelAttributes()->SetSize(2);
  form->tbDecreaseFontSize->OnClick(form->tbDecreaseFontSize);
  EXPECT_EQ(memo->SelAttributes()->Size(), 1);
}

TEST_F(Memos, SeparatorLineGoesWhereItsMemoWantsIt) {
  struct Case {
    int activeMemo;
    const char* text;
    int caret;
    std::string expected;
  } cases[] = {
      {0, "abc", 1, "a\r\n" + kLine + "\r\nbc"},   // the report: mid-line, on a line of its own
      {0, "", 0, kLine + "\r\n"},                  // at a line start no break first
      {2, "abc", 1, "abc\r\n" + kLine + "\r\n"},   // steps: at the end of the text
      {1, "abc\r\n", 0, "abc\r\n" + kLine + "\r\n"},  // resolution ending in a break
  };
  AddEntry("entry", "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.activeMemo);
    form->dsetBug->Edit();
    TDBRichEdit* memo = form->MemoOf(c.activeMemo);
    memo->SetText(c.text);
    Activate(c.activeMemo, c.caret);
    form->InsertSeparatorLine();
    EXPECT_EQ(memo->Text(), c.expected);
    form->dsetBug->Cancel();
  }
}

TEST_F(Memos, AddendumCarriesTheDateAndOnlyTheReportTakesItsFont) {
  TTestClock clock(EncodeDate(2026, 3, 9) + EncodeTime(14, 0, 0, 0));
  form->Reg->WriteInteger("Options", "FontSize_Addendum", 13);
  form->Reg->WriteBool("Options", "FontBold_Addendum", true);
  AddEntry("entry", "");
  for (int activeMemo : {0, 1}) {
    SCOPED_TRACE(activeMemo);
    TDBRichEdit* memo = form->MemoOf(activeMemo);
    form->dsetBug->Edit();
    memo->SetText("note");
    form->dsetBug->Post();
    Activate(activeMemo, 0);
    form->btnInsertAddendum->OnClick(form->btnInsertAddendum);
    EXPECT_EQ(form->dsetBug->State(), dsEdit);
    EXPECT_EQ(memo->Text(), "note\r\n3/9/2026: ");
    memo->SetSelStart(memo->GetTextLen() - 2);
    memo->SetSelLength(1);
    const bool report = activeMemo == 0;
    EXPECT_EQ(memo->SelAttributes()->Size() == 13, report);
    EXPECT_EQ(memo->SelAttributes()->Style().Contains(fsBold), report);
    EXPECT_EQ(memo->SelAttributes()->Color() == TColor(0x808080), report);
    form->dsetBug->Cancel();
  }
}

TEST_F(Memos, GridCutEmptiesTheFieldAndCopyKeepsIt) {
  AddEntry("crash on save", "");
  form->FocusArea = 1;
  // The grid's current column: Description.
  for (int i = 0; i < form->dbgBug->GetFieldCount(); ++i)
    if (form->dbgBug->GetField(i)->FieldName() == "Description") form->dbgBug->SelectDataColumn(i);
  ASSERT_EQ(form->dbgBug->GetSelectedField()->FieldName(), "Description");
  form->CopyCommand();
  EXPECT_EQ(Clipboard()->AsText(), "crash on save");
  EXPECT_EQ(Stored("Description"), "crash on save");
  Clipboard()->SetAsText("");
  form->CutCommand();
  EXPECT_EQ(Clipboard()->AsText(), "crash on save");
  EXPECT_EQ(form->dsetBug->State(), dsEdit);
  EXPECT_EQ(Stored("Description"), "");
  form->PasteCommand();
  EXPECT_EQ(Stored("Description"), "crash on save");
}

// A memo whose field has text is drawn bold on its tab (when the option asks).
TEST_F(Memos, TabOfAMemoWithTextIsBold) {
  const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 steps\\par}";
  AddEntry("entry", "");
  form->dsetBug->Edit();
  form->dsetBug->FieldByName("Steps")->SetAsString(rtf);
  form->dsetBug->Post();
  auto inkOfTab = [this](int tab) {
    auto shot = testing_support::Snapshot(form->tcRTFs);
    const TRect r = form->tcRTFs->TabRect(tab), nc = form->tcRTFs->NonClientMargins();
    int ink = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const TColor c = shot->Canvas()->Pixels(nc.Left + x, nc.Top + y);
        if ((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF) < 3 * 0x50) ++ink;
      }
    return ink;
  };
  // Room below the grid for the memo tabs.
  form->SetHeight(900);
  Application->ProcessMessages();
  ASSERT_GT(form->tcRTFs->Height(), 40);
  const int boldSteps = inkOfTab(1), plainWorkaround = inkOfTab(2);
  form->Reg->WriteBool("Options", "ShowMemoFieldStatus", false);
  const int normalSteps = inkOfTab(1);
  EXPECT_GT(boldSteps, normalSteps + normalSteps / 10);
  EXPECT_GT(plainWorkaround, 0);
}

// A plain-text memo nobody changes keeps its bytes too: control characters and
// a leading byte-order mark are text the editor cannot show, not noise to drop.
TEST_F(Memos, UnchangedPlainTextIsKeptByteForByte) {
  const std::string memos[] = {"a\x01" "b", "\xEF\xBB\xBF" "marked", "\xEF\xBB\xBF\xEF\xBB\xBF" "twice",
                               "tab\tand\x1F" "unit\r\nline", "\x7F" "del"};
  AddEntry("other", "");
  for (bool plain : {false, true})
  for (const std::string& memo : memos) {
    SCOPED_TRACE(memo + (plain ? " plain" : " rich"));
    if (plain) form->SetPlainTextOn();
    AddEntry("entry", memo);
    for (int save = 0; save < 2; ++save) {
      // The user clicks into the memo, reads, and goes to another entry.
      form->dsetBug->Last();
      QWidget* pane = vantrel::qt::ClientWidget(*form->rtfReport);
      QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
      QApplication::processEvents();
      QTest::keyClick(pane, Qt::Key_End);
      form->dsetBug->Edit();
      form->dsetBug->FieldByName("Description")->SetAsString("saved " + std::to_string(save));
      form->dsetBug->First();
      form->dsetBug->Last();
      EXPECT_EQ(Stored("Report"), memo);
      EXPECT_EQ(RawReport(), memo);
    }
    form->dsetBug->Close();
    form->dsetBug->Open();
    form->dsetBug->Last();
    EXPECT_EQ(Stored("Report"), memo);
  }
}

// With no entry shown the memo tabs are disabled: the selected tab's caption
// (" Report ") is still readable on the face; disabled type tabs likewise.
TEST_F(Memos, DisabledTabsKeepTheirCaptionsReadable) {
  form->SetHeight(900);
  form->tcType->SetEnabled(false);
  Application->ProcessMessages();
  ASSERT_EQ(form->tcRTFs->Tabs()->Strings(form->tcRTFs->TabIndex()), " Report ");
  for (TExtTabControl* tabs : {form->tcRTFs, form->tcType}) {
    SCOPED_TRACE(tabs->Name());
    ASSERT_FALSE(tabs->Enabled());
    auto shot = testing_support::Snapshot(tabs);
    TRect r = tabs->TabRect(tabs->TabIndex());
    const TRect nc = tabs->NonClientMargins();
    InflateRect(r, -4, -4);  // the text, not the tab's edges
    int text = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        text += shot->Canvas()->Pixels(nc.Left + x, nc.Top + y) == ColorToRGB(clInactiveCaption);
    EXPECT_GT(text, 10);
  }
}

// On an empty database every tab of the disabled strips, selected or not,
// shows its caption in a colour that stands out from its own face, whichever
// colour the options give the other tabs.
TEST_F(Memos, EveryDisabledTabsCaptionStandsOutFromItsFace) {
  form->SetHeight(900);
  form->tcType->SetEnabled(false);
  const auto brightness = [](TColor c) {
    c = ColorToRGB(c);
    return (299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c)) / 1000;
  };
  for (TColor inactive : {clBtnShadow, clBtnFace, TColor(0xA0A0A0)}) {
    for (TExtTabControl* tabs : {form->tcRTFs, form->tcType}) {
      tabs->SetTabInactiveColor(inactive);
      Application->ProcessMessages();
      ASSERT_FALSE(tabs->Enabled()) << tabs->Name();
      auto shot = testing_support::Snapshot(tabs);
      const TRect nc = tabs->NonClientMargins();
      for (int i = 0; i < tabs->Tabs()->Count(); ++i) {
        const int face = brightness(i == tabs->TabIndex() ? tabs->TabActiveColor() : inactive);
        TRect r = tabs->TabRect(i);
        InflateRect(r, -4, -4);  // the text, not the tab's edges
        int ink = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
          for (int x = r.Left; x < r.Right; ++x)
            ink += std::abs(brightness(shot->Canvas()->Pixels(nc.Left + x, nc.Top + y)) - face) >= 60;
        EXPECT_GT(ink, 10) << tabs->Name() << " tab " << i << " on " << std::hex << inactive;
      }
    }
  }
}

// A memo nobody changes keeps its stored bytes through a post and a reload.
TEST_F(Memos, UnchangedRtfIsKeptByteForByte) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}"
      "\\viewkind4\\uc1\\pard\\cf1\\b\\f0\\fs20 Odd   spacing\\b0\\par\r\n}\r\n";
  AddEntry("entry", rtf);
  AddEntry("other", "");
  form->dsetBug->First();
  form->dsetBug->Edit();
  form->dsetBug->FieldByName("Description")->SetAsString("changed elsewhere");
  form->dsetBug->Post();
  form->dsetBug->Last();
  form->dsetBug->First();
  EXPECT_EQ(Stored("Report"), rtf);
  form->dsetBug->Close();
  form->dsetBug->Open();
  form->dsetBug->First();
  EXPECT_EQ(Stored("Report"), rtf);
  EXPECT_EQ(form->rtfReport->Text(), "Odd   spacing");
  // Plain-text mode shows the text, never the markup, and stores nothing by itself.
  form->SetPlainTextOn();
  form->dsetBug->Last();
  form->dsetBug->First();
  EXPECT_EQ(form->rtfReport->Text(), "Odd   spacing");
  form->dsetBug->Edit();
  form->dsetBug->Post();
  EXPECT_EQ(Stored("Report"), rtf);
  // The document font applied to an empty memo is no change of the entry.
  form->SetPlainTextOff();
  form->dsetBug->Last();
  form->ApplyDocumentFont();
  form->dsetBug->Edit();
  form->dsetBug->FieldByName("Description")->SetAsString("touched");
  form->dsetBug->Post();
  EXPECT_TRUE(form->dsetBug->FieldByName("Report")->IsNull());
}

}  // namespace

namespace {

using testing_support::Pump;

// The height of the last line of the focused memo as laid out on screen.
double LastLineHeight() {
  auto* editor = qobject_cast<QTextEdit*>(QApplication::focusWidget());
  if (!editor) return -1;
  const QTextBlock last = editor->document()->lastBlock();
  return last.layout() && last.layout()->lineCount() > 0 ? last.layout()->lineAt(0).height() : -1;
}

// Text typed after a bullet list is ended, by Enter on its empty item or by
// the Bullets button, is stored in the size it shows in while typed: read
// back, its line is as high as it was.
TEST_F(Memos, TextTypedAfterAListIsStoredInTheSizeItShows) {
  struct Case {
    const char* name;
    std::function<void(TfrmBug*)> endList;
  } cases[] = {
      {"Enter on the empty item",
       [](TfrmBug*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }},
      {"the Bullets button",
       [](TfrmBug* f) {
         f->btnRTF_Bullets->SetDown(false);
         f->btnRTF_Bullets->OnClick(f->btnRTF_Bullets);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddEntry(c.name, "");
    form->rtfReport->SetFocus();
    Pump();
    QTest::keyClicks(QApplication::focusWidget(), "one");
    form->btnRTF_Bullets->SetDown(true);
    form->btnRTF_Bullets->OnClick(form->btnRTF_Bullets);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    c.endList(form);
    QTest::keyClicks(QApplication::focusWidget(), "after");
    Pump();
    const double typed = LastLineHeight();
    ASSERT_GT(typed, 0);
    form->dsetBug->Post();
    form->dsetBug->Refresh();
    form->rtfReport->SetFocus();
    Pump();
    ASSERT_EQ(form->rtfReport->Lines()->Strings(form->rtfReport->Lines()->Count() - 1), "after");
    EXPECT_EQ(LastLineHeight(), typed) << RawReport();
  }
}

}  // namespace
