// Editing in the grid with real keys: picture masks while typing and when a
// column is left, edits named in ControlType placed over the current cell,
// rich-text cells, and a masked edit over a real database file.
#include <gtest/gtest.h>

#include <QApplication>

#include "datactrls/edits/wwdbedit.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwdbigrdedit.h"
#include "datactrls/wwtadatasets.h"
#include "dbengine/accbinding_fixture.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/win32/msgbox.h"
#include "gridtestdata.h"
#include "settingsdataset.h"

using namespace testing_support;

// A form with a handler that form definitions name.
class TCheckValueForm : public TForm {
  DECLARE_CLASS(TCheckValueForm, TForm)
 public:
  explicit TCheckValueForm(TComponent* owner = nullptr) : TForm(owner) {}
  std::vector<bool> told;
  void GridCheckValue(TObject*, bool passes) { told.push_back(passes); }
};
IMPLEMENT_CLASS(TCheckValueForm, TForm)
PUBLISHED(TCheckValueForm) { PUBLISHED_METHOD(GridCheckValue); }

namespace {

struct Beeps {
  int count = 0;
  TBeepSink previous = SetBeepSink([this](UINT) { ++count; });
  ~Beeps() { SetBeepSink(previous); }
};

void Key(TWinControl* fallback, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target ? target : ClientOf(fallback), k, mods);
  Pump(1);
}

void Type(TWinControl* fallback, const char* text) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClicks(target ? target : ClientOf(fallback), text);
  Pump(1);
}

// Exposes the cell text the grid paints.
class TestGrid : public TwwDBGrid {
 public:
  using TwwDBGrid::CellText;
  using TwwDBGrid::TwwDBGrid;
};

// ID, Code (string 10), Notes (memo), two records; the grid on the Code column.
class GridEditing : public testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(420, 220);
    form->SetName("MainForm");
    data.FieldDefs().Add("ID", ftInteger);
    data.FieldDefs().Add("Code", ftString, 10);
    data.FieldDefs().Add("Notes", ftMemo);
    data.Open();
    data.AppendRecord({Variant(1), Variant("A1"), Variant("{\\rtf1 Hello \\b bold\\b0}")});
    data.AppendRecord({Variant(2), Variant("B2"), Variant("plain")});
    data.First();
    source.SetDataSet(&data);
  }
  void Place() {
    grid = new TestGrid(form.get());
    grid->SetBounds(0, 0, 400, 180);
    grid->SetParent(form.get());
    grid->SetDataSource(&source);
    grid->SelectDataColumn(1);
    grid->SetFocus();
    Pump();
  }
  void Mask(const std::string& mask, bool autoFill = true, bool use = true) {
    data.PictureMasks()->Add("Code\t" + mask + "\t" + (autoFill ? "T" : "F") + "\t" + (use ? "T" : "F"));
  }
  std::string EditorText() const { return grid->InplaceEditor() ? grid->InplaceEditor()->Text() : "<none>"; }
  std::string Code() { return data.FieldByName("Code")->AsString(); }

  std::unique_ptr<TForm> form;
  TSettingsDataSet data;
  TDataSource source;
  TestGrid* grid = nullptr;
};

TEST_F(GridEditing, TypingFollowsThePictureMask) {
  struct Case {
    const char* mask;
    bool autoFill, use;
    const char* typed;
    const char* wantText;
    int wantBeeps;
    bool wantPasses;  // the last OnCheckValue
  } cases[] = {
      {"###", true, true, "12a", "12", 1, false},   // a letter at the end can never fit
      {"###", true, true, "123", "123", 0, true},
      {"&&", true, true, "ab", "AB", 0, true},      // upper-cased as typed
      {"#-#", true, true, "12", "1-2", 0, true},    // the literal filled in
      {"###", true, false, "ab", "ab", 0, true},    // the entry's use flag is off
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " " + c.typed);
    data.PictureMasks()->Clear();
    Mask(c.mask, c.autoFill, c.use);
    data.Cancel();
    Place();
    std::vector<bool> checks;
    grid->OnCheckValue = [&](TObject*, bool passes) { checks.push_back(passes); };
    Key(grid, Qt::Key_F2);
    Key(grid, Qt::Key_Delete);
    Beeps beeps;
    Type(grid, c.typed);
    EXPECT_EQ(EditorText(), c.wantText);
    EXPECT_EQ(beeps.count, c.wantBeeps);
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks.back(), c.wantPasses);
    delete grid;
  }
}

