// Toolbars, menus and find: toolbar visibility and its menus, menu enabling
// by whether the program has entries, the help document and the find window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <fstream>
#include <map>
#include <sstream>

#include "app/main/bug.h"
#include "apptest.h"
#include "platform/classlib/controls/control_helpers.h"
#include "datactrls/wwlocate.h"
#include "datactrls/wwdbgrid.h"
#include "datactrls/wwtable.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/db/fields.h"
#include "platform/classlib/dbctrls/dbctrls.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/dialogs/help.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/stdctrls/choices.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "winctrls/coolmenu.h"
#include "winctrls/exttab.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

TMenuItem* ItemNamed(TfrmBug* form, const std::string& name) {
  return static_cast<TMenuItem*>(form->FindComponent(name));
}

class Toolbars : public apptest::MainWindowTest {
 protected:
  void AddEntry(const std::string& description) { apptest::AddEntry(form, description); }

  std::function<TModalResult(TDialogRequest&)> onForm;
  TModalResult Answer(TDialogRequest& r) override {
    if (r.Kind == TDialogKind::Form && onForm) return onForm(r);
    return mrOk;
  }
};

// Each toolbar item hides its bar, stores the choice, and the bar stays hidden after a restart.
TEST_F(Toolbars, MenuItemsHideTheirBarAndTheChoiceIsKept) {
  struct Case {
    const char* item;
    TToolWindow97* TfrmBug::*bar;
    const char* value;
  } cases[] = {
      {"popToolbars_Reports", &TfrmBug::tbarMisc, "Reports"},
      {"popFilter_Edit", &TfrmBug::tbarEdit, "Edit"},
      {"popToolbars_Programs", &TfrmBug::tbarProgram, "Programs"},
      {"popToolbars_Records", &TfrmBug::tbarBug, "Records"},
      {"popFilter_Filter", &TfrmBug::tbarFilters, "Filter"},
      {"popToolbars_MemoOperations", &TfrmBug::tbarRTF_1, "Memo Operations"},
      {"popToolbars_MemoColor", &TfrmBug::tbarRTF_2, "Memo Color && Size"},
      {"popToolbars_MemoFormatting", &TfrmBug::tbarRTF_3, "Memo Formatting"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    ASSERT_TRUE((form->*c.bar)->Visible());
    ItemNamed(form, c.item)->Click();
    EXPECT_FALSE((form->*c.bar)->Visible());
    EXPECT_FALSE(ItemNamed(form, c.item)->Checked());
    EXPECT_FALSE(form->Reg->ReadBool("Toolbar Visibility", c.value, true));
  }
  Stop();
  Start();
  for (const Case& c : cases) EXPECT_FALSE((form->*c.bar)->Visible()) << c.item;
  // The menu opens with its checks from the bars, so the item shows the bar again.
  form->popToolbars->OnPopup(form->popToolbars);
  ItemNamed(form, "popToolbars_Edit")->Click();
  EXPECT_TRUE(form->tbarEdit->Visible());
}

TEST_F(Toolbars, MemoBarHiddenOnTheAttachmentsTabStaysHiddenOnAMemoTab) {
  form->tcRTFs->SetTabIndex(4);
  EXPECT_FALSE(form->tbarRTF_3->Visible());
  ItemNamed(form, "popToolbars_MemoFormatting")->Click();
  EXPECT_FALSE(form->tbarRTF_3->Visible());
  form->tcRTFs->SetTabIndex(1);
  EXPECT_FALSE(form->tbarRTF_3->Visible());
  EXPECT_TRUE(form->tbarRTF_1->Visible());
  // The attachment bar's item acts only while its tab shows.
  ItemNamed(form, "popToolbars_Attachments")->Click();
  EXPECT_FALSE(form->tbarAttachment->Visible());
  form->tcRTFs->SetTabIndex(4);
  EXPECT_FALSE(form->tbarAttachment->Visible());
}

TEST_F(Toolbars, PopupChecksFollowBarsOrStoredValues) {
  form->tbarEdit->SetVisible(false);
  form->Reg->WriteBool("Toolbar Visibility", "Attachments", false);
  form->popToolbars->OnPopup(form->popToolbars);
  EXPECT_FALSE(ItemNamed(form, "popToolbars_Edit")->Checked());
  EXPECT_TRUE(ItemNamed(form, "popToolbars_Records")->Checked());
  EXPECT_FALSE(ItemNamed(form, "popToolbars_Attachments")->Checked());
  EXPECT_TRUE(ItemNamed(form, "popToolbars_MemoFormatting")->Checked());
}

TEST_F(Toolbars, MenusEnableTheirItemsOnlyWhenTheProgramHasEntries) {
  const char* const kFile[] = {"mnuMain_File_Export_CurrentProgram", "mnuMain_File_Export_AllPrograms",
                               "mnuMain_File_Export_ThisRecord", "mnuMain_File_Print_Single",
                               "mnuMain_File_Print_Listing", "mnuMain_File_Print_Comprehensive"};
  const char* const kEdit[] = {"mnuMain_Edit_Edit_Field", "mnuMain_Edit_Delete_Report",
                               "mnuMain_Edit_Edit_Entry", "mnuMain_Edit_Find"};
  const char* const kView[] = {"mnuMain_View_Graphs_Status", "mnuMain_View_Graphs_Time",
                               "mnuMain_View_Preview_Single", "mnuMain_View_Preview_Comprehensive"};
  for (bool entries : {false, true}) {
    SCOPED_TRACE(entries);
    if (entries) AddEntry("one");
    form->mnuMain_File->Click();
    form->mnuMain_Edit->Click();
    form->mnuMain_View->Click();
    for (const char* name : kFile) EXPECT_EQ(ItemNamed(form, name)->Enabled(), entries) << name;
    for (const char* name : kEdit) EXPECT_EQ(ItemNamed(form, name)->Enabled(), entries) << name;
    for (const char* name : kView) EXPECT_EQ(ItemNamed(form, name)->Enabled(), entries) << name;
  }
  // Cut, copy, paste and undo follow the Edit toolbar's buttons.
  form->tbCopy->SetEnabled(false);
  form->tbUndo->SetEnabled(true);
  form->mnuMain_Edit->Click();
  EXPECT_FALSE(form->mnuMain_Edit_Copy->Enabled());
  EXPECT_TRUE(form->mnuMain_Edit_Undo->Enabled());
}

TEST_F(Toolbars, AboutShowsItsWindowAndExitCloses) {
  std::vector<std::string> shown;
  onForm = [&](TDialogRequest& r) {
    shown.push_back(r.Dialog->ClassName());
    return mrOk;
  };
  form->mnuMain_Help_About->Click();
  EXPECT_EQ(shown, std::vector<std::string>{"TfrmAbout"});
  form->mnuMain_File_Exit->Click();
  EXPECT_FALSE(form->Visible());
}

TEST_F(Toolbars, HelpDocumentOffersContentsContextOneSearchAndErrors) {
  const std::string document = HelpDocument("Vantrel.hlp");
  ASSERT_FALSE(document.empty());
  std::ifstream in(document);
  std::stringstream text;
  text << in.rdbuf();
  for (const char* part : {"id=\"contents\"", "id=\"context-1\"", "id=\"search\"", "Reporting errors"})
    EXPECT_NE(text.str().find(part), std::string::npos) << part;
}

// Ctrl+F from the grid, then the find window by keys alone: every caption as
// the window gives it, and every Alt key reaching its control.
TEST_F(Toolbars, TheFindWindowsAcceleratorsReachTheirControls) {
  AddEntry("alpha");
  AddEntry("crash on save");
  form->dsetBug->First();
  std::vector<std::string> captions, reached;
  onForm = [&](TDialogRequest& r) {
    auto* d = static_cast<TwwLocateDlg*>(r.Dialog);
    Application->ProcessMessages();
    if (!captions.empty()) {  // found: the window opens again for the next search
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      return d->ModalResult() == mrNone ? mrAbort : mrNone;
    }
    for (TControl* c : std::initializer_list<TControl*>{
             d->SearchTypeGroup, d->CaseSensitiveCheckBox, d->ExactMatchBtn, d->PartialMatchStartBtn,
             d->PartialMatchAnyBtn, d->FieldsGroup, d->FieldValueGroup, d->FirstButton,
             d->NextButton, d->CancelButton})
      captions.push_back(c->Caption());
    const auto alt = [&](Qt::Key key) {
      QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
      Application->ProcessMessages();
    };
    const auto focused = [&]() -> std::string {
      const TWinControl* c = d->ActiveControl();
      return c == d->FieldNameComboBox ? "list" : c == d->CaseSensitiveCheckBox ? "case"
             : c == d->SearchValue     ? "value" : "other";
    };
    alt(Qt::Key_A);
    reached.push_back("any:" + std::to_string(d->PartialMatchAnyBtn->Checked()));
    alt(Qt::Key_E);
    reached.push_back("exact:" + std::to_string(d->ExactMatchBtn->Checked()));
    alt(Qt::Key_C);
    reached.push_back("case:" + std::to_string(d->CaseSensitiveCheckBox->Checked()));
    alt(Qt::Key_C);
    alt(Qt::Key_P);
    reached.push_back("start:" + std::to_string(d->PartialMatchStartBtn->Checked()));
    alt(Qt::Key_F);
    reached.push_back("fields:" + focused());
    alt(Qt::Key_S);
    reached.push_back("type:" + focused());
    alt(Qt::Key_V);
    reached.push_back("value:" + focused());
    QTest::keyClicks(QApplication::focusWidget(), "CRASH");
    alt(Qt::Key_R);  // First: found, the window closes
    return d->ModalResult() == mrNone ? mrCancel : mrNone;
  };
  QTest::keyClick(testing_support::ClientOf(form->dbgBug), Qt::Key_F, Qt::ControlModifier);
  Application->ProcessMessages();
  EXPECT_EQ(captions, (std::vector<std::string>{"&Search Type", "&Case-sensitive", "&Exact Match",
                                                "&Partial Match at Beginning",
                                                "Partial Match &Anywhere", "&Fields", "Field &Value",
                                                "Fi&rst", "&Next", "Cancel"}));
  EXPECT_EQ(reached, (std::vector<std::string>{"any:1", "exact:1", "case:1", "start:1",
                                               "fields:list", "type:case", "value:value"}));
  EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "crash on save");
  EXPECT_EQ(form->Reg->ReadString("Options", "FindValue", ""), "CRASH");
}

