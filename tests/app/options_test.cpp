// The options dialog: every value loaded and saved, the New Entry lists and
// their codes, Apply and what it does to the main window, the lookup tables,
// the font size box and the HTML colours with their custom-colours file.

#include <gtest/gtest.h>

#include <optional>

#include <QApplication>
#include <QImage>

#include <filesystem>
#include <fstream>

#include "app/main/bug.h"
#include "app/options/options.h"
#include "entrytest.h"
#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/ranges.h"
#include "platform/classlib/stdctrls/tabs.h"
#include "winctrls/colcombo.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

using testing_support::Click;
using testing_support::ClickScrollArrow;
using testing_support::ClientOf;
using testing_support::Pump;

enum Kind { Bool, Int, Str };

// A stored value, its default, another value, and the control showing it ("" none).
struct Value {
  const char* section;
  const char* name;
  Kind kind;
  std::string fallback, other;
  const char* control;
};
const Value kValues[] = {
    {"Options", "ShowEntryDialog", Bool, "1", "0", "chkShowEntryDialog"},
    {"Options", "CopyDescToRept", Bool, "1", "0", "chkCopyDescriptionToReport"},
    {"Options", "EnterDate", Bool, "1", "0", "chkEnterDate"},
    {"Options", "ConfirmDeletes", Bool, "1", "0", "chkConfirmDeletes"},
    {"Options", "ShowMemoFieldStatus", Bool, "1", "0", "chkShowMemoFieldStatus"},
    {"Options", "PlainText", Bool, "0", "1", "chkPlainText"},
    {"Column Visible", "ShowRowIndicator", Bool, "1", "0", "chkShowIndicator"},
    {"Column Visible", "Status", Bool, "1", "0", "chkColumn_Status"},
    {"Column Visible", "Responsibility", Bool, "1", "0", "chkColumn_Responsibility"},
    {"Column Export", "Program", Bool, "1", "0", "chkExport_Program"},
    {"Column Export", "Workaround", Bool, "1", "0", "chkExport_Workaround"},
    {"Toolbar Visibility", "Reports", Bool, "1", "0", "chkToolbars_Reports"},
    {"Toolbar Visibility", "Memo Color && Size", Bool, "1", "0", "chkToolbars_MemoColor"},
    {"Toolbar Visibility", "Attachments", Bool, "1", "0", "chkToolbars_Attachments"},
    {"Options", "InactiveTabColor", Int, "0", "2", "rgInactiveTabColor"},
    {"Options", "RowIndColor", Int, "0", "1", "rgRowIndicatorColor"},
    {"Options", "DateTimeFormat", Int, "0", "1", "rgDateTime"},
    {"Options", "SortFieldColor", Int, "8421504", "255", "ccmbSortFieldColor"},
    // Addenda are drawn grey until a colour is chosen: the dialog keeps that grey.
    {"Options", "AddendumFieldColor", Int, "8421504", "16711680", "ccmbAddendumColor"},
    {"Options", "SeperatorLine", Str, std::string(25, '_'), "=====", "txtSeperatorLine"},
    {"Options", "FontName_Document", Str, "Arial", "DejaVu Sans", ""},
    {"Options", "FontSize_Document", Int, "10", "14", ""},
    {"Options", "FontSize_Grid", Int, "8", "12", ""},
    {"Options", "FontName_Tree", Str, "MS Sans Serif", "Arial", ""},
    {"Options", "FontBold_Addendum", Bool, "0", "1", ""},
    {"Options", "FontItalic_Tree", Bool, "0", "1", ""},
    {"Options", "NewRecord_Status", Str, "1", "3", ""},
    {"Options", "NewRecord_Priority_Feature", Str, "3", "5", ""},
    {"Settings", "HTML Export Color Title", Int, "7912636", "255", "pnlTitle"},
    {"Settings", "HTML Export Color Data", Int, "12902911", "65280", "pnlData"},
    {"Settings", "HTML Export Color Background", Int, "16777215", "0", "pnlBackground"},
    {"Settings", "Cell Height", Int, "1", "3", "trackbarCellHeight"},
};

void Write(TRegIniFile& reg, const Value& v, const std::string& text) {
  if (v.kind == Bool) reg.WriteBool(v.section, v.name, text == "1");
  else if (v.kind == Int) reg.WriteInteger(v.section, v.name, std::stoi(text));
  else reg.WriteString(v.section, v.name, text);
}

// What is stored ("?" when nothing is).
std::string Read(TRegIniFile& reg, const Value& v) {
  TStringList names;
  reg.ReadSection(v.section, &names);
  if (names.IndexOf(v.name) < 0) return "?";
  if (v.kind == Bool) return reg.ReadBool(v.section, v.name, false) ? "1" : "0";
  if (v.kind == Int) return std::to_string(reg.ReadInteger(v.section, v.name, 0));
  return reg.ReadString(v.section, v.name, "");
}

