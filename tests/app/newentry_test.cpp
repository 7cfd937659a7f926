// The new-entry dialog over a real database file: its warnings and their
// "don't show again", copying the description, a refused post, Cancel by the
// title bar, OK on an edit; and one entry added with real keys end to end.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "app/common/exportformat.h"
#include "app/message/message.h"
#include "app/newentry/enternewrecord.h"
#include "entrytest.h"
#include "datactrls/edits/wwdbedit.h"
#include "datactrls/edits/wwdblkcb.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/speedbutton.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "winctrls/tb97button.h"

namespace {

using apptest::StoredEntries;
using apptest::Window;

using Dialog = apptest::DialogWindow;

// Answers the new-entry window with `act` (run once it is modal), message
// boxes with OK, and the notice with OK, ticking its box when `tick`.
// The notices' texts land in `notices` when given.
TDialogResponder Answer(std::function<void(TfrmEnterNewRecord*)> act, bool tick = false,
                        std::vector<std::string>* notices = nullptr) {
  return [act, tick, notices](TDialogRequest& r) -> TModalResult {
    if (r.Kind != TDialogKind::Form) return mrOk;
    if (auto* notice = dynamic_cast<TfrmMessage*>(r.Dialog)) {
      if (notices) notices->push_back(notice->lblMessage->Caption());
      notice->chkMessageBodyBlankConfirm->SetChecked(tick);
      return mrOk;
    }
    act(static_cast<TfrmEnterNewRecord*>(r.Dialog));
    return mrNone;
  };
}

std::string Hidden(const std::string& what, const std::string& name) {
  return "This new entry will not be immediately visible on the grid because the filter is set "
         "to not show entries with a " + what + " of '" + name + "'.";
}

void ClickOk(TfrmEnterNewRecord* f) {
  frmBug->dsetBug->FieldByName("Description")->SetAsString("crash on save");
  f->btnOk->Click();
}

TEST(NewEntry, WarnsOnceWhenTheFilterHidesTheEntryAndStillPosts) {
  struct Case {
    const char *status, *priority;
    bool statusUp, priorityUp;
    std::vector<std::string> notices;
  } cases[] = {
      {"1", "3", false, false, {}},
      {"1", "3", false, true, {Hidden("Priority", "Normal")}},
      {"4", "1", true, true, {Hidden("Priority", "Very High")}},
      {"4", "5", true, false, {Hidden("Status", "Completed")}},
  };
  for (const Case& c : cases) {
    Dialog d([&](TRegIniFile& reg) {
      reg.WriteString("Options", "NewRecord_Status", c.status);
      reg.WriteString("Options", "NewRecord_Priority", c.priority);
    });
    d.form->tbStatusFilter_Completed->SetDown(!c.statusUp);
    d.form->tbStatusFilter_NewReport->SetDown(!c.statusUp);
    d.form->tbPriorityFilter_Normal->SetDown(!c.priorityUp);
    d.form->tbPriorityFilter_VeryHigh->SetDown(!c.priorityUp);
    d.form->tbPriorityFilter_VeryLow->SetDown(true);
    std::vector<std::string> notices;
    TDialogResponderScope answers(Answer(ClickOk, false, &notices));
    d.form->AddEntry();
    EXPECT_EQ(notices, c.notices) << c.status << c.priority;
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "Status"), std::vector<std::string>{c.status});
  }
}

TEST(NewEntry, DontShowAgainSilencesTheNotice) {
  Dialog d;
  d.form->tbPriorityFilter_Normal->SetDown(false);
  {
    TDialogResponderScope answers(Answer(ClickOk, true));
    d.form->AddEntry();
    EXPECT_EQ(answers.Count(), 2);
  }
  EXPECT_FALSE(d.form->Reg->ReadBool("Settings", "Warn Record Not Visible", true));
  TDialogResponderScope answers(Answer(ClickOk));
  d.form->AddEntry();
  EXPECT_EQ(answers.Count(), 1);
  EXPECT_EQ(StoredEntries(d.scratch.Database()).size(), 2u);
}