// The detail pane follows the entry a find stops at, not the ones it passes
// nor the one it started from: an empty report found takes the document font,
// as it does when the user moves there.
TEST_F(Toolbars, FindLeavesTheDetailPaneOnTheEntryFound) {
  AddEntry("alpha");
  apptest::AddEntry(form, "beta", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 a report\\par}");
  AddEntry("crash on save");
  form->Reg->WriteString("Options", "FontName_Document", "DejaVu Sans");
  form->dsetBug->First();
  form->dsetBug->Next();
  Application->ProcessMessages();
  ASSERT_GT(form->rtfReport->GetTextLen(), 0);
  form->rtfReport->DefAttributes()->SetName("Liberation Serif");
  int shown = 0;
  onForm = [&](TDialogRequest& r) {
    auto* d = static_cast<TwwLocateDlg*>(r.Dialog);
    if (shown++ > 0) return mrCancel;  // opened again after the find
    d->SearchValue->SetText("crash");
    d->SetMatchType(mtPartialMatchAny);
    d->NextButton->Click();
    return d->ModalResult() == mrOk ? mrOk : mrCancel;
  };
  form->tbFind->Click();
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "crash on save");
  EXPECT_EQ(form->rtfReport->GetTextLen(), 0);
  EXPECT_EQ(form->rtfReport->DefAttributes()->Name(), "DejaVu Sans");
}