// What a control shows, in the stored value's terms.
std::string Shown(TfrmOptions* d, const char* name) {
  TComponent* c = d->FindComponent(name);
  if (auto* box = dynamic_cast<TCheckBox*>(c)) return box->Checked() ? "1" : "0";
  if (auto* group = dynamic_cast<TRadioGroup*>(c)) return std::to_string(group->ItemIndex());
  if (auto* colour = dynamic_cast<TColorComboBox*>(c)) return std::to_string(int(colour->SelectedColor()));
  if (auto* combo = dynamic_cast<TComboBox*>(c)) return combo->Text();
  if (auto* panel = dynamic_cast<TPanel*>(c)) return std::to_string(int(panel->Color()));
  if (auto* bar = dynamic_cast<TTrackBar*>(c)) return std::to_string(bar->Position());
  return "no control " + std::string(name);
}

class Options : public apptest::MainWindowTest {
 protected:
  std::function<void(TfrmOptions*)> act;
  std::function<TModalResult(TDialogRequest&)> other;
  TModalResult Answer(TDialogRequest& r) override {
    if (auto* d = dynamic_cast<TfrmOptions*>(r.Dialog)) {
      act(d);
      // A body that did not close the dialog leaves it as Cancel does.
      return d->ModalResult() == mrNone ? mrCancel : d->ModalResult();
    }
    if (other) return other(r);
    return r.Buttons.empty() ? mrOk : r.Buttons.front();
  }
  // Opens the dialog by its menu command and runs `body` in it.
  void Run(std::function<void(TfrmOptions*)> body) {
    act = std::move(body);
    form->mnuMain_View_Options->Click();
  }
  // The message boxes shown, from the `from`th on.
  std::vector<std::string> Messages(size_t from = 0) const {
    std::vector<std::string> texts;
    for (const TDialogRequest& r : answers.Requests())
      if (r.Kind == TDialogKind::MessageBox) texts.push_back(r.Text);
    return {texts.begin() + long(std::min(from, texts.size())), texts.end()};
  }
};

void ClickOn(TControl* c) {
  auto* w = dynamic_cast<TWinControl*>(c);
  Click(w ? w : c->Parent(), w ? 4 : c->Left() + 2, w ? 4 : c->Top() + 2);
  Pump();
}

// The widget holding the focus once `c` takes it: keys go where a user's would.
QWidget* Focus(TWinControl* c) {
  c->SetFocus();
  Pump();
  return QApplication::focusWidget();
}

void Type(TWinControl* edit, const std::string& text) {
  QWidget* w = Focus(edit);
  QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(w, Qt::Key_Backspace);
  QTest::keyClicks(w, QString::fromStdString(text));
  Pump();
}

TEST_F(Options, EveryValueIsShownAndSavedBackAsStoredOrByDefault) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored);
    if (stored) {
      for (const Value& v : kValues) Write(*form->Reg, v, v.other);
      // The command stores the grid's columns as shown first: show the stored ones.
      form->LoadColumnVisibility();
    }
    Run([&](TfrmOptions* d) {
      for (const Value& v : kValues)
        if (*v.control) {
          EXPECT_EQ(Shown(d, v.control), stored ? v.other : v.fallback) << v.name;
        }
      ClickOn(d->btnOK);
    });
    for (const Value& v : kValues) EXPECT_EQ(Read(*form->Reg, v), stored ? v.other : v.fallback) << v.name;
  }
}

TEST_F(Options, NewEntryListsShowTheStoredCodesAndWriteTheChosenOne) {
  struct Case {
    const char* stored;  // nullptr: nothing stored
    const char *status, *feature, *priority;
    TColor picture;  // of the status shown
  } cases[] = {{nullptr, "New", "New", "Normal", clRed},
               {"3", "Fixed", "Implemented", "Normal", clLime},
               {"8", "Will Not Be Fixed", "Will Not Be Implemented", "Normal", clMaroon}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    if (c.stored) {
      form->Reg->WriteString("Options", "NewRecord_Status", c.stored);
      form->Reg->WriteString("Options", "NewRecord_Status_Feature", c.stored);
    }
    Run([&](TfrmOptions* d) {
      EXPECT_EQ(d->cmbNewRecStatus->Text(), c.status);
      EXPECT_EQ(d->cmbNewRecStatus_Feature->Text(), c.feature);
      EXPECT_EQ(d->cmbNewRecPriority->Text(), c.priority);
      // Each item's picture is drawn left of its text.
      d->pcOptions->SetActivePageIndex(3);
      auto face = testing_support::Snapshot(d->cmbNewRecStatus);
      EXPECT_EQ(face->Canvas()->Pixels(10, d->cmbNewRecStatus->Height() / 2), c.picture);
    });
  }
  // Delegated, then one down by key is Deferred, stored as "6".
  form->Reg->WriteString("Options", "NewRecord_Status", "5");
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(3);
    QTest::keyClick(Focus(d->cmbNewRecStatus), Qt::Key_Down);
    EXPECT_EQ(d->cmbNewRecStatus->Text(), "Deferred");
    ClickOn(d->btnOK);
  });
  EXPECT_EQ(form->Reg->ReadString("Options", "NewRecord_Status", ""), "6");
}

