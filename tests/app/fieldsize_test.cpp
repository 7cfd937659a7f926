// Text longer than its field: the database's own message, the record not
// stored and what was stored before kept.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "entrytest.h"
#include "datactrls/wwdbgrid.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/dialogs/dialogs.h"

namespace {

const char* kTooSmall = "The field is too small to accept the amount of data you attempted to add.";

struct Boxes {
  std::vector<std::string> texts;
  TDialogResponderScope scope{[this](TDialogRequest& r) {
    texts.push_back(r.Text);
    return r.Buttons.empty() ? mrCancel : r.Buttons.front();
  }};
};

TEST(FieldSize, ALongerTextGetsTheDatabasesMessageAndNothingIsStored) {
  apptest::Window w;
  w.AddPosted(0, "first");
  const struct {
    const char* field;
    int size;
  } cases[] = {{"Identifier", 50}, {"Description", 200}, {"FixedInVersion", 20}, {"VerifiedBy", 40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    Boxes boxes;
    const auto before = apptest::StoredValues(w.scratch.Database(), "Reports", c.field);
    w.form->dsetBug->Edit();
    w.form->dsetBug->FieldByName("Severity")->SetAsString("Severe");
    w.form->dsetBug->FieldByName(c.field)->SetAsString(std::string(c.size + 1, 'x'));
    EXPECT_THROW(w.form->dsetBug->Post(), EAbort);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].rfind("An error has occured while posting a record.", 0), 0u) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find(kTooSmall), std::string::npos) << boxes.texts[0];
    w.form->dsetBug->Cancel();
    EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Reports", c.field), before);
    EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Reports", "Severity"), std::vector<std::string>{""});
    // A value of the field's size is stored after that (the refused one
    // once left the engine failing every later post of the record).
    w.form->dsetBug->Edit();
    w.form->dsetBug->FieldByName(c.field)->SetAsString(std::string(c.size, 'y'));
    w.form->dsetBug->Post();
    EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Reports", c.field),
              std::vector<std::string>{std::string(c.size, 'y')});
  }
}

// Typing in a grid cell: the editor takes as many characters as the field holds.
TEST(FieldSize, TypingInAGridCellStopsAtTheFieldsSize) {
  apptest::Window w;
  w.AddPosted(0, "first");
  Boxes boxes;
  TwwDBGrid* grid = w.form->dbgBug;
  grid->SetFocus();
  for (int i = 0; i < grid->GetFieldCount(); ++i)
    if (grid->GetField(i)->FieldName() == "Identifier") grid->SetCol(w.form->GridColumnOf(i));
  testing_support::Pump();
  // The first key opens the cell's editor, which takes the focus and the rest.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z);
  testing_support::Pump();
  QTest::keyClicks(QApplication::focusWidget(), QString(54, 'z'));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  testing_support::Pump();
  if (w.form->dsetBug->State() != dsBrowse) w.form->dsetBug->Post();
  EXPECT_EQ(boxes.texts, std::vector<std::string>{});
  EXPECT_EQ(apptest::StoredValues(w.scratch.Database(), "Reports", "Identifier"),
            std::vector<std::string>{std::string(50, 'z')});
}

}  // namespace