// The first find opens with the dialog's defaults; the next restores field,
// value, match type, case and the window's place.
TEST_F(Toolbars, FindRestoresItsLastSettings) {
  AddEntry("alpha");
  AddEntry("crash on save");
  form->dsetBug->First();
  std::vector<std::string> seen;
  onForm = [&](TDialogRequest& r) {
    auto* d = static_cast<TwwLocateDlg*>(r.Dialog);
    seen.push_back(d->Caption() + "|" + d->FieldNameComboBox->Text() + "|" + d->SearchValue->Text() +
                   "|" + std::to_string(int(d->MatchType())) + "|" +
                   (d->CaseSensitiveCheckBox->Checked() ? "case" : "nocase"));
    d->SearchValue->SetText("SAVE");
    d->SetMatchType(mtPartialMatchAny);
    d->SetLeft(123);
    d->SetTop(77);
    return mrCancel;
  };
  form->mnuMain_Edit_Find->Click();
  EXPECT_EQ(form->Reg->ReadString("Options", "FindValue", ""), "SAVE");
  EXPECT_EQ(form->Reg->ReadInteger("Options", "Find_Type", -1), 2);
  EXPECT_EQ(form->Reg->ReadString("Options", "FindField", ""), "Description");
  EXPECT_EQ(form->Reg->ReadInteger("Options", "WindowTop_Find", 0), 77);
  EXPECT_EQ(form->Reg->ReadInteger("Options", "WindowLeft_Find", 0), 123);
  // A fresh window: only the stored settings can bring the last ones back.
  Stop();
  Start();
  int top = 0, left = 0;
  onForm = [&](TDialogRequest& r) {
    auto* d = static_cast<TwwLocateDlg*>(r.Dialog);
    seen.push_back(d->Caption() + "|" + d->FieldNameComboBox->Text() + "|" + d->SearchValue->Text() +
                   "|" + std::to_string(int(d->MatchType())) + "|" +
                   (d->CaseSensitiveCheckBox->Checked() ? "case" : "nocase"));
    top = d->Top();
    left = d->Left();
    // Find Next on the restored settings finds the entry and closes with OK.
    d->NextButton->Click();
    if (d->ModalResult() == mrOk) return mrOk;
    return mrCancel;
  };
  form->dsetBug->First();
  form->tbFind->Click();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], "Find Record|Description||1|nocase");
  EXPECT_EQ(seen[1], "Find Record|Description|SAVE|2|nocase");
  EXPECT_EQ(top, 77);
  EXPECT_EQ(left, 123);
  EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "crash on save");
}