TEST_F(Options, StoredPageOutOfRangeIsAnAssertAndTheFirstPageShows) {
  struct Case {
    int stored, shown;
    std::vector<std::string> messages;
  } cases[] = {{9, 0, {"Internal Assert error #11"}}, {-1, 0, {"Internal Assert error #11"}},
               {6, 6, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    form->Reg->WriteInteger("Options", "Options Page", c.stored);
    const size_t before = Messages().size();
    Run([&](TfrmOptions* d) { EXPECT_EQ(d->pcOptions->ActivePageIndex(), c.shown); });
    EXPECT_EQ(Messages(before), c.messages);
    EXPECT_EQ(form->Reg->ReadInteger("Options", "Options Page", -5), c.shown);
  }
}

TEST_F(Options, PlacementIsCentredUntilSavedAndPulledOntoTheScreen) {
  struct Case {
    int top, left;
    TPosition position;
    int expectTop, expectLeft;
  } cases[] = {{-100, 0, poScreenCenter, -1, -1},
               {20, 30, poDesigned, 20, 30},
               {Screen->Height() + 50, Screen->Width() + 50, poDesigned, Screen->Height() / 2,
                Screen->Width() / 2}};
  for (const Case& c : cases) {
    form->Reg->WriteInteger("Options", "OptionsWindowTop", c.top);
    form->Reg->WriteInteger("Options", "OptionsWindowLeft", c.left);
    TfrmOptions d(nullptr);
    EXPECT_EQ(d.Position(), c.position) << c.top;
    if (c.position == poDesigned) {
      EXPECT_EQ(d.Top(), c.expectTop);
      EXPECT_EQ(d.Left(), c.expectLeft);
    }
  }
}

TEST_F(Options, ApplyRepeatsTheRestartNoticeAndKeepsTheRunningDatabase) {
  const std::string running = form->DatabasePath;
  const std::string notice =
      "The location of the database has been changed.\n\nVantrel must be restarted before it "
      "will use this database.";
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(5);
    EXPECT_EQ(d->txtLocation->Text(), running);
    EXPECT_FALSE(d->btnApply->Enabled());
    Type(d->txtLocation, "/elsewhere/Other.mdb");
    ASSERT_TRUE(d->btnApply->Enabled());
    ClickOn(d->btnApply);
    EXPECT_FALSE(d->btnApply->Enabled());
    d->pcOptions->SetActivePageIndex(0);
    ClickOn(d->chkConfirmDeletes);
    ClickOn(d->btnApply);
  });
  EXPECT_EQ(Messages(), std::vector<std::string>(2, notice));
  EXPECT_EQ(form->Reg->ReadString("Settings", "DatabaseLocation", ""), "/elsewhere/Other.mdb");
  EXPECT_EQ(form->DatabasePath, running);
}

TEST_F(Options, BrowseOffersDatabasesInTheDatabasesFolderAndTakesTheChosenPath) {
  const std::string chosen = scratch.Dir() + "/Chosen.mdb";
  std::ofstream(chosen) << "";
  other = [&](TDialogRequest& r) {
    if (r.Kind != TDialogKind::OpenFile) return mrOk;
    auto* dialog = static_cast<TOpenDialog*>(r.Dialog);
    EXPECT_EQ(dialog->Filter(), "Vantrel Database (*.mdb)|*.mdb|All Files (*.*)|*.*");
    EXPECT_EQ(IncludeTrailingPathDelimiter(dialog->InitialDir()), scratch.Dir() + "/");
    dialog->SetFileName(chosen);
    return mrOk;
  };
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(5);
    ClickOn(d->btnBrowse);
    EXPECT_EQ(d->txtLocation->Text(), chosen);
    EXPECT_TRUE(d->LocationChanged && d->btnApply->Enabled());
    ClickOn(d->btnOK);
  });
  EXPECT_EQ(Messages().size(), 1u);  // the restart notice
  EXPECT_EQ(form->Reg->ReadString("Settings", "DatabaseLocation", ""), chosen);
}