TEST(NewEntry, CopyDescToReptFillsTheReportOnlyWhenOn) {
  for (bool copy : {true, false}) {
    Dialog d([&](TRegIniFile& reg) { reg.WriteBool("Options", "CopyDescToRept", copy); });
    TDialogResponderScope answers(Answer(ClickOk));
    d.form->AddEntry();
    EXPECT_EQ(StoredEntries(d.scratch.Database(), "Report"),
              std::vector<std::string>{copy ? "crash on save" : ""});
  }
}

TEST(NewEntry, ARefusedPostKeepsTheWindowWithTheRecord) {
  Dialog d;
  apptest::RefuseValue(d.scratch.Database(), "Reports", "Description", "crash on save");
  bool stillInserting = false;
  TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
    frmBug->dsetBug->FieldByName("Description")->SetAsString("crash on save");
    try {
      f->btnOk->Click();
    } catch (const Exception&) {
    }
    stillInserting = f->ModalResult() == mrNone && frmBug->dsetBug->State() == dsInsert;
    f->btnCancel->Click();
  }));
  d.form->AddEntry();
  EXPECT_TRUE(stillInserting);
  ASSERT_EQ(answers.Count(), 2);
  EXPECT_EQ(answers.Texts()[1].rfind("An error has occured while posting a record.\n\n", 0), 0u)
      << answers.Texts()[1];
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{});
}

TEST(NewEntry, TitleBarCloseCancelsAndOkOnAnEditLeavesItEditing) {
  Dialog d;
  const std::function<void(TfrmEnterNewRecord*)> closers[] = {
      [](TfrmEnterNewRecord* f) { f->Close(); },
      [](TfrmEnterNewRecord* f) {
        QTest::keyClick(vantrel::qt::ClientWidget(*f->dbeDescription), Qt::Key_Escape);
      }};
  for (const auto& close : closers) {
    TDialogResponderScope answers(Answer([&](TfrmEnterNewRecord* f) {
      frmBug->dsetBug->FieldByName("Description")->SetAsString("dropped");
      close(f);
    }));
    d.form->AddEntry();
    EXPECT_EQ(d.form->dsetBug->State(), dsBrowse);
  }
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{});
  TDialogResponderScope answers(Answer(ClickOk));
  d.form->AddEntry();
  TDialogResponderScope edit(Answer([](TfrmEnterNewRecord* f) {
    f->sbtnDeferred->SetDown(true);
    f->btnOk->Click();
  }));
  d.form->ShowEntryWindow("Edit Entry");
  EXPECT_EQ(d.form->dsetBug->State(), dsEdit);
  EXPECT_EQ(d.Field("Status"), "6");
}

TEST(NewEntry, EndToEndAProgramAndAnEntryTypedWithRealKeys) {
  Dialog d;
  TDialogResponderScope answers([](TDialogRequest& r) -> TModalResult {
    if (r.Kind == TDialogKind::InputQuery) {
      *r.Value = "Editor";
      return mrOk;
    }
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    frmEnterNewRecord->dbeDescription->SetFocus();
    QApplication::processEvents();
    QWidget* description = QApplication::focusWidget();
    QTest::keyClicks(description, "Typed entry");
    QTest::keyClick(description, Qt::Key_Return);
    return mrNone;
  });
  d.form->tbAddProgram->Click();
  d.form->tbAddBugReport->Click();
  EXPECT_EQ(StoredEntries(d.scratch.Database()), std::vector<std::string>{"2:Typed entry"});
  EXPECT_EQ(StoredEntries(d.scratch.Database(), "Report"), std::vector<std::string>{"Typed entry"});
  EXPECT_TRUE(d.form->tbDelete->Enabled());
}