// After a find the window opens again on what was just searched, not on what
// an earlier session stored: Next goes on with the user's search.
TEST_F(Toolbars, FindOpensAgainOnTheSearchJustMade) {
  AddEntry("alpha");
  AddEntry("crash on save");
  form->Reg->WriteInteger("Options", "WindowTop_Find", 10);  // an earlier session's find
  form->Reg->WriteString("Options", "FindValue", "alpha");
  form->Reg->WriteInteger("Options", "Find_Type", 1);
  form->dsetBug->First();
  std::vector<std::string> opened;
  onForm = [&](TDialogRequest& r) {
    auto* d = static_cast<TwwLocateDlg*>(r.Dialog);
    opened.push_back(d->SearchValue->Text() + "|" + std::to_string(int(d->MatchType())));
    if (opened.size() > 1) return mrCancel;
    d->SearchValue->SetText("SAVE");
    d->SetMatchType(mtPartialMatchAny);
    d->NextButton->Click();
    return d->ModalResult() == mrOk ? mrOk : mrCancel;
  };
  form->tbFind->Click();
  EXPECT_EQ(opened, (std::vector<std::string>{"alpha|1", "SAVE|2"}));
  EXPECT_EQ(form->dsetBug->FieldByName("Description")->AsString(), "crash on save");
}

