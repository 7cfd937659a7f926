// The edit with a drop-down button: the button and Alt+Down run the dialog,
// the list style refuses typing, the text area without the button.

#include <gtest/gtest.h>

#include "datactrls/edits/edits_fixture.h"
#include "datactrls/edits/wwdotdot.h"

using namespace testing_support;

using ButtonEditTest = EditsFixture;

TEST_F(ButtonEditTest, ButtonEditRunsItsDialogByButtonAndAltDown) {
  auto* c = PlaceEdit<TwwDBComboDlg>("Name");
  ClickButton(c);  // without OnCustomDlg: only the focus
  EXPECT_TRUE(c->Focused());
  EXPECT_FALSE(c->IsDroppedDown());
  std::vector<bool> downDuring;
  c->OnCustomDlg = [&](TObject* sender) {
    downDuring.push_back(static_cast<TwwDBComboDlg*>(sender)->IsDroppedDown());
  };
  other->SetFocus();
  ClickButton(c);
  Key(c, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(downDuring, (std::vector<bool>{true, true}));
  EXPECT_FALSE(c->IsDroppedDown());
  EXPECT_EQ(c->EditText(), "Ann");  // the key was used up
  // Without the button the text takes the whole width.
  const int withButton = c->EditRect().Right;
  c->SetShowButton(false);
  EXPECT_EQ(c->EditRect().Right, c->ClientWidth() - 2);
  EXPECT_LT(withButton, c->EditRect().Right);
}

TEST_F(ButtonEditTest, DropDownListStyleRefusesTypingUntilOpen) {
  auto* c = PlaceEdit<TwwDBComboDlg>("Name");
  c->SetStyle(csDropDownList);
  c->SetFocus();
  c->SelectAll();
  Type(c, "xy");
  EXPECT_EQ(c->EditText(), "Ann");
  EXPECT_EQ(ds->State(), dsBrowse);
}

// The owner's OnKeyPress has every key once, before the combo acts on it,
// also one the combo then refuses (a closed list style takes no text); a key
// it swallows changes nothing.
TEST_F(ButtonEditTest, OnKeyPressHasEachKeyOnceBeforeTheComboActs) {
  const struct {
    TwwDBLookupComboStyle style;
    bool swallow;
    const char* after;
    TDataSetState state;
  } cases[] = {
      {csDropDown, false, "x", dsEdit},
      {csDropDown, true, "Ann", dsBrowse},
      {csDropDownList, false, "Ann", dsBrowse},  // refused after the handler had it
      {csDropDownList, true, "Ann", dsBrowse},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(int(c.style)) + (c.swallow ? " swallowed" : ""));
    ds->First();
    auto* e = PlaceEdit<TwwDBComboDlg>("Name");
    e->SetStyle(c.style);
    e->SetFocus();
    e->SelectAll();
    std::vector<std::string> seen;  // the text when the handler had the key
    e->OnKeyPress = [&](TObject*, char32_t& key) {
      seen.push_back(e->EditText() + (ds->State() == dsBrowse ? " browsing" : " editing"));
      if (c.swallow) key = 0;
    };
    Key(e, Qt::Key_X);
    EXPECT_EQ(seen, std::vector<std::string>{"Ann browsing"});
    EXPECT_EQ(e->EditText(), c.after);
    EXPECT_EQ(ds->State(), c.state);
    if (ds->State() != dsBrowse) ds->Cancel();
    delete e;
  }
}