TEST_F(Options, FontSizeTextIsTakenOnlyAsANumberInRange) {
  struct Case {
    const char* typed;
    int pending;
  } cases[] = {{"14", 14}, {"abc", 10}, {"500", 200}, {"1", 3}, {"-", 10}, {"9x", 9}};
  // A hand-edited size beyond the range is shown pulled into it.
  form->Reg->WriteInteger("Options", "FontSize_Document", 999);
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(1);
    EXPECT_EQ(d->txtFontSize->Text(), "200");
    for (const Case& c : cases) {
      d->Fonts[TfrmOptions::faMemos].Size = 10;
      d->UpdateSampleFont();
      Type(d->txtFontSize, c.typed);
      EXPECT_EQ(d->Fonts[TfrmOptions::faMemos].Size, c.pending) << c.typed;
      EXPECT_EQ(d->memSample->Font()->Size(), c.pending) << c.typed;
    }
    // The font list takes no typed letters and no Delete key.
    TStrings* fonts = d->cmbFontName->Items();
    ASSERT_GT(fonts->Count(), 1);
    d->cmbFontName->SetItemIndex(0);
    QWidget* list = Focus(d->cmbFontName);
    QTest::keyClicks(list, QString::fromStdString(fonts->Strings(fonts->Count() - 1).substr(0, 1)));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(d->cmbFontName->ItemIndex(), 0);
  });
  // Nothing raised while typing.
  EXPECT_TRUE(Messages().empty()) << ::testing::PrintToString(Messages());
}

TEST_F(Options, BoldOnTheAddendumIsStoredAndChangesNothingOnScreen) {
  const TFontStyles grid = form->dbgBug->Font()->Style(), list = form->dbgridPrograms->Font()->Style();
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(1);
    // The stored name shows even where the screen lists its substitute instead.
    EXPECT_EQ(d->cmbFontName->Text(), "Arial");
    ClickOn(d->rgSelectFont->Buttons(TfrmOptions::faAddendum));
    ClickOn(d->chkBold);
    EXPECT_TRUE(d->memSample->Font()->Style().Contains(fsBold));
    EXPECT_FALSE(d->MemoFontChanged || d->GridFontChanged || d->ProgramFontChanged);
    ClickOn(d->btnOK);
  });
  EXPECT_TRUE(form->Reg->ReadBool("Options", "FontBold_Addendum", false));
  EXPECT_FALSE(form->Reg->ReadBool("Options", "FontBold_Grid", false));
  EXPECT_EQ(form->dbgBug->Font()->Style(), grid);
  EXPECT_EQ(form->dbgridPrograms->Font()->Style(), list);
}

TEST_F(Options, OkAppliesEveryChangeToTheMainWindow) {
  apptest::AddEntry(form, "one");
  std::string memoFont;
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(1);
    QTest::keyClick(Focus(d->cmbFontName), Qt::Key_Down);
    memoFont = d->cmbFontName->Text();
    ClickOn(d->rgSelectFont->Buttons(TfrmOptions::faGrid));
    Type(d->txtFontSize, "12");
    ClickOn(d->chkItalic);
    ClickOn(d->rgSelectFont->Buttons(TfrmOptions::faProgramList));
    ClickOn(d->btnSetToDefault);
    d->pcOptions->SetActivePageIndex(2);
    ClickOn(d->GridColumnBoxes[0]);  // Status
    ClickOn(d->chkShowIndicator);
    QTest::keyClick(Focus(d->trackbarCellHeight), Qt::Key_Right);
    ClickOn(d->rgColumnMode->Buttons(1));
    d->pcOptions->SetActivePageIndex(0);
    ClickOn(d->rgRowIndicatorColor->Buttons(1));
    d->pcOptions->SetActivePageIndex(7);
    ClickOn(d->chkToolbars_Edit);
    ClickOn(d->btnOK);
  });
  ASSERT_FALSE(memoFont.empty());
  EXPECT_EQ(form->rtfReport->DefAttributes()->Name(), memoFont);
  EXPECT_EQ(form->Reg->ReadString("Options", "FontName_Document", ""), memoFont);
  EXPECT_EQ(form->dbgBug->Font()->Size(), 12);
  EXPECT_TRUE(form->dbgBug->Font()->Style().Contains(fsItalic));
  EXPECT_EQ(form->dbgridPrograms->Font()->Size(), 8);
  EXPECT_FALSE(form->dsetBug->FieldByName("Status")->Visible());
  EXPECT_FALSE(form->dbgBug->Options().Contains(dgIndicator));
  EXPECT_EQ(form->dbgBug->RowHeightPercent(), 200);
  EXPECT_TRUE(form->dbgBug->Options().Contains(dgWordWrap));
  EXPECT_FALSE(form->dbgBug->TitleButtons());
  EXPECT_TRUE(form->popGrid_ColumnMode_ChangeOrder->Checked());
  EXPECT_FALSE(form->popGrid_ColumnMode_Sort->Checked());
  EXPECT_EQ(form->dbgBug->IndicatorColor(), icYellow);
  EXPECT_FALSE(form->tbarEdit->Visible());
  EXPECT_TRUE(form->tbarBug->Visible());
  EXPECT_EQ(form->dsetBug->State(), dsEdit);
}