TEST_F(GridEditing, AHandlerSetByNameIsToldWhatTheEditorChecks) {
  Mask("###");
  Place();
  TCheckValueForm handlers;
  SetMethodProp(grid, "OnCheckValue", MethodAddress(&handlers, "GridCheckValue"));
  Key(grid, Qt::Key_F2);
  Key(grid, Qt::Key_Delete);
  handlers.told.clear();
  Type(grid, "123");
  EXPECT_EQ(handlers.told, (std::vector<bool>{false, false, true}));
}

TEST_F(GridEditing, LeavingAColumnWithTextThatFailsTheMaskIsRefused) {
  Mask("###");
  Place();
  Key(grid, Qt::Key_F2);
  Type(grid, "12");
  Beeps beeps;
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  Key(grid, Qt::Key_Tab);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 1);
  EXPECT_EQ(beeps.count, 1);
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"Invalid input value.  Use escape key to abandon changes."}));

  // With the dataset's handler the handler is told instead, and nothing is shown.
  std::vector<std::string> told;
  data.OnInvalidValue = [&](TObject*, TField* f) { told.push_back(f->FieldName()); };
  Key(grid, Qt::Key_Tab);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 1);
  EXPECT_EQ(told, (std::vector<std::string>{"Code"}));
  EXPECT_EQ(answers.Count(), 1);

  // Escape gives back the field's text; then the column may be left.
  Key(grid, Qt::Key_Escape);
  EXPECT_EQ(Code(), "A1");
  Key(grid, Qt::Key_Tab);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 2);
  EXPECT_EQ(told.size(), 1u);
}

TEST_F(GridEditing, TypedTextThatPassesIsWrittenWhenTheRowIsLeft) {
  Mask("&#");
  Place();
  Type(grid, "z9");  // the first character shows the editor
  EXPECT_EQ(EditorText(), "Z9");
  Key(grid, Qt::Key_Down);
  data.First();
  EXPECT_EQ(Code(), "Z9");
}

TEST_F(GridEditing, DeletingTextTellsOnCheckValueAgain) {
  Mask("###");
  Place();
  std::vector<bool> checks;
  grid->OnCheckValue = [&](TObject*, bool passes) { checks.push_back(passes); };
  Key(grid, Qt::Key_F2);
  Key(grid, Qt::Key_Delete);
  Type(grid, "123");
  checks.clear();
  Key(grid, Qt::Key_Backspace);  // tested as it will be: "12"
  Key(grid, Qt::Key_Left);
  Key(grid, Qt::Key_Delete);     // tested as released: "1"
  EXPECT_EQ(EditorText(), "1");
  EXPECT_EQ(checks, (std::vector<bool>{false, false}));
}

TEST_F(GridEditing, EscapeWithAnAlwaysShownEditorTestsTheRestoredText) {
  Mask("&#");
  Place();
  grid->SetOptions(grid->Options() + TwwDBGridOptions{dgAlwaysShowEditor});
  grid->SetFocus();
  Key(grid, Qt::Key_F2);
  std::vector<bool> checks;
  grid->OnCheckValue = [&](TObject*, bool passes) { checks.push_back(passes); };
  Type(grid, "Q");
  Key(grid, Qt::Key_Escape);
  EXPECT_EQ(EditorText(), "A1");
  EXPECT_EQ(checks, (std::vector<bool>{false, true}));
}