// Every button of every bar shows a picture and no caption, and the buttons of
// a bar lie side by side: a caption wider than its button overlapped the next.
TEST_F(Toolbars, EveryButtonShowsItsPictureWithoutOverlappingItsNeighbours) {
  std::map<TWinControl*, std::vector<TToolbarButton97*>> bars;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* b = dynamic_cast<TToolbarButton97*>(form->Components(i)); b && b->Parent()->InheritsFrom("TToolWindow97"))
      bars[b->Parent()].push_back(b);
  ASSERT_EQ(bars.size(), 8u);
  int buttons = 0;
  for (auto& [bar, list] : bars)
    for (TToolbarButton97* b : list) {
      SCOPED_TRACE(b->Name());
      ++buttons;
      EXPECT_EQ(b->Glyph()->Width(), 16);
      EXPECT_EQ(b->Glyph()->Height(), 16);
      EXPECT_EQ(b->DisplayMode(), dmGlyphOnly);
      EXPECT_FALSE(b->Hint().empty());
      for (TToolbarButton97* other : list) {
        TRect overlap;
        if (other != b) { EXPECT_FALSE(IntersectRect(overlap, b->BoundsRect(), other->BoundsRect())) << other->Name(); }
      }
      // The drop-down arrow beside the picture has its room inside the button.
      EXPECT_GE(b->Width(), b->DropdownMenu() ? 32 : 23);
    }
  EXPECT_EQ(buttons, 49);
}

// Every button keeps its text label: the bar shows the picture, the label is
// the button's name in words.
TEST_F(Toolbars, EveryButtonKeepsItsTextLabel) {
  const std::pair<const char*, const char*> kLabels[] = {
      {"tbPrintPreview", "Preview"}, {"tbChart", "Chart"}, {"tbPrintReport", "Print"},
      {"tbCut", "Cut"}, {"tbCopy", "Copy"}, {"tbPaste", "Paste"}, {"tbUndo", "Undo"},
      {"tbAddProgram", "Add"}, {"tbDeleteProgram", "Delete"},
      {"tbProgramProperties", "Properties"}, {"tbAddBugReport", "Bug"},
      {"tbAddFeature", "Feature"}, {"tbDelete", "Delete"}, {"tbSwitch", "Switch"},
      {"tbFind", "Find"}, {"tbStatusFilter_NewReport", "N"}, {"tbStatusFilter_InProcess", "IP"},
      {"tbStatusFilter_Fixed", "F"}, {"tbStatusFilter_Completed", "V"},
      {"tbStatusFilter_Delegated", "De"}, {"tbStatusFilter_Deferred", "Df"},
      {"tbStatusFilter_NoLongerRelevant", "NR"}, {"tbStatusFilter_WillNotBeFixed", "WN"},
      {"tbStatusFilter_CouldNotDuplicate", "CD"}, {"tbPriorityFilter_VeryHigh", "1"},
      {"tbPriorityFilter_High", "2"}, {"tbPriorityFilter_Normal", "3"},
      {"tbPriorityFilter_Low", "4"}, {"tbPriorityFilter_VeryLow", "5"},
      {"btnAdvancedFilter", "Filter"}, {"tbLargeIcons", "Large"}, {"tbSmallIcons", "Small"},
      {"tbList", "List"}, {"tbAttach", "Attach"}, {"tbDeleteAttachment", "Delete"},
      {"tbAttachmentProperties", "Properties"}, {"tbAttachmentExecute", "Open"},
      {"btnRTFPrint", "Print"}, {"tbReportLine", "Line"}, {"btnInsertAddendum", "Addendum"},
      {"btnRTF_LeftAlign", "L"}, {"btnRTF_CenterAlign", "C"}, {"btnRTF_RightAlign", "R"},
      {"tbDecreaseFontSize", "A-"}, {"tbIncreaseFontSize", "A+"}, {"btnRTF_Bold", "B"},
      {"btnRTF_Italic", "I"}, {"btnRTF_Underline", "U"}, {"btnRTF_Bullets", "*"},
  };
  int buttons = 0;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* b = dynamic_cast<TToolbarButton97*>(form->Components(i)); b && b->Parent()->InheritsFrom("TToolWindow97"))
      ++buttons;
  EXPECT_EQ(buttons, int(std::size(kLabels)));
  for (const auto& [name, label] : kLabels) {
    auto* button = dynamic_cast<TToolbarButton97*>(form->FindComponent(name));
    ASSERT_NE(button, nullptr) << name;
    EXPECT_EQ(button->Caption(), label) << name;
  }
}