// Entries typed into the new-entry window keep their description as plain
// text in Report; an export must write the text the Report pane shows, not
// read it as RTF (backslashes and braces are text there, and so is UTF-8).
TEST(NewEntry, AnExportOfTypedEntriesWritesWhatThePanesShow) {
  const char* const typed[] = {"Path C:\\temp\\new {x} caf\u00e9", "say \"hi\" \u00bd \u2014 na\u00efve \\par"};
  Dialog d([](TRegIniFile& reg) {
    for (const char* column : {"Program", "ReportNumber", "Identifier", "Status", "Priority", "Severity",
                               "Area", "Version", "ReportedBy", "ReportedDate", "Responsibility",
                               "FixedBy", "FixedDate", "FixedInVersion", "VerifiedBy", "VerifiedDate",
                               "ReportType", "Resolution", "Steps", "Workaround", "Attachment"})
      reg.WriteBool("Column Export", column, false);
  });
  std::string target, current;
  int filterIndex = 1;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    if (r.Kind == TDialogKind::SaveFile) {
      auto* save = static_cast<TSaveDialog*>(r.Dialog);
      save->SetFileName(target);
      save->SetFilterIndex(filterIndex);
      return mrOk;
    }
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    frmEnterNewRecord->dbeDescription->SetFocus();
    QApplication::processEvents();
    QWidget* description = QApplication::focusWidget();
    // Characters beyond ASCII have no key of their own: they come as key
    // events carrying the text, as an input method gives them.
    for (QChar ch : QString::fromUtf8(current.c_str())) {
      if (ch.unicode() < 0x80) QTest::keyClick(description, ch.toLatin1());
      else QTest::sendKeyEvent(QTest::Click, description, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    QTest::keyClick(description, Qt::Key_Return);
    return mrNone;
  });
  for (const char* text : typed) {
    current = text;
    d.form->tbAddBugReport->Click();
  }
  ASSERT_EQ(StoredEntries(d.scratch.Database(), "Report"), std::vector<std::string>(std::begin(typed), std::end(typed)));
  // What the panes show, entry by entry in the grid's order.
  std::string csv;
  std::vector<std::string> shown;
  for (d.form->dsetBug->First(); !d.form->dsetBug->Eof(); d.form->dsetBug->Next()) {
    shown.push_back(d.form->rtfReport->Text());
    csv += CsvRecord({d.Field("Description"), shown.back()});
  }
  EXPECT_EQ(shown, std::vector<std::string>(std::begin(typed), std::end(typed)));
  for (int format : {1, 2}) {
    filterIndex = format;
    target = d.scratch.Dir() + (format == 1 ? "/typed.csv" : "/typed.htm");
    d.form->mnuMain_File_Export_CurrentProgram_AllEntries->Click();
    std::string written;
    ASSERT_TRUE(ReadWholeFile(target, written));
    if (format == 1) {
      EXPECT_EQ(written, csv);
      continue;
    }
    for (const std::string& text : shown)
      EXPECT_NE(written.find("<TD COLSPAN=4>" + HtmlCellText(text) + "</TD>"), std::string::npos) << text;
  }
}

// The fourteen code buttons carry the pictures of the quick-filter buttons of
// their codes, and the window shows fourteen different faces.
TEST(NewEntry, CodeButtonsShowTheirQuickFilterPictures) {
  Dialog d;
  std::vector<std::pair<TSpeedButton*, TToolbarButton97*>> pairs;
  std::vector<QImage> faces;
  TDialogResponderScope answers([&](TDialogRequest& r) -> TModalResult {
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    TfrmEnterNewRecord* f = frmEnterNewRecord;
    TfrmBug* m = d.form;
    pairs = {{f->sbtnVeryHigh, m->tbPriorityFilter_VeryHigh}, {f->sbtnHigh, m->tbPriorityFilter_High},
             {f->sbtnNormal, m->tbPriorityFilter_Normal}, {f->sbtnLow, m->tbPriorityFilter_Low},
             {f->sbtnVeryLow, m->tbPriorityFilter_VeryLow}, {f->sbtnNew, m->tbStatusFilter_NewReport},
             {f->sbtnInProcess, m->tbStatusFilter_InProcess}, {f->sbtnFixed, m->tbStatusFilter_Fixed},
             {f->sbtnCompleted, m->tbStatusFilter_Completed}, {f->sbtnDelegated, m->tbStatusFilter_Delegated},
             {f->sbtnDeferred, m->tbStatusFilter_Deferred},
             {f->sbtnNoLongerRelevant, m->tbStatusFilter_NoLongerRelevant},
             {f->sbtnWillNotBeFixed, m->tbStatusFilter_WillNotBeFixed},
             {f->sbtnCouldNotDuplicate, m->tbStatusFilter_CouldNotDuplicate}};
    f->Show();
    QApplication::processEvents();
    const QImage shot = vantrel::qt::ClientWidget(*f)->grab().toImage();
    const double scale = double(shot.width()) / f->ClientWidth();
    for (auto [button, filter] : pairs) {
      TBitmap* mine = button->Glyph();
      TBitmap* theirs = filter->Glyph();
      EXPECT_FALSE(mine->Empty()) << button->Name();
      bool same = mine->Width() == theirs->Width() && mine->Height() == theirs->Height();
      for (int y = 0; same && y < mine->Height(); ++y)
        for (int x = 0; same && x < mine->Width(); ++x)
          same = mine->Canvas()->Pixels(x, y) == theirs->Canvas()->Pixels(x, y);
      EXPECT_TRUE(same) << button->Name();
      faces.push_back(shot.copy(int(button->Left() * scale), int(button->Top() * scale),
                                int(button->Width() * scale), int(button->Height() * scale)));
    }
    f->btnCancel->Click();
    return mrCancel;
  });
  d.form->AddEntry();
  ASSERT_EQ(faces.size(), 14u);
  for (std::size_t i = 0; i < faces.size(); ++i)
    for (std::size_t j = i + 1; j < faces.size(); ++j)
      EXPECT_NE(faces[i], faces[j]) << pairs[i].first->Name() << " looks like " << pairs[j].first->Name();
}

