// The main window's toolbar buttons show pictures, not captions: a caption
// wider than the button was squeezed over its neighbours. The caption stays
// the button's text for the menus' sake; the hint says what it does.

#include "app/common/components.h"
#include "app/glyphs/toolglyphs.h"
#include "app/main/bug.h"
#include "platform/classlib/menus/menus.h"
#include "winctrls/coolmenu.h"
#include "winctrls/tb97.h"
#include "winctrls/tb97button.h"

namespace {

// The picture of each button: a symbol and, for some, a badge over it.
struct ButtonGlyph {
  TToolbarButton97* TfrmBug::*button;
  const char* symbol;
  const char* badge;  // nullptr: none
};
constexpr ButtonGlyph kButtonGlyphs[] = {
    {&TfrmBug::tbPrintPreview, "page", "lens"},
    {&TfrmBug::tbChart, "chart", nullptr},
    {&TfrmBug::tbPrintReport, "printer", nullptr},
    {&TfrmBug::tbCut, "scissors", nullptr},
    {&TfrmBug::tbCopy, "copy", nullptr},
    {&TfrmBug::tbPaste, "paste", nullptr},
    {&TfrmBug::tbUndo, "undo", nullptr},
    {&TfrmBug::tbAddProgram, "program", "plus"},
    {&TfrmBug::tbDeleteProgram, "program", "cross"},
    {&TfrmBug::tbProgramProperties, "properties", nullptr},
    {&TfrmBug::tbAddBugReport, "bug", "plus"},
    {&TfrmBug::tbAddFeature, "bulb", "plus"},
    {&TfrmBug::tbDelete, "delete", nullptr},
    {&TfrmBug::tbSwitch, "switch", nullptr},
    {&TfrmBug::tbFind, "find", nullptr},
    {&TfrmBug::tbStatusFilter_NewReport, "star", nullptr},
    {&TfrmBug::tbStatusFilter_InProcess, "hourglass", nullptr},
    {&TfrmBug::tbStatusFilter_Fixed, "check", nullptr},
    {&TfrmBug::tbStatusFilter_Completed, "seal", nullptr},
    {&TfrmBug::tbStatusFilter_Delegated, "handover", nullptr},
    {&TfrmBug::tbStatusFilter_Deferred, "clock", nullptr},
    {&TfrmBug::tbStatusFilter_NoLongerRelevant, "notrelevant", nullptr},
    {&TfrmBug::tbStatusFilter_WillNotBeFixed, "noentry", nullptr},
    {&TfrmBug::tbStatusFilter_CouldNotDuplicate, "question", nullptr},
    {&TfrmBug::tbPriorityFilter_VeryHigh, "veryhigh", nullptr},
    {&TfrmBug::tbPriorityFilter_High, "high", nullptr},
    {&TfrmBug::tbPriorityFilter_Normal, "normal", nullptr},
    {&TfrmBug::tbPriorityFilter_Low, "low", nullptr},
    {&TfrmBug::tbPriorityFilter_VeryLow, "verylow", nullptr},
    {&TfrmBug::btnAdvancedFilter, "funnel", nullptr},
    {&TfrmBug::tbLargeIcons, "large", nullptr},
    {&TfrmBug::tbSmallIcons, "small", nullptr},
    {&TfrmBug::tbList, "list", nullptr},
    {&TfrmBug::tbAttach, "clip", "plus"},
    {&TfrmBug::tbDeleteAttachment, "clip", "cross"},
    {&TfrmBug::tbAttachmentProperties, "properties", nullptr},
    {&TfrmBug::tbAttachmentExecute, "folder", nullptr},
    {&TfrmBug::btnRTFPrint, "printer", nullptr},
    {&TfrmBug::tbReportLine, "line", nullptr},
    {&TfrmBug::btnInsertAddendum, "page", "plus"},
    {&TfrmBug::btnRTF_LeftAlign, "alignleft", nullptr},
    {&TfrmBug::btnRTF_CenterAlign, "aligncenter", nullptr},
    {&TfrmBug::btnRTF_RightAlign, "alignright", nullptr},
    {&TfrmBug::tbDecreaseFontSize, "letterA", "down"},
    {&TfrmBug::tbIncreaseFontSize, "letterA", "up"},
    {&TfrmBug::btnRTF_Bold, "bold", nullptr},
    {&TfrmBug::btnRTF_Italic, "italic", nullptr},
    {&TfrmBug::btnRTF_Underline, "underline", nullptr},
    {&TfrmBug::btnRTF_Bullets, "bullets", nullptr},
};

// A button is the picture, a pixel of face around it and the flat frame; the
// drop-down arrow drawn beside the picture (9 pixels) widens it. A combo
// button's separate arrow part is added by the button itself.
constexpr int kButtonWidth = 23, kButtonHeight = 22, kInlineArrowWidth = 9;

// The main menu's items drawn with a picture (25 of them): a command that
// has a toolbar button shows that button's picture, the others a picture of
// their own or none.
struct MenuPicture {
  TMenuItem* TfrmBug::*item;
  TToolbarButton97* TfrmBug::*button;  // nullptr: no button for the command
  const char* symbol;                  // without a button; nullptr: no picture
};
constexpr MenuPicture kMenuPictures[] = {
    {&TfrmBug::mnuMain_File_Print_Single, &TfrmBug::tbPrintReport, nullptr},
    {&TfrmBug::mnuMain_File_Print_Listing, nullptr, nullptr},
    {&TfrmBug::mnuMain_File_Print_Comprehensive, nullptr, nullptr},
    {&TfrmBug::mnuMain_File_Export_ThisRecord, nullptr, "export"},
    {&TfrmBug::mnuMain_File_Exit, nullptr, "exit"},
    {&TfrmBug::mnuMain_Edit_Undo, &TfrmBug::tbUndo, nullptr},
    {&TfrmBug::mnuMain_Edit_Cut, &TfrmBug::tbCut, nullptr},
    {&TfrmBug::mnuMain_Edit_Copy, &TfrmBug::tbCopy, nullptr},
    {&TfrmBug::mnuMain_Edit_Paste, &TfrmBug::tbPaste, nullptr},
    {&TfrmBug::mnuMain_Edit_Add_Report, &TfrmBug::tbAddBugReport, nullptr},
    {&TfrmBug::mnuMain_Edit_Add_FeatureRequest, &TfrmBug::tbAddFeature, nullptr},
    {&TfrmBug::mnuMain_Edit_Add_Program, &TfrmBug::tbAddProgram, nullptr},
    {&TfrmBug::mnuMain_Edit_Edit_Field, nullptr, nullptr},
    {&TfrmBug::mnuMain_Edit_Edit_Entry, nullptr, nullptr},
    {&TfrmBug::mnuMain_Edit_Delete_Report, &TfrmBug::tbDelete, nullptr},
    {&TfrmBug::mnuMain_Edit_Delete_Program, &TfrmBug::tbDeleteProgram, nullptr},
    {&TfrmBug::mnuMain_Edit_Find, &TfrmBug::tbFind, nullptr},
    {&TfrmBug::mnuMain_Edit_Refresh, nullptr, "refresh"},
    {&TfrmBug::mnuMain_View_Graphs_Status, &TfrmBug::tbChart, nullptr},
    {&TfrmBug::mnuMain_View_Preview_Single, &TfrmBug::tbPrintPreview, nullptr},
    {&TfrmBug::mnuMain_View_Preview_Listing, nullptr, nullptr},
    {&TfrmBug::mnuMain_View_Options, nullptr, "options"},
    {&TfrmBug::mnuMain_Help_Contents, nullptr, "contents"},
    {&TfrmBug::mnuMain_Help_TopicSearch, nullptr, nullptr},
    {&TfrmBug::mnuMain_Help_About, nullptr, "about"},
};

}  // namespace