// The picture is drawn: the add button's red insect shows on the bar.
TEST_F(Toolbars, APictureIsDrawnOnItsBar) {
  testing_support::Pump();
  const QImage image = testing_support::ClientOf(form->tbarBug)->grab().toImage();
  auto reds = [&](TToolbarButton97* b) {
    int n = 0;
    for (int y = b->Top(); y < b->Top() + b->Height(); ++y)
      for (int x = b->Left(); x < b->Left() + b->Width(); ++x) n += image.pixel(x, y) == qRgb(255, 0, 0);
    return n;
  };
  ASSERT_TRUE(form->tbAddBugReport->Enabled());
  EXPECT_GT(reds(form->tbAddBugReport), 30);
  EXPECT_EQ(reds(form->tbSwitch), 0);
}

// The main menu's commands show the pictures of their toolbar buttons (the
// same picture), and owner-drawn as they are, the menus open and choose with
// the keys as before.
TEST_F(Toolbars, MainMenuItemsShowThePicturesOfTheirToolbarButtons) {
  TCoolMenu* cool = form->CoolMenu;
  ASSERT_NE(cool, nullptr);
  EXPECT_EQ(cool->MenuBar().Size, 12);
  EXPECT_FALSE(cool->MenuBar().IsSeparator);
  EXPECT_FALSE(cool->ShowBar());
  ASSERT_EQ(cool->ItemCount(), 25);
  // File holds no printer setup: no command of the window asks for one.
  EXPECT_EQ(form->mnuMain_File->Find("Print Setup..."), nullptr);
  int pictures = 0;
  for (int i = 0; i < cool->ItemCount(); ++i) {
    TCoolMenuItem* item = cool->Item(i);
    SCOPED_TRACE(item->Name());
    ASSERT_TRUE(item->IsLinked());
    EXPECT_EQ(item->Menu(), form->mnuMain);
    EXPECT_TRUE(form->mnuMain->IsOwnerDrawn(item->MenuItem()));
    EXPECT_EQ(item->GetTrColor(), clFuchsia);
    if (auto* b = dynamic_cast<TBitmap*>(item->Picture()->Graphic()); b && !b->Empty()) {
      ++pictures;
      EXPECT_EQ(b->Width(), 16);
      EXPECT_EQ(b->Height(), 16);
    }
  }
  EXPECT_GE(pictures, 14);  // most of them
  // One picture per command: the menu item's is its button's.
  for (auto [menuItem, button] : {std::pair{form->mnuMain_Edit_Cut, form->tbCut},
                                  std::pair{form->mnuMain_Edit_Find, form->tbFind},
                                  std::pair{form->mnuMain_View_Preview_Single, form->tbPrintPreview}}) {
    TCoolMenuItem* item = nullptr;
    for (int i = 0; i < cool->ItemCount(); ++i)
      if (cool->Item(i)->MenuItem() == menuItem) item = cool->Item(i);
    ASSERT_NE(item, nullptr) << menuItem->Name();
    auto* picture = dynamic_cast<TBitmap*>(item->Picture()->Graphic());
    ASSERT_NE(picture, nullptr);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        ASSERT_EQ(picture->Canvas()->Pixels(x, y), button->Glyph()->Canvas()->Pixels(x, y))
            << menuItem->Name() << " at " << x << "," << y;
  }
  // Alt+E opens the Edit menu: Find (enabled with an entry) shows its
  // button's lens, Refresh its green arrows; the sub-menus (Add, Edit,
  // Delete) stay plain items.
  AddEntry("first");
  auto grabMenu = [&](Qt::Key key) {
    QTest::keyClick(vantrel::qt::ClientWidget(*form->dbgBug), key, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    Application->ProcessMessages();
    return std::pair{menu, menu ? menu->grab().toImage() : QImage()};
  };
  auto count = [](const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
  };
  auto [edit, editImage] = grabMenu(Qt::Key_E);
  ASSERT_NE(edit, nullptr);
  EXPECT_GT(count(editImage, qRgb(0, 255, 255)), 5) << "the lens of Find";
  EXPECT_GT(count(editImage, qRgb(0, 128, 0)), 20) << "the arrows of Refresh";
  edit->close();
  Application->ProcessMessages();
  auto [help, helpImage] = grabMenu(Qt::Key_H);
  ASSERT_NE(help, nullptr);
  EXPECT_GT(count(helpImage, qRgb(0, 0, 255)), 100) << "the book and the sign of About";
  // An owner-drawn item is chosen by its underlined letter: Alt+H, then A.
  std::vector<std::string> shown;
  onForm = [&](TDialogRequest& r) {
    shown.push_back(r.Dialog->ClassName());
    return mrOk;
  };
  QTest::keyClick(help, Qt::Key_A);
  Application->ProcessMessages();
  EXPECT_EQ(shown, std::vector<std::string>{"TfrmAbout"});
}

}  // namespace