TEST_F(GridEditing, EnterAsTabAndCtrlDeleteInTheEditorAreTheGrids) {
  Place();
  grid->SetKeyOptions({dgEnterToTab, dgAllowDelete});
  Key(grid, Qt::Key_F2);
  ASSERT_TRUE(grid->EditorMode());
  Key(grid, Qt::Key_Return);
  EXPECT_EQ(grid->DataColumn(grid->Col()), 2);
  grid->SelectDataColumn(1);
  Key(grid, Qt::Key_F2);
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  Key(grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(answers.Texts(), (std::vector<std::string>{"Delete record?"}));
  EXPECT_EQ(data.RecordCount(), 1);
}

TEST_F(GridEditing, APasteChangesTheRecordOnlyWhereTypingMay) {
  Place();
  Clipboard()->SetAsText("77");
  grid->SetReadOnly(true);
  Key(grid, Qt::Key_F2);
  Key(grid, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(EditorText(), "A1");
  EXPECT_FALSE(grid->DataLink()->Modified());
  grid->SetReadOnly(false);
  Key(grid, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(EditorText(), "77");
  EXPECT_EQ(data.State(), dsEdit);
  Key(grid, Qt::Key_Down);
  data.First();
  EXPECT_EQ(Code(), "77");
}

TEST_F(GridEditing, TheEditorWrapsWordsAsTheGridSays) {
  Place();
  Key(grid, Qt::Key_F2);
  TwwInplaceEdit* editor = grid->WwInplaceEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->WordWrap());
  grid->SetOptions(grid->Options() - TwwDBGridOptions{dgWordWrap});
  EXPECT_FALSE(editor->WordWrap());
}

TEST(CalculatedColumns, TakeTypingOnlyWithEditCalculated) {
  auto form = ShownForm(300, 120);
  TSettingsDataSet data;
  data.FieldDefs().Add("ID", ftInteger);
  data.FieldDefs()[0]->CreateField(&data);
  auto* calc = new TStringField(&data);
  calc->SetFieldName("Calc");
  calc->SetFieldKind(fkCalculated);
  calc->SetDataSet(&data);
  data.Open();
  data.AppendRecord({Variant(1)});
  TDataSource source;
  source.SetDataSet(&data);
  TwwDBGrid* grid = PlaceFocusedGrid(form.get(), &source, {0, 0, 280, 100});
  grid->SelectDataColumn(1);
  for (bool editCalculated : {false, true}) {
    grid->SetEditCalculated(editCalculated);
    Key(grid, Qt::Key_F2);
    Type(grid, "x");
    EXPECT_EQ(grid->InplaceEditor()->Text(), editCalculated ? "x" : "") << editCalculated;
    EXPECT_EQ(grid->DataLink()->Modified(), editCalculated);
  }
}

// ---- Embedded controls -----------------------------------------------------------------

class EmbeddedControls : public GridEditing {
 protected:
  void SetUp() override {
    GridEditing::SetUp();
    edit = new TwwDBEdit(form.get());
    edit->SetName("CodeEdit");
    edit->SetParent(form.get());
    edit->SetBounds(0, 190, 100, 24);
    button = new TButton(form.get());
    button->SetName("NotAnEdit");
    dataForm = std::make_unique<TForm>(nullptr);
    dataForm->SetName("DataForm");
    other = new TEdit(dataForm.get());
    other->SetName("OtherEdit");
    dataForm->InsertComponent(&data);
  }
  void TearDown() override { dataForm->RemoveComponent(&data); }
  TwwDBEdit* edit = nullptr;
  TButton* button = nullptr;
  std::unique_ptr<TForm> dataForm;
  TEdit* other = nullptr;
};

TEST_F(EmbeddedControls, ControlsAreFoundByNameOnTheirForms) {
  Place();
  struct Case {
    const char* name;
    TCustomEdit* want;
  } cases[] = {
      {"CodeEdit", edit},
      {"codeedit", edit},
      {"DataForm.OtherEdit", other},  // on the form that owns the dataset
      {"MainForm.CodeEdit", nullptr},
      {"Nope", nullptr},
      {"NotAnEdit", nullptr},  // found, but not an edit
      {"", nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(grid->FindEditControl(c.name), c.want) << c.name;
}

TEST_F(EmbeddedControls, TheNamedEditSitsOverTheCurrentCellAndTakesTyping) {
  data.ControlType()->Add("Code;CustomEdit;CodeEdit");
  Place();
  grid->SelectDataColumn(0);
  Pump();
  EXPECT_FALSE(edit->Visible());  // hidden while its cell is not current

  grid->SelectDataColumn(1);
  Pump();
  ASSERT_TRUE(edit->Visible());
  EXPECT_EQ(edit->Parent(), grid);
  EXPECT_EQ(edit->BoundsRect(), grid->CellRect(grid->Col(), grid->Row()));
  EXPECT_EQ(edit->DataField(), "Code");
  EXPECT_EQ(edit->DataSource(), &source);
  EXPECT_EQ(edit->BorderStyle(), bsNone);
  EXPECT_FALSE(grid->EditorMode());

  Key(grid, Qt::Key_Q);  // goes to the control, over its text
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->Text(), "q");
  grid->UpdateRecordData();
  EXPECT_EQ(Code(), "q");
  data.Post();  // the written record takes the control away
  EXPECT_FALSE(edit->Visible());
  EXPECT_TRUE(grid->Focused());

  // Back over the cell at the next paint; leaving the column hides it.
  Pump();
  ASSERT_TRUE(edit->Visible());
  Key(grid, Qt::Key_Right);
  EXPECT_FALSE(edit->Visible());
}

TEST_F(EmbeddedControls, AltDownAndF2GoToThePlacedControl) {
  data.ControlType()->Add("Code;CustomEdit;CodeEdit");
  std::vector<std::string> keys;
  edit->OnKeyDown = [&](TObject*, WORD& k, TShiftState s) {
    keys.push_back(std::to_string(k) + (s.Contains(ssAlt) ? "+alt" : ""));
  };
  Place();
  ASSERT_TRUE(edit->Visible());
  Key(grid, Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(keys, (std::vector<std::string>{std::to_string(VK_DOWN) + "+alt"}));
  grid->SetFocus();
  Pump();
  Key(grid, Qt::Key_F2);
  EXPECT_TRUE(edit->Focused());
  EXPECT_FALSE(grid->EditorMode());
}

TEST_F(EmbeddedControls, F2AndDoubleClicksOnRichTextGoToItsRichEdit) {
  data.ControlType()->Add("Notes;RichEdit;OtherRich");
  auto* rich = new TEdit(form.get());
  rich->SetName("OtherRich");
  int f2 = 0;
  rich->OnKeyDown = [&](TObject*, WORD& k, TShiftState) { f2 += k == VK_F2; };
  Place();
  grid->SelectDataColumn(2);
  TDialogResponderScope answers([](TDialogRequest&) { return mrCancel; });
  Key(grid, Qt::Key_F2);
  const TRect r = grid->CellRect(grid->Col(), grid->Row());
  QTest::mouseDClick(ClientOf(grid), Qt::LeftButton, Qt::NoModifier, QPoint(r.Left + 3, r.Top + 3));
  Pump(1);
  EXPECT_EQ(f2, 2);
  EXPECT_EQ(answers.Count(), 0);  // no memo dialog instead
}

TEST_F(EmbeddedControls, ThePlacedControlFollowsItsCellWhenTheColumnsScroll) {
  data.ControlType()->Add("Code;CustomEdit;CodeEdit");
  Place();
  ASSERT_TRUE(edit->Visible());
  grid->SetColWidths(1, 300);  // the ID column pushes Code to the right edge
  grid->SetLeftCol(2);
  Pump();
  EXPECT_TRUE(edit->Visible());
  EXPECT_EQ(edit->BoundsRect(), grid->CellRect(grid->Col(), grid->Row()));
  grid->SetColWidths(3, 400);
  grid->SetLeftCol(3);  // Code scrolls out of view
  ASSERT_EQ(grid->LeftCol(), 3);
  EXPECT_FALSE(edit->Visible());
}

TEST_F(EmbeddedControls, ThePlacedControlFollowsTheCurrentRecordAsTheRowsScroll) {
  for (int id = 3; id <= 40; ++id) data.AppendRecord({Variant(id), Variant("C" + std::to_string(id))});
  data.First();
  data.ControlType()->Add("Code;CustomEdit;CodeEdit");
  Place();
  ASSERT_TRUE(edit->Visible());
  const int rows = grid->VisibleDataRows();
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int times;
    const char* what;
  } steps[] = {
      {Qt::Key_Down, Qt::NoModifier, rows + 2, "past the bottom: the rows move up one by one"},
      {Qt::Key_PageDown, Qt::NoModifier, 1, "a page"},
      {Qt::Key_Up, Qt::NoModifier, rows + 1, "past the top"},
      {Qt::Key_End, Qt::ControlModifier, 1, "a jump past a whole window"},
      {Qt::Key_Home, Qt::ControlModifier, 1, "and back"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    for (int i = 0; i < step.times; ++i) Key(grid, step.key, step.mods);
    Pump();
    ASSERT_TRUE(edit->Visible());
    EXPECT_EQ(edit->BoundsRect(), grid->CellRect(grid->Col(), grid->Row()));
    EXPECT_EQ(edit->Text(), Code());
  }
  // Moved by the program while the control has the focus: it is taken over
  // the new current record's cell, the grid holding the focus.
  edit->SetFocus();
  Pump();
  for (int by : {1, rows + 3}) {
    data.MoveBy(by);
    Pump();
    ASSERT_TRUE(edit->Visible()) << by;
    EXPECT_EQ(edit->BoundsRect(), grid->CellRect(grid->Col(), grid->Row())) << by;
    EXPECT_EQ(edit->Text(), Code()) << by;
  }
}

TEST_F(EmbeddedControls, AMissingControlLeavesAPlainColumn) {
  data.ControlType()->Add("Code;CustomEdit;Nope");
  Place();
  Key(grid, Qt::Key_F2);
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(grid->EmbeddedControl(), nullptr);
}

TEST_F(EmbeddedControls, SetControlTypeWritesTheEntryByKind) {
  Place();
  struct Case {
    int kind;
    const char* parameter;
    const char* want;
  } cases[] = {
      {2, "T;F", "Code;CheckBox;T;F"},
      {3, "CodeEdit", "Code;CustomEdit;CodeEdit"},
      {4, "Stretch To Fit;Source Copy", "Code;Bitmap;Stretch To Fit;Source Copy"},
      {7, "CodeEdit", "Code;RichEdit;CodeEdit"},
      {0, "CodeEdit", ""},  // no kind: no entry
  };
  for (const Case& c : cases) {
    grid->SetControlType("Code", c.kind, c.parameter);
    EXPECT_EQ(data.ControlType()->Text(), std::string(c.want) + (*c.want ? "\r\n" : "")) << c.kind;
  }
  EXPECT_EQ(edit->Parent(), grid);
  EXPECT_FALSE(edit->Visible());
}

TEST_F(GridEditing, RichTextCellsShowTheirPlainText) {
  auto* rich = new TEdit(form.get());
  rich->SetName("NotesRich");
  data.ControlType()->Add("Notes;RichEdit;NotesRich");
  Place();
  EXPECT_EQ(grid->CellText(data.FieldByName("Notes")), "Hello bold");
  data.Next();
  EXPECT_EQ(grid->CellText(data.FieldByName("Notes")), "plain");
  EXPECT_EQ(grid->CellText(data.FieldByName("Code")), "B2");
}

// ---- A masked edit over a real database file ---------------------------------------------

class MaskedGridOverEngineTable : public accesstest::BindingFixture {};

TEST_F(MaskedGridOverEngineTable, AnAgeTypedUnderItsMaskReachesTheFile) {
  auto form = ShownForm(500, 250);
  auto table = Make<TwwtaTable>();
  table->SetTableName("People");
  table->PictureMasks()->Add("Age\t##\tT\tT");
  table->Open();
  TDataSource source;
  source.SetDataSet(table.get());
  TwwDBGrid* grid = PlaceFocusedGrid(form.get(), &source, {0, 0, 480, 230});
  ASSERT_EQ(grid->GetField(2)->FieldName(), "Age");
  Key(grid, Qt::Key_Down);
  grid->SelectDataColumn(2);
  Key(grid, Qt::Key_F2);
  ASSERT_TRUE(grid->EditorMode());
  Key(grid, Qt::Key_Delete);
  Type(grid, "4x");  // an age takes no letter
  EXPECT_EQ(grid->InplaceEditor()->Text(), "4");
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  Key(grid, Qt::Key_Tab);  // "4" is not a whole age yet
  EXPECT_EQ(answers.Count(), 1);
  Type(grid, "42");  // over the selected text the refusal left
  Key(grid, Qt::Key_Down);
  EXPECT_EQ(table->State(), dsBrowse);
  table->Close();
  auto check = MakeTable();
  check->Open();
  EXPECT_EQ(accesstest::ColumnOf(check.get(), "Age"), (std::vector<std::string>{"30", "42", "30"}));
}

}  // namespace