TEST_F(Options, ApplyOnAProgramWithoutEntriesStartsNoNewOne) {
  Run([&](TfrmOptions* d) {
    ClickOn(d->chkPlainText);
    ClickOn(d->btnApply);
  });
  EXPECT_EQ(form->dsetBug->State(), dsBrowse);
  EXPECT_TRUE(form->dsetBug->IsEmpty());
  EXPECT_TRUE(form->rtfReport->PlainText());
  EXPECT_FALSE(form->btnRTF_Bold->Enabled());
}

TEST_F(Options, LookupEntriesAreAddedAndDeletedThroughTheDropDownsPage) {
  const std::string db = form->DatabasePath;
  std::string typed = "Parser";
  TModalResult confirm = mrYes;
  other = [&](TDialogRequest& r) {
    if (r.Kind == TDialogKind::InputQuery) {
      EXPECT_EQ(r.Caption, "Add Entry");
      EXPECT_EQ(r.Text, "Entry");
      EXPECT_EQ(*r.Value, "New Entry");
      *r.Value = typed;
      return mrOk;
    }
    return r.Text == "Delete Entry?" ? confirm : mrOk;
  };
  // Nothing entered yet: the asserts.
  Run([&](TfrmOptions* d) {
    // Once active, each grid shows its first column whole.
    Pump();
    EXPECT_EQ(d->dbgReportedBy->LeftCol(), 0);
    EXPECT_EQ(d->dbgReportedBy->ColWidths(0), d->dbgReportedBy->ClientWidth() - 1);
    d->popDropDowns_Add->Click();
    d->popDropDowns_Delete->Click();
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Assert: Options add: agNone.",
                                                  "Assert: Options Delete: agNone."}));
  struct Case {
    bool confirmDeletes;
    TModalResult answer;
    std::vector<std::string> left;
  } cases[] = {{true, mrNo, {"Parser"}}, {true, mrYes, {}}, {false, mrNo, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    form->Reg->WriteBool("Options", "ConfirmDeletes", c.confirmDeletes);
    confirm = c.answer;
    Run([&](TfrmOptions* d) {
      d->pcOptions->SetActivePageIndex(4);
      ClickOn(d->dbgArea);
      EXPECT_EQ(d->LastGrid, TfrmOptions::agArea);
      d->popDropDowns_Add->Click();
      EXPECT_EQ(apptest::StoredValues(db, "Area", "Area"), std::vector<std::string>{"Parser"});
      d->popDropDowns_Delete->Click();
    });
    EXPECT_EQ(apptest::StoredValues(db, "Area", "Area"), c.left);
    if (!c.left.empty()) {
      form->wwtaArea->First();
      form->wwtaArea->Delete();
    }
  }
  // A value the database refuses: its message, nothing stored, the table browsing.
  apptest::RefuseValue(db, "Version", "Version", "Bad");
  const size_t before = Messages().size();
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(4);
    ClickOn(d->dbgVersion);
    typed = "2.0";
    d->popDropDowns_Add->Click();
    typed = "Bad";
    d->popDropDowns_Add->Click();
  });
  ASSERT_EQ(Messages(before).size(), 1u) << ::testing::PrintToString(Messages());
  EXPECT_NE(Messages().back().find("3022"), std::string::npos) << Messages().back();
  EXPECT_EQ(apptest::StoredValues(db, "Version", "Version"), std::vector<std::string>{"2.0"});
  EXPECT_EQ(form->wwtaVersion->State(), dsBrowse);
  // The entry grid's Fixed In Version list reads the same table: it offers the new version.
  form->wwtaFixedInVersion->First();
  EXPECT_EQ(form->wwtaFixedInVersion->FieldByName("Version")->AsString(), "2.0");
}

// The text the grid's first data row shows: the first record of its window.
std::string TopRowText(TwwDBGrid* grid, const char* field) {
  TDataLink* link = grid->DataLink();
  const int was = link->ActiveRecord();
  link->SetActiveRecord(0);
  std::string text = link->DataSet()->FieldByName(field)->AsString();
  link->SetActiveRecord(was);
  return text;
}