TEST(NewEntry, TypedLookupValuesJoinTheirTablesAndAReporterStampsTheDateAndTime) {
  Dialog d([](TRegIniFile& reg) { reg.WriteBool("Options", "EnterDate", false); });
  TTestClock clock(EncodeDate(2026, 7, 8) + 0.5);
  frmEnterNewRecord->dblcVersion->OnDropDown(frmEnterNewRecord->dblcVersion);
  EXPECT_EQ(frmEnterNewRecord->dblcVersion->DropDownWidth(), 150);
  TDialogResponderScope answers([](TDialogRequest& r) -> TModalResult {
    if (r.Dialog != frmEnterNewRecord) return mrOk;
    auto type = [](TWinControl* control, const char* text) {
      control->SetFocus();
      QApplication::processEvents();
      QTest::keyClicks(QApplication::focusWidget(), text);
    };
    type(frmEnterNewRecord->dbeDescription, "Lookups");
    type(frmEnterNewRecord->dblcReportedBy, "Dee");
    type(frmEnterNewRecord->dblcVersion, "3.0");
    QTest::mouseClick(vantrel::qt::ClientWidget(*frmEnterNewRecord->btnOk), Qt::LeftButton);
    return mrNone;
  });
  d.form->AddEntry();
  const std::string db = d.scratch.Database();
  EXPECT_EQ(apptest::StoredValues(db, "User", "User"), std::vector<std::string>{"Dee"});
  EXPECT_EQ(apptest::StoredValues(db, "Version", "Version"), std::vector<std::string>{"3.0"});
  EXPECT_EQ(StoredEntries(db, "ReportedBy"), std::vector<std::string>{"Dee"});
  EXPECT_EQ(StoredEntries(db, "Version"), std::vector<std::string>{"3.0"});
  EXPECT_DOUBLE_EQ(d.form->dsetBug->FieldByName("ReportedDate")->AsDateTime(),
                   EncodeDate(2026, 7, 8) + 0.5);
}

}  // namespace

namespace {

TEST(NewEntry, PlacementIsRestoredWithinTheScreenAndSavedAtTheEnd) {
  struct Case { int top, left, wantTop, wantLeft; } cases[] = {
      {100000, 5, Screen->Height() / 2, 5}, {40, 100000, 40, Screen->Width() / 2}};
  for (const Case& c : cases) {
    Dialog d([&](TRegIniFile& reg) {
      reg.WriteInteger("Options", "NewReportWindowTop", c.top);
      reg.WriteInteger("Options", "NewReportWindowLeft", c.left);
    });
    EXPECT_EQ(frmEnterNewRecord->Top(), c.wantTop);
    EXPECT_EQ(frmEnterNewRecord->Left(), c.wantLeft);
    frmEnterNewRecord->SetBounds(7, 9, frmEnterNewRecord->Width(), frmEnterNewRecord->Height());
    delete frmEnterNewRecord;
    frmEnterNewRecord = nullptr;
    EXPECT_EQ(d.form->Reg->ReadInteger("Options", "NewReportWindowTop", 0), 9);
    EXPECT_EQ(d.form->Reg->ReadInteger("Options", "NewReportWindowLeft", 0), 7);
  }
}

}  // namespace
