// The filter window driven with real mouse and key events over an engine
// table: the field shown first, values refused for the field's type, value
// and range pages, the searched tab, the summary, and OK and Cancel.

#include <gtest/gtest.h>

#include "datactrls/wwfltwin.h"
#include "filtertestdata.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/grids/grids.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/lists.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/classlib/stdctrls/tabs.h"

namespace {

using namespace filtertest;
using namespace testing_support;

class FilterWindow : public LocalFilter {
 protected:
  void SetUp() override {
    LocalFilter::SetUp();
    Application->Initialize();
    dialog.Caption = "Filter";
    dialog.DefaultField = "Name";
  }
  // Runs the window; step acts on it and answers how it closes.
  bool Run(const std::function<TModalResult(TwwFilterDlg*)>& step) {
    TDialogResponderScope responder([&](TDialogRequest& r) -> TModalResult {
      if (r.Kind != TDialogKind::Form) return r.Buttons.empty() ? mrOk : r.Buttons.front();
      if (auto* view = dynamic_cast<TwwFilterDialogView*>(r.Dialog)) return onView ? onView(view) : mrCancel;
      auto* w = dynamic_cast<TwwFilterDlg*>(r.Dialog);
      return w ? step(w) : mrCancel;
    });
    const bool ok = dialog.Execute();
    boxes.clear();
    for (const TDialogRequest& r : responder.Requests())
      if (r.Kind != TDialogKind::Form) boxes.push_back(r.Text);
    return ok;
  }
  static void ClickItem(TListBox* list, const std::string& text) {
    const TRect r = list->ItemRect(list->Items()->IndexOf(text));
    Click(list, r.Left + 3, (r.Top + r.Bottom) / 2);
  }
  static void ClickTab(TTabSet* tabs, int index) {
    const TRect r = tabs->ItemRect(index);
    Click(tabs, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  static QWidget* Native(TWinControl* c) {
    QWidget* client = ClientOf(c);
    return client->focusProxy() ? client->focusProxy() : client;
  }
  static void Type(TEdit* edit, const char* text) {
    edit->SetFocus();
    // The line editor inside the control takes the keys.
    QTest::keyClicks(Native(edit), text);
  }
  std::vector<std::string> boxes;
  std::function<TModalResult(TwwFilterDialogView*)> onView;
};

TEST_F(FilterWindow, OpensOnTheDefaultFieldAndAppliesOnOK) {
  EXPECT_TRUE(Run([](TwwFilterDlg* w) {
    EXPECT_EQ(w->Caption(), "Filter");
    EXPECT_EQ(w->FieldTabSet->TabIndex(), 0);  // All
    EXPECT_EQ(w->ShownLabel(), "Name");
    EXPECT_EQ(w->FieldCriteria->Caption(), "Name");
    EXPECT_EQ(w->SelectNotebook->PageIndex(), 0);  // by value
    EXPECT_EQ(w->FieldsListBox->Items()->IndexOf("Photo"), -1);  // not searchable
    EXPECT_EQ(w->OKButton->Left(), 176 + 200 + 7);
    Type(w->FilterValueEdit, "new or low");
    EXPECT_TRUE(w->ClearSearchButton->Enabled());
    return mrOk;
  }));
  ASSERT_EQ(dialog.FieldInfo().size(), 1u);
  EXPECT_EQ(dialog.FieldInfo()[0]->FieldName, "Name");
  EXPECT_EQ(dialog.FieldInfo()[0]->MatchType, fdMatchStart);
  EXPECT_EQ(Shown(), (Ids{1, 3}));
}

TEST_F(FilterWindow, AValueThatIsNoNumberKeepsTheUserOnTheField) {
  EXPECT_FALSE(Run([](TwwFilterDlg* w) {
    ClickItem(w->FieldsListBox, "Age");
    EXPECT_EQ(w->SelectNotebook->PageIndex(), 1);  // a number opens on its range
    // The engine table is no TTable: numbers are searched by exact value only.
    EXPECT_FALSE(w->MatchTypeGroup->Enabled());
    EXPECT_FALSE(w->CaseSensitive->Enabled());
    EXPECT_EQ(w->MatchTypeGroup->ItemIndex(), 0);
    ClickTab(w->ValueRangeTabSet, 0);
    Type(w->FilterValueEdit, "abc");
    ClickItem(w->FieldsListBox, "Name");
    EXPECT_EQ(w->ShownLabel(), "Age");
    EXPECT_EQ(w->FieldsListBox->Items()->Strings(w->FieldsListBox->ItemIndex()), "Age");
    EXPECT_TRUE(w->FilterValueEdit->Focused());
    EXPECT_EQ(w->FilterValueEdit->SelText(), "abc");
    return mrCancel;
  }));
  EXPECT_TRUE(dialog.FieldInfo().empty());  // cancel changes nothing
}

TEST_F(FilterWindow, ARangeIsStoredAndSummarised) {
  std::vector<std::string> summary;
  std::vector<TColor> cellColours;
  onView = [&](TwwFilterDialogView* v) {
    EXPECT_EQ(v->Caption(), "Show Search Summary");
    for (int r = 0; r < v->Grid->RowCount(); ++r)
      for (int c = 0; c < 3; ++c) summary.push_back(v->Grid->Cells(c, r));
    auto shot = Snapshot(v->Grid);
    for (int row = 0; row < 3; ++row) cellColours.push_back(shot->Canvas()->Pixels(110, row * 19 + 15));
    return mrCancel;
  };
  EXPECT_TRUE(Run([](TwwFilterDlg* w) {
    ClickItem(w->FieldsListBox, "Age");
    Type(w->MinValueEdit, "1");
    Type(w->MaxValueEdit, "25");
    ClickItem(w->FieldsListBox, "Name");
    Type(w->FilterValueEdit, "crash");
    w->Nonmatching->SetChecked(true);
    w->ViewButton->Click();
    return mrOk;
  }));
  EXPECT_EQ(summary, (std::vector<std::string>{"Field", "Search Type", "Value", "Age", "By Range", ">=1, <=25",
                                               "Name", "Partial Match at Beginning", "NOT crash"}));
  // Data cells black on white, the title row on the button face.
  EXPECT_EQ(cellColours, (std::vector<TColor>{ColorToRGB(clBtnFace), clWhite, clWhite}));
  EXPECT_EQ(Shown(), (Ids{2, 4, 5}));
}

TEST_F(FilterWindow, DeleteOnTheSearchedTabRemovesTheCondition) {
  Set({{"Name", fdMatchStart, "new"}, {"Age", fdMatchRange, "", "", "30"}});
  dialog.ApplyFilter();
  EXPECT_TRUE(Run([](TwwFilterDlg* w) {
    EXPECT_EQ(w->FieldTabSet->TabIndex(), 1);  // conditions: the searched fields
    EXPECT_EQ(w->FieldsListBox->Items()->Count(), 2);
    w->FieldsListBox->SetFocus();
    ClickItem(w->FieldsListBox, "Name");
    QTest::keyClick(Native(w->FieldsListBox), Qt::Key_Delete);
    EXPECT_EQ(w->WorkingList().size(), 1u);
    EXPECT_EQ(w->FieldsListBox->Items()->Count(), 1);
    ClickTab(w->FieldTabSet, 0);
    EXPECT_GT(w->FieldsListBox->Items()->Count(), 2);
    w->FieldsListBox->SetFocus();
    QTest::keyClick(Native(w->FieldsListBox), Qt::Key_Delete);  // nothing on All
    EXPECT_EQ(w->WorkingList().size(), 1u);
    return mrOk;
  }));
  EXPECT_EQ(Shown(), (Ids{1, 2, 4, 5}));
}

TEST_F(FilterWindow, TheSearchedTabNeedsConditionsAndNewSearchClearsThem) {
  EXPECT_FALSE(Run([](TwwFilterDlg* w) {
    ClickTab(w->FieldTabSet, 1);
    EXPECT_EQ(w->FieldTabSet->TabIndex(), 0);
    Type(w->FilterValueEdit, "x");
    w->ClearSearchButton->Click();
    EXPECT_TRUE(w->WorkingList().empty());
    EXPECT_EQ(w->FilterValueEdit->Text(), "");
    EXPECT_FALSE(w->ClearSearchButton->Enabled());
    return mrCancel;
  }));
  EXPECT_EQ(boxes, std::vector<std::string>{"You have not selected any search criteria"});
}

TEST_F(FilterWindow, OptionsShapeTheWindowAndArrowKeysMoveThroughFields) {
  dialog.Options = {fdShowCaseSensitive, fdShowValueRangeTab};
  EXPECT_FALSE(Run([](TwwFilterDlg* w) {
    EXPECT_EQ(w->OKButton->Top(), 1000);  // out of sight
    EXPECT_EQ(w->ClientWidth(), 470 - w->OKButton->Width() - 8);
    EXPECT_FALSE(w->FieldOrder->Visible());
    EXPECT_FALSE(w->ViewButton->Visible());
    EXPECT_EQ(w->ClearSearchButton->Left(), w->ViewButton->Left());
    EXPECT_EQ(w->Panel1->Height(), 26);  // one check box
    EXPECT_FALSE(w->Nonmatching->Visible());
    const int name = w->FieldsListBox->ItemIndex();
    QTest::keyClick(Native(w->FilterValueEdit), Qt::Key_Down);
    EXPECT_EQ(w->FieldsListBox->ItemIndex(), name + 1);
    EXPECT_EQ(w->ShownLabel(), w->FieldsListBox->Items()->Strings(name + 1));
    return mrCancel;
  }));
}

// The field the user selected last stays selected in the list whatever
// reorders, refills or moves it: the field order, the All and Searched tabs,
// New Search, and the keys that move the selection, which stop at the last
// and the first field.
TEST_F(FilterWindow, TheFieldSelectedLastStaysSelectedInItsList) {
  EXPECT_FALSE(Run([](TwwFilterDlg* w) {
    TStrings* items = w->FieldsListBox->Items();
    const auto selected = [&] {
      const int at = w->FieldsListBox->ItemIndex();
      return at < 0 ? std::string("(none)") : items->Strings(at);
    };
    // Keys typed in the box of the page shown (a value or a starting range)
    // move the list's selection.
    const auto key = [w](Qt::Key k) {
      TEdit* box = w->SelectNotebook->PageIndex() == 1 ? w->MinValueEdit : w->FilterValueEdit;
      box->SetFocus();
      QTest::keyClick(Native(box), k);
    };
    const auto last = [&] { return items->Strings(items->Count() - 1); };
    const auto first = [&] { return items->Strings(0); };
    EXPECT_EQ(first(), "Id");  // the fields' own order
    struct Step {
      const char* what;
      std::function<void()> act;
      std::function<std::string()> wantSelected;
      const char* wantFirstItem;
    } steps[] = {
        {"click Score", [&] { ClickItem(w->FieldsListBox, "Score"); }, [] { return "Score"; }, "Id"},
        {"alphabetic order", [&] { Click(w->FieldOrder->Buttons(0), 5, 5); }, [] { return "Score"; }, "Active"},
        {"logical order", [&] { Click(w->FieldOrder->Buttons(1), 5, 5); }, [] { return "Score"; }, "Id"},
        {"a value for Name", [&] { ClickItem(w->FieldsListBox, "Name"); Type(w->FilterValueEdit, "new"); },
         [] { return "Name"; }, "Id"},
        {"Searched tab", [&] { ClickTab(w->FieldTabSet, 1); }, [] { return "Name"; }, "Name"},
        {"All tab", [&] { ClickTab(w->FieldTabSet, 0); }, [] { return "Name"; }, "Id"},
        {"New Search", [&] { Click(w->ClearSearchButton, 5, 5); }, [] { return "Name"; }, "Id"},
        {"down at the last field", [&] { ClickItem(w->FieldsListBox, last()); key(Qt::Key_Down); }, last, "Id"},
        {"page down at the last field", [&] { key(Qt::Key_PageDown); }, last, "Id"},
        {"page up to the first field", [&] { key(Qt::Key_PageUp); }, first, "Id"},
        {"up at the first field", [&] { key(Qt::Key_Up); }, first, "Id"},
    };
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      step.act();
      EXPECT_EQ(selected(), step.wantSelected());
      EXPECT_EQ(w->ShownLabel(), step.wantSelected());
      EXPECT_EQ(first(), step.wantFirstItem);
    }
    return mrCancel;
  }));
  EXPECT_EQ(boxes, std::vector<std::string>{});  // no error on the way
}

}  // namespace