// The data row painted as the current one (-1 none).
int HighlightedRow(TwwDBGrid* grid) {
  Pump();
  const QImage image = ClientOf(grid)->grab().toImage();
  const TColor h = ColorToRGB(clHighlight);
  for (int row = 1; row < grid->RowCount(); ++row) {
    const TRect cell = grid->CellRect(grid->Col(), row);
    if (image.pixel(cell.Right - 2, cell.Bottom - 2) == qRgb(GetRValue(h), GetGValue(h), GetBValue(h)))
      return row;
  }
  return -1;
}

// The lookup lists open at their first rows wherever the main window's
// lookup combos left their tables; scrolled down, the bar's up arrow moves
// the current row up in sight and brings the first rows back.
TEST_F(Options, LookupListsOpenAtTheirFirstRowsAndTheUpArrowBringsThemBack) {
  struct Lookup {
    TwwtaTable* table;
    const char* field;
    const char* grid;
  } lookups[] = {{form->wwtaVersion, "Version", "dbgVersion"},
                 {form->wwtaReportedBy, "User", "dbgReportedBy"},
                 {form->wwtaFixedBy, "Employee", "dbgFixed_Verified"},
                 {form->wwtaArea, "Area", "dbgArea"},
                 {form->wwtaSeverity, "Severity", "dbgSeverity"}};
  constexpr int kRows = 12;  // more than a list shows
  for (const Lookup& l : lookups) {
    for (int i = 1; i <= kRows; ++i) {
      l.table->Append();
      l.table->FieldByName(l.field)->SetAsString((i < 10 ? "Row 0" : "Row ") + std::to_string(i));
      l.table->Post();
    }
    l.table->Last();  // as a choice of the last value leaves it
  }
  Run([&](TfrmOptions* d) {
    d->pcOptions->SetActivePageIndex(4);
    Pump();
    for (const Lookup& l : lookups) {
      SCOPED_TRACE(l.grid);
      auto* grid = static_cast<TwwDBGrid*>(d->FindComponent(l.grid));
      ASSERT_LT(grid->VisibleDataRows(), kRows);
      EXPECT_EQ(TopRowText(grid, l.field), "Row 01");
    }
    TwwDBGrid* grid = d->dbgVersion;
    const int page = grid->VisibleDataRows();
    for (int i = 0; i <= page; ++i) ASSERT_TRUE(ClickScrollArrow(grid, SB_VERT, false));
    ASSERT_EQ(TopRowText(grid, "Version"), "Row 03");
    // Each click moves the current row up, in sight; past the top the view follows.
    for (int i = 1; i <= page + 1; ++i) {
      SCOPED_TRACE(i);
      ASSERT_TRUE(ClickScrollArrow(grid, SB_VERT, true));
      EXPECT_EQ(HighlightedRow(grid), std::max(1, page - i));
    }
    EXPECT_EQ(TopRowText(grid, "Version"), "Row 01");
    EXPECT_EQ(d->LastGrid, TfrmOptions::agVersion);
  });
}