namespace {

using testing_support::ClientOf;

// The window's tab strips light the caption of the tab under the pointer
// (the hot tracking colour) and put it back once the pointer leaves.
TEST_F(Toolbars, TabStripsHighlightTheTabUnderThePointer) {
  AddEntry("first");  // the memo tabs are enabled with an entry
  for (TExtTabControl* strip : {form->tcType, form->tcRTFs}) {
    SCOPED_TRACE(strip->Name());
    const int tab = strip->TabIndex() == 1 ? 0 : 1;  // one not selected
    const TRect r = strip->TabRect(tab);
    const auto hotInk = [&] {
      Application->ProcessMessages();
      const QImage shot = ClientOf(strip)->grab().toImage();
      const TColor hot = ColorToRGB(strip->Hottrack()->TabInactiveColor());
      int count = 0;
      for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
          count += vantrel::qt::FromQColor(shot.pixelColor(x, y)) == hot;
      return count;
    };
    QTest::mouseMove(ClientOf(form), QPoint(2, 2));
    EXPECT_EQ(hotInk(), 0);
    QTest::mouseMove(ClientOf(strip), QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    EXPECT_GT(hotInk(), 10) << "the caption in the hot colour";
    QTest::mouseMove(ClientOf(form), QPoint(2, 2));
    EXPECT_EQ(hotInk(), 0);
  }
}

}  // namespace

namespace {

// A bar docked at the window's left stands at its edge, left of the program
// list and its splitter, as the window's controls were made.
TEST_F(Toolbars, TheLeftDockStandsAtTheWindowsEdge) {
  form->tbarProgram->SetDockedTo(form->Dock_Left);
  Application->ProcessMessages();
  ASSERT_GT(form->Dock_Left->Width(), 0);
  EXPECT_EQ(form->Dock_Left->Left(), 0);
  EXPECT_EQ(form->pnlPrograms->Left(), form->Dock_Left->Width());
  EXPECT_EQ(form->splPrograms->Left(), form->pnlPrograms->Left() + form->pnlPrograms->Width());
  EXPECT_EQ(form->pnlMain->Left(), form->splPrograms->Left() + form->splPrograms->Width());
}

}  // namespace