void TfrmBug::GiveMenuPictures() {
  CoolMenu = NewComponent<TCoolMenu>(this, "CoolMenu");
  TCoolMenuBar bar;
  bar.Assign(&CoolMenu->MenuBar());
  bar.Size = 12;
  bar.IsSeparator = false;
  CoolMenu->SetMenuBar(bar);
  for (const MenuPicture& p : kMenuPictures) {
    TMenuItem* item = this->*p.item;
    auto* cool = NewComponent<TCoolMenuItem>(this, "Cool_" + item->Name());
    cool->SetCoolMenu(CoolMenu);
    if (p.button) {
      cool->SetPicture((this->*p.button)->Glyph());
    } else if (p.symbol) {
      cool->SetPicture(MakeToolGlyph({p.symbol}).get());
    }
    cool->SetTrColor(clFuchsia);
    cool->SetMenuItem(item);
  }
}

void TfrmBug::GiveToolbarGlyphs() {
  for (const ButtonGlyph& g : kButtonGlyphs) {
    TToolbarButton97* button = this->*g.button;
    const auto glyph = g.badge ? MakeToolGlyph({g.symbol, g.badge}) : MakeToolGlyph({g.symbol});
    button->SetGlyph(glyph.get());
    button->SetDisplayMode(dmGlyphOnly);
    const bool inlineArrow = button->DropdownMenu() && button->DropdownArrow() && !button->DropdownCombo();
    const int comboArrow = button->DropdownCombo() ? TToolbarButton97::kComboArrowWidth : 0;
    button->SetBounds(button->Left(), button->Top(),
                      kButtonWidth + (inlineArrow ? kInlineArrowWidth : 0) + comboArrow, kButtonHeight);
  }
  // The bars were laid out for the buttons' first sizes.
  for (TToolWindow97* bar : {tbarMisc, tbarEdit, tbarProgram, tbarBug, tbarFilters, tbarAttachment,
                             tbarRTF_1, tbarRTF_3})
    bar->ArrangeControls();
}