// A name typed into any of the five lists, on the first, the last or a new
// row, is stored by OK and Apply, and by moving to another row of its list;
// Enter ends the cell's edit and leaves the dialog open. Cancel, by the mouse
// (which moves the focus out of the list first) or by Escape, gives up every
// row still being edited, in the lists left for others too. Clicking a row
// raises nothing, and a name with a blank in it is stored whole.
TEST_F(Options, NamesTypedIntoTheDropDownListsAreStoredByOKApplyOrAMoveAndGivenUpByCancel) {
  struct List {
    const char* grid;
    TwwtaTable* TfrmBug::*table;
    const char *tableName, *field;
  } lists[] = {{"dbgVersion", &TfrmBug::wwtaVersion, "Version", "Version"},
               {"dbgReportedBy", &TfrmBug::wwtaReportedBy, "User", "User"},
               {"dbgFixed_Verified", &TfrmBug::wwtaFixedBy, "Employee", "Employee"},
               {"dbgArea", &TfrmBug::wwtaArea, "Area", "Area"},
               {"dbgSeverity", &TfrmBug::wwtaSeverity, "Severity", "Severity"}};
  for (const List& l : lists)
    for (const char* name : {"Old 1", "Old 2"}) {
      (form->*l.table)->Append();
      (form->*l.table)->FieldByName(l.field)->SetAsString(name);
      (form->*l.table)->Post();
    }
  auto press = [](Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key);
    Pump();
  };
  auto ok = [](TfrmOptions* d) { ClickOn(d->btnOK); };
  auto cancel = [](TfrmOptions* d) { ClickOn(d->btnCancel); };
  enum Where { First, Last, New };
  struct Road {
    const char* name;
    Where where;
    Qt::Key inEachList;  // pressed after typing in each list (0: none)
    std::function<void(TfrmOptions*)> close;
    bool stored;
  } roads[] = {
      {"Enter, then OK", First, Qt::Key_Return, ok, true},
      {"OK on the last row", Last, Qt::Key(0), ok, true},
      {"Up, then OK on a new row", New, Qt::Key_Up, ok, true},
      {"Enter, then OK on a new row", New, Qt::Key_Return, ok, true},
      {"Down, then Cancel", First, Qt::Key_Down, cancel, true},
      {"Apply, then Cancel", New, Qt::Key(0), [&](TfrmOptions* d) {
         d->chkConfirmDeletes->SetChecked(false);  // a change of a setting enables Apply
         ClickOn(d->btnApply);
         cancel(d);
       }, true},
      {"Enter, then Cancel", First, Qt::Key_Return, cancel, false},
      {"Cancel by the mouse, which leaves the list first", New, Qt::Key(0), cancel, false},
      {"Escape, which cancels the dialog", Last, Qt::Key(0), [&](TfrmOptions*) { press(Qt::Key_Escape); }, false},
  };
  int number = 0;
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    const std::string typed = "Ann Baker " + std::to_string(++number);
    std::vector<size_t> before;
    for (const List& l : lists) before.push_back(apptest::StoredValues(form->DatabasePath, l.tableName, l.field).size());
    Run([&](TfrmOptions* d) {
      d->pcOptions->SetActivePageIndex(4);
      Pump();
      for (const List& l : lists) {
        auto* grid = static_cast<TwwDBGrid*>(d->FindComponent(l.grid));
        const int rows = std::min((form->*l.table)->RecordCount(), grid->VisibleDataRows());
        const TRect cell = grid->CellRect(0, road.where == First ? 1 : rows);
        Click(grid, cell.Left + 4, cell.Top + 4);
        Pump();
        if (road.where == New) press(Qt::Key_Down);
        // Each key to where the user's goes: the first opens the cell's editor.
        for (char c : typed) {
          QTest::keyClicks(QApplication::focusWidget(), QString(QChar(c)));
          Pump();
        }
        if (road.inEachList) press(road.inEachList);
        EXPECT_EQ(d->ModalResult(), mrNone) << "closed in " << l.grid;
      }
      road.close(d);
    });
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    for (size_t i = 0; i < std::size(lists); ++i) {
      const List& l = lists[i];
      SCOPED_TRACE(l.grid);
      const auto rows = apptest::StoredValues(form->DatabasePath, l.tableName, l.field);
      EXPECT_EQ(std::count(rows.begin(), rows.end(), typed), road.stored ? 1 : 0);
      EXPECT_EQ(rows.size(), before[i] + (road.stored && road.where == New ? 1 : 0));
      EXPECT_EQ((form->*l.table)->State(), dsBrowse);
    }
  }
}

// Escape closes the dialog as Cancel does while any of the Drop Downs lists
// has the keyboard: on a row only chosen, and on a row whose typed name
// Escape has just given up in the cell.
TEST_F(Options, EscapeInADropDownsListClosesTheDialog) {
  const char* grids[] = {"dbgVersion", "dbgReportedBy", "dbgFixed_Verified", "dbgArea", "dbgSeverity"};
  auto press = [](Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key);
    Pump();
  };
  for (bool typed : {false, true}) {
    for (const char* name : grids) {
      SCOPED_TRACE(std::string(name) + (typed ? ", typed into" : ""));
      std::optional<TModalResult> closed;
      Run([&](TfrmOptions* d) {
        d->pcOptions->SetActivePageIndex(4);
        Pump();
        auto* grid = static_cast<TwwDBGrid*>(d->FindComponent(name));
        const TRect cell = grid->CellRect(0, 1);
        Click(grid, cell.Left + 4, cell.Top + 4);
        Pump();
        ASSERT_TRUE(grid->Focused() || (grid->InplaceEditor() && grid->InplaceEditor()->Focused()));
        if (typed) {
          QTest::keyClicks(QApplication::focusWidget(), "x");
          Pump();
          press(Qt::Key_Escape);  // gives up the name in the cell only
          ASSERT_EQ(d->ModalResult(), mrNone);
        }
        press(Qt::Key_Escape);
        closed = d->ModalResult();
      });
      EXPECT_EQ(closed, mrCancel);
      EXPECT_EQ(Messages(), std::vector<std::string>{});
    }
  }
}

TEST_F(Options, ColourPicksKeepTheCustomColoursAndIgnoreADamagedFile) {
  const std::string file = IncludeTrailingPathDelimiter(regstore::StoreFolder()) + "CColor.vn";
  std::vector<TColor> offered;
  other = [&](TDialogRequest& r) {
    if (r.Kind != TDialogKind::Color) return mrOk;
    auto* dialog = static_cast<TColorDialog*>(r.Dialog);
    offered.push_back(dialog->CustomColor(0));
    dialog->SetColor(clRed);
    dialog->SetCustomColor(0, clBlue);
    return mrOk;
  };
  struct Case {
    const char* control;
    const char* panel;
    const char* content;  // of the file before the pick; nullptr: no file
    TColor offered;
  } cases[] = {{"lblTitle", "pnlTitle", nullptr, clNone},
               {"pnlData", "pnlData", "ColorA=00FF00\n", clLime},
               {"pnlBackground", "pnlBackground", "\x01\xff\xfe garbage\nColorA=zz\n", clNone}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    DeleteFile(file);
    if (c.content) std::ofstream(file, std::ios::binary) << c.content;
    offered.clear();
    Run([&](TfrmOptions* d) {
      d->pcOptions->SetActivePageIndex(6);
      ClickOn(static_cast<TControl*>(d->FindComponent(c.control)));
      EXPECT_EQ(Shown(d, c.panel), std::to_string(int(clRed)));
    });
    EXPECT_EQ(offered, std::vector<TColor>{c.offered});
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.substr(0, line.find('\r')), "ColorA=0000FF");
  }
  EXPECT_TRUE(Messages().empty());
}

// The custom colours file is replaced whole or not at all: on a full disk the
// old file stays as it was, the user is told, and the colour is still taken.
TEST_F(Options, AColourPickOnAFullDiskKeepsTheOldCustomColours) {
  const std::string file = IncludeTrailingPathDelimiter(regstore::StoreFolder()) + "CColor.vn";
  std::string old;
  for (char slot = 'A'; slot <= 'P'; ++slot) old += std::string("Color") + slot + "=00FF00\r\n";
  old += std::string(5000, ' ') + "\r\n";  // longer than one block
  other = [&](TDialogRequest& r) {
    if (r.Kind != TDialogKind::Color) return r.Buttons.empty() ? mrOk : r.Buttons.front();
    auto* dialog = static_cast<TColorDialog*>(r.Dialog);
    dialog->SetColor(clRed);
    dialog->SetCustomColor(0, clBlue);
    return mrOk;
  };
  for (TFileCall call : {TFileCall::Write, TFileCall::Sync, TFileCall::Rename}) {
    SCOPED_TRACE(int(call));
    std::ofstream(file, std::ios::binary) << old;
    const size_t before = Messages().size();
    Run([&](TfrmOptions* d) {
      d->pcOptions->SetActivePageIndex(6);
      TFailingFiles full(regstore::StoreFolder(), call, 1, ENOSPC);
      ClickOn(static_cast<TControl*>(d->FindComponent("pnlData")));
      EXPECT_TRUE(full.Failed());
      EXPECT_EQ(Shown(d, "pnlData"), std::to_string(int(clRed)));
    });
    std::string now;
    ReadWholeFile(file, now);
    EXPECT_EQ(now, old);
    ASSERT_EQ(Messages(before).size(), 1u) << ::testing::PrintToString(Messages());
    EXPECT_NE(Messages(before)[0].find("CColor.vn"), std::string::npos) << Messages(before)[0];
    EXPECT_NE(Messages(before)[0].find("No space left on device"), std::string::npos) << Messages(before)[0];
    for (const auto& entry : std::filesystem::directory_iterator(regstore::StoreFolder()))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".CColor")) << entry.path();
  }
}

// The program's own application object tells the user, once, when a settings
// object cannot save its changes as it ends (here on a full disk).
TEST(SettingsOnAFullDisk, TheUserIsToldOnce) {
  std::vector<std::string> shown;
  TDialogResponderScope boxes([&](TDialogRequest& r) {
    shown.push_back(r.Text);
    return mrOk;
  });
  for (int attempt = 0; attempt < 2; ++attempt) {
    TFailingFiles full(regstore::StoreFolder(), TFileCall::Write, 1, ENOSPC);
    TRegIniFile("Software\\Vantrel Tests\\Full").WriteString("Settings", "Value", "lost");
  }
  ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
  EXPECT_TRUE(shown[0].starts_with("The settings could not be saved: ")) << shown[0];
  EXPECT_NE(shown[0].find("No space left on device"), std::string::npos) << shown[0];
  EXPECT_EQ(TRegIniFile("Software\\Vantrel Tests\\Full").ReadString("Settings", "Value", "none"), "none");
}

}  // namespace
