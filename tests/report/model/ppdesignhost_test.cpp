// A report with every component class attached to the designer host: design
// controls and selections, handles, popup menus, dialogs, the designer
// messages of each action, the design-time warnings, and printing after the
// designer is gone.

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/menus/menus.h"
#include "platform/classlib/menus/qtmenus.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "report/components/ppdbtext.h"
#include "report/components/ppgraph.h"
#include "report/components/ppmemo.h"
#include "report/components/ppregion.h"
#include "report/components/pprichtx.h"
#include "report/components/ppsubrpt.h"
#include "report/model/ppdesigndlg.h"
#include "report/model/ppdesignhost.h"
#include "report/output/ppprintr.h"
#include "reportrig.h"
#include "platform/classlib/core/temp_dir.h"

using namespace testing_support;

namespace {

constexpr int32_t kMM = 1000;

// A listing of 30 records with one component of every class.
struct DesignRig : Listing {
  DesignRig() : Listing(30) {
    header->SetName("bndHeader");
    detail->SetName("bndDetail");
    footer->SetName("bndFooter");
    title = AddBand<TppTitleBand>(40 * kMM);
    title->SetName("bndTitle");
    summary = AddBand<TppSummaryBand>(40 * kMM);
    summary->SetName("bndSummary");
    label = Add<TppLabel>(header, "lblTitle", 60, 0);
    label->SetCaption("Title");
    calc = Add<TppCalc>(footer, "calPage", 60, 0);
    dbText = Add<TppDBText>(detail, "dbtName", 60, 0);
    dbText->SetDataPipeline(pipeline);
    dbText->SetDataField("Name");
    dbCalc = Add<TppDBCalc>(summary, "dbcSum", 0, 0);
    dbCalc->SetDataPipeline(pipeline);
    dbCalc->SetDataField("ID");
    shape = Add<TppShape>(title, "shpBox", 0, 0);
    line = Add<TppLine>(title, "linTop", 30, 0);
    image = Add<TppImage>(title, "imgLogo", 60, 0);
    dbImage = Add<TppDBImage>(title, "dbiPhoto", 90, 0);
    memo = Add<TppMemo>(summary, "mmoNotes", 30, 0);
    dbMemo = Add<TppDBMemo>(summary, "dbmNotes", 30, 10);
    rich = Add<TppRichText>(summary, "rtfNotes", 60, 0);
    dbRich = Add<TppDBRichText>(summary, "dbrNotes", 60, 10);
    region = Add<TppRegion>(title, "rgnBox", 0, 20);
    sub = Add<TppSubReport>(summary, "subItems", 0, 20);
    childDetail = new TppDetailBand(&form);
    childDetail->SetReport(sub->ChildReport());
    sub->ChildReport()->SetName("Child");
    childText = Add<TppLabel>(childDetail, "lblChild", 0, 0);
    detail->SetSave(true);
    detail->Components(0)->SetName("txtID");
    static_cast<TppCustomText*>(detail->Components(0))->SetSave(true);
    host.Show();
    Pump();
  }
  ~DesignRig() { host.Detach(); }

  template <class C>
  C* Add(TppBand* band, const std::string& name, int leftMM, int topMM) {
    auto* c = new C(&form);
    c->SetName(name);
    c->SetBand(band);
    c->SetmmBounds(leftMM * kMM, topMM * kMM, 25 * kMM, 5 * kMM);
    return c;
  }
  // One of each class (and the child report's label).
  std::vector<TppComponent*> All() const {
    return {label, calc,  dbText, dbCalc, shape,  line,   image,  dbImage,
            memo,  dbMemo, rich,  dbRich, region, sub,    childText};
  }
  // Every component of the report and its child report.
  std::vector<TppComponent*> Everything() const {
    std::vector<TppComponent*> out;
    for (TppCustomReport* r : {static_cast<TppCustomReport*>(report),
                               static_cast<TppCustomReport*>(sub->ChildReport())})
      for (int b = 0; b < r->BandCount(); ++b)
        for (int i = 0; i < r->Bands(b)->ComponentCount(); ++i)
          out.push_back(r->Bands(b)->Components(i));
    return out;
  }
  const std::vector<TppDesignerMessage>& Messages() const {
    return host.DesignWindow()->Messages;
  }
  // Names of the report's objects by address (a sender may be freed by
  // the time its message is read).
  void NoteNames() {
    for (TppCustomReport* r : {static_cast<TppCustomReport*>(report),
                               static_cast<TppCustomReport*>(sub->ChildReport())}) {
      names[r] = r->Name();
      for (int b = 0; b < r->BandCount(); ++b) names[r->Bands(b)] = r->Bands(b)->Name();
    }
    for (TppComponent* c : Everything()) names[c] = c->Name();
  }
  // The messages received since `from`, as "number:sender name" ("number/
  // parameter:sender name" when the parameter is not the usual one).
  std::vector<std::string> Since(size_t from) {
    Pump();  // posted messages arrive from the event loop
    NoteNames();
    std::vector<std::string> out;
    for (size_t i = from; i < Messages().size(); ++i) {
      const TppDesignerMessage& m = Messages()[i];
      auto it = names.find(m.Sender);
      const std::string param = m.Param == ppDesignerParam ? "" : "/" + std::to_string(m.Param);
      out.push_back(std::to_string(m.Msg) + param + ":" + (it == names.end() ? "?" : it->second));
    }
    return out;
  }
  std::map<const TObject*, std::string> names;
  // Opens the design control's popup menu with a right click on it.
  TPopupMenu* RightClick(TppComponent* c) { return RightClickAt(c->DesignControl(), 2, 2); }
  // Opens a band's popup menu with a right click on its control's corner.
  TPopupMenu* RightClick(TppBand* band) {
    TWinControl* strip = band->DesignControl();
    return RightClickAt(strip, strip->Width() - 3, strip->Height() - 3);
  }
  TPopupMenu* RightClickAt(TWinControl* control, int x, int y) {
    Click(control, x, y, Qt::RightButton);
    Pump();
    // Closed as a user does, so that activation returns to the designer.
    if (QMenu* popup = vantrel::menus::PopupWidget(*host.Menu()); popup && popup->isVisible())
      QTest::keyClick(popup, Qt::Key_Escape);
    Pump();
    return host.Menu();
  }

  TppTitleBand* title;
  TppSummaryBand* summary;
  TppLabel* label;
  TppCalc* calc;
  TppDBText* dbText;
  TppDBCalc* dbCalc;
  TppShape* shape;
  TppLine* line;
  TppImage* image;
  TppDBImage* dbImage;
  TppMemo* memo;
  TppDBMemo* dbMemo;
  TppRichText* rich;
  TppDBRichText* dbRich;
  TppRegion* region;
  TppSubReport* sub;
  TppDetailBand* childDetail;
  TppLabel* childText;
  TppDesignerHost host{nullptr};
};

TEST(DesignHost, EveryComponentGetsADesignControlAndASelection) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  std::vector<TObject*> asked;
  for (const TppDesignerMessage& m : rig.Messages())
    if (m.Msg == ppmsgCreateDesignControl) asked.push_back(m.Sender);
  ASSERT_EQ(asked.size(), rig.Everything().size());
  for (TppComponent* c : rig.Everything()) {
    SCOPED_TRACE(c->Name());
    EXPECT_NE(std::find(asked.begin(), asked.end(), c), asked.end());
    EXPECT_TRUE(c->State() & ppstDesigning);
    ASSERT_NE(c->DesignControl(), nullptr);
    EXPECT_EQ(c->DesignControl()->Component(), c);
    EXPECT_EQ(c->DesignControl()->Parent(), rig.host.DesignWindow());
    EXPECT_EQ(c->DesignControl()->PopupMenu(), rig.host.Menu());
    EXPECT_EQ(c->DesignControl()->BoundsRect(),
              (TRect{c->PixelLeft(), c->PixelTop(), c->PixelLeft() + c->PixelWidth(),
                     c->PixelTop() + c->PixelHeight()}));
    ASSERT_NE(c->SelectionObject(), nullptr);
    EXPECT_EQ(c->SelectionObject()->Component(), c);
    EXPECT_EQ(c->SelectionObject()->Window(), rig.host.DesignWindow());
    // Only the picture's control lets what lies below show through.
    EXPECT_EQ(c->DesignControl()->ControlStyle().Contains(csOpaque), c != rig.image);
  }
  // Parent-sized sides lose their handles: region and sub-report span the band.
  EXPECT_EQ(rig.region->DesignControl()->SizingHandleMask(), ppmaskParentWidth);
  rig.shape->SetParentHeight(true);
  EXPECT_EQ(rig.shape->DesignControl()->SizingHandleMask(), ppmaskParentHeight);
  rig.shape->SetParentWidth(true);
  EXPECT_EQ(rig.shape->DesignControl()->SizingHandleMask(), 15);
  rig.shape->SetParentHeight(false);
  EXPECT_EQ(rig.shape->DesignControl()->SizingHandleMask(), ppmaskParentWidth);

  // A sub-report placed while attached brings its report into the designer.
  auto* lateSub = rig.Add<TppSubReport>(rig.summary, "subLate", 0, 30);
  EXPECT_EQ(lateSub->ChildReport()->DesignWindow(), rig.host.DesignWindow());
  EXPECT_TRUE(lateSub->ChildReport()->State() & ppstDesigning);
  lateSub->SetBand(nullptr);
  EXPECT_EQ(lateSub->ChildReport()->DesignWindow(), nullptr);
  // A component placed while attached gets its control at once; one taken
  // out of its band loses it.
  auto* late = rig.Add<TppLabel>(rig.header, "lblLate", 100, 0);
  ASSERT_NE(late->DesignControl(), nullptr);
  late->SetBand(nullptr);
  EXPECT_EQ(late->DesignControl(), nullptr);
  EXPECT_FALSE(late->State() & ppstDesigning);

  rig.host.Detach();
  for (TppComponent* c : rig.All()) {
    EXPECT_EQ(c->DesignControl(), nullptr) << c->Name();
    EXPECT_EQ(c->SelectionObject(), nullptr) << c->Name();
    EXPECT_FALSE(c->State() & ppstDesigning) << c->Name();
  }
  EXPECT_EQ(rig.report->DesignWindow(), nullptr);
  EXPECT_EQ(rig.sub->ChildReport()->DesignWindow(), nullptr);
}

TEST(DesignHost, HandlesSitAroundTheSelectedControlInItsColours) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  struct Case {
    TRect pixels;  // left, top, right, bottom
    TColor color;
    TColor handles;
  } cases[] = {
      {{10, 20, 110, 60}, clWhite, clBlack},
      {{0, 0, 7, 3}, clBlack, clWhite},
      {{33, 5, 34, 200}, clNavy, clWhite},
      {{40, 40, 141, 91}, clRed, clBlack},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pixels.Left);
    rig.label->SetColor(c.color);
    rig.label->DesignControl()->SetColor(c.color);
    rig.label->SetPixelBounds(c.pixels.Left, c.pixels.Top, c.pixels.Width(), c.pixels.Height());
    rig.host.Select(rig.label);
    TppSizingHandles* sizing = rig.label->SelectionObject()->SizingHandles();
    ASSERT_NE(sizing, nullptr);
    const TRect b = rig.label->DesignControl()->BoundsRect();
    const int xs[] = {b.Left, b.Left + b.Width() / 2, b.Right};
    const int ys[] = {b.Top, b.Top + b.Height() / 2, b.Bottom};
    int k = 0;
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col) {
        if (row == 1 && col == 1) continue;
        TShape* handle = sizing->Handle(k++);
        EXPECT_EQ(handle->BoundsRect(), (TRect{xs[col] - 2, ys[row] - 2, xs[col] + 3, ys[row] + 3}));
        EXPECT_TRUE(handle->Visible());
        EXPECT_EQ(handle->Parent(), rig.host.DesignWindow());
        EXPECT_EQ(handle->Brush()->Color(), c.handles);
      }
    EXPECT_FALSE(rig.label->SelectionObject()->BoundsRect()->Visible());
  }
  // The bounds rectangle follows the control's place and the new size.
  rig.label->SetmmWidth(rig.label->mmWidth() + 10 * kMM);
  const TRect moved = rig.label->DesignControl()->BoundsRect();
  EXPECT_EQ(rig.label->SelectionObject()->BoundsRect()->Rect,
            (TRect{moved.Left, moved.Top, moved.Left + rig.label->PixelWidth(),
                   moved.Top + rig.label->PixelHeight()}));
  EXPECT_EQ(moved.Width(), rig.label->PixelWidth());
  TppSizingHandles* sizing = rig.label->SelectionObject()->SizingHandles();
  EXPECT_EQ(sizing->Handle(0)->Cursor(), crSizeNWSE);
  EXPECT_EQ(sizing->Handle(3)->Cursor(), crSizeWE);
  EXPECT_EQ(sizing->Handle(5)->Cursor(), crSizeNESW);

  // Without sizing handles the four grey corner marks show inside.
  TppSelectionObject* selection = rig.shape->SelectionObject();
  selection->SetSizingHandles(nullptr);
  rig.shape->SetPixelBounds(10, 20, 100, 40);
  rig.host.Select(rig.shape);
  const TPoint marks[] = {{10, 20}, {105, 20}, {10, 55}, {105, 55}};
  for (int i = 0; i < 4; ++i) {
    TShape* handle = selection->SelectionHandles()->Handle(i);
    EXPECT_TRUE(handle->Visible());
    EXPECT_EQ(handle->BoundsRect(), (TRect{marks[i].x, marks[i].y, marks[i].x + 5, marks[i].y + 5}));
    EXPECT_EQ(handle->Brush()->Color(), TColor(0xC0C0C0));
  }
  // The shared handles hide when a selection that shows them goes; freed
  // handles are forgotten by every selection.
  rig.host.Select(rig.label);
  EXPECT_TRUE(sizing->Handle(0)->Visible());
  rig.label->FreeDesignControl();
  EXPECT_FALSE(sizing->Handle(0)->Visible());
  delete sizing;
  EXPECT_EQ(rig.dbText->SelectionObject()->SizingHandles(), nullptr);
  rig.host.Select(rig.dbText);  // the corner marks show instead
  EXPECT_TRUE(rig.dbText->SelectionObject()->SelectionHandles()->Handle(0)->Visible());
}

TEST(DesignHost, TheDesignImageIsPaintedThroughItsBitmapUntilInvalid) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  rig.label->SetAutoSize(false);
  rig.label->SetPixelBounds(0, 0, 80, 20);
  rig.label->SetColor(clRed);
  rig.label->SetCaption("");
  rig.host.DesignWindow()->Invalidate();
  Pump();
  auto shot = Snapshot(rig.label->DesignControl());
  EXPECT_EQ(shot->Canvas()->Pixels(40, 10), clRed);
  EXPECT_EQ(shot->Canvas()->Pixels(0, 0), clBlack);  // the frame
  EXPECT_TRUE(rig.label->DesignBitmapValid());
  EXPECT_EQ(rig.label->DesignBitmap()->Canvas()->Pixels(40, 10), clRed);
  rig.label->SetColor(clLime);
  EXPECT_FALSE(rig.label->DesignBitmapValid());
  Snapshot(rig.label->DesignControl());
  EXPECT_TRUE(rig.label->DesignBitmapValid());
  TFont bold;
  bold.SetStyle(TFontStyles{fsBold});
  rig.label->SetFont(&bold);  // a new font is a new image
  EXPECT_FALSE(rig.label->DesignBitmapValid());
  rig.label->SetPixelBounds(0, 0, 80, 20);  // the font fitted the empty caption's height
  shot = Snapshot(rig.label->DesignControl());
  EXPECT_EQ(shot->Canvas()->Pixels(40, 10), clLime);
  // Transparent: white of the bitmap keeps what was under it (SRCAND).
  rig.label->SetTransparent(true);
  auto under = Surface(80, 20, clBlue);
  rig.label->PaintDesign(under->Canvas());
  EXPECT_EQ(under->Canvas()->Pixels(40, 10), clBlue);
  EXPECT_EQ(under->Canvas()->Pixels(0, 0), clBlack);
  rig.label->SetTransparent(false);
  under = Surface(80, 20, clBlue);
  rig.label->PaintDesign(under->Canvas());
  EXPECT_EQ(under->Canvas()->Pixels(40, 10), clLime);
}

// The popup item names and captions of a component's menu, one a line.
std::string Listed(TPopupMenu* menu) {
  std::string out;
  for (int i = 0; i < menu->Items()->Count(); ++i)
    out += menu->Items()->Items(i)->Name() + "=" + menu->Items()->Items(i)->Caption() + "\n";
  return out;
}

TEST(DesignHost, PopupMenusCheckFromThePropertiesAndToggleThem) {
  DesignRig rig;
  rig.report->SetLanguage(lgCustom);  // captions come from the report's language
  rig.host.Attach(rig.report);
  EXPECT_EQ(Listed(rig.RightClick(rig.label)),
            "mniBringToFront=XBring to Front\nmniSendToBack=XSend to Back\n=-\n"
            "mniLabelAutoSize=XAutoSize\nmniPosition=XPosition...\n"
            "mniLabelReprintOnOverFlow=XReprintOnOverFlow\n"
            "mniLabelShiftWithParent=XShiftWithParent\nmniLabelTransparent=XTransparent\n"
            "mniLabelVisible=XVisible\nmniLabelWordWrap=XWordWrap\n");
  EXPECT_EQ(rig.host.Menu()->PopupComponent(), rig.label->DesignControl());
  const std::string memoMenu = Listed(rig.RightClick(rig.memo));
  EXPECT_NE(memoMenu.find("mniMemoEdit=XLines...\n"), std::string::npos) << memoMenu;
  const std::string richMenu = Listed(rig.RightClick(rig.rich));
  EXPECT_NE(richMenu.find("mniRichTextEdit=...\n"), std::string::npos) << richMenu;
  // The data kinds show a field: nothing of their own to edit.
  EXPECT_EQ(ppFindPopupItem(rig.RightClick(rig.dbMemo), "mniMemoEdit"), nullptr);
  EXPECT_EQ(ppFindPopupItem(rig.RightClick(rig.dbRich), "mniRichTextEdit"), nullptr);
  EXPECT_NE(ppFindPopupItem(rig.RightClick(rig.dbRich), "mniStretch"), nullptr);

  // Every toggle of every class's menu shows its property and flips it.
  int toggles = 0;
  for (TppComponent* c : rig.All()) {
    TPopupMenu* menu = rig.RightClick(c);
    ASSERT_GT(menu->Items()->Count(), 3) << c->Name();
    for (int i = 0; i < menu->Items()->Count(); ++i) {
      const std::string name = menu->Items()->Items(i)->Name();
      std::string prop = name.size() > 3 ? name.substr(3) : "";
      for (const char* prefix : {"DBText", "DBCalc", "Label", "Calc", "Shape", "Line", "Image"})
        if (!IsPublishedProp(c, prop) && prop.rfind(prefix, 0) == 0) prop = prop.substr(strlen(prefix));
      if (!IsPublishedProp(c, prop) || PropType(c, prop) != tkEnumeration ||
          GetPropInfo(c, prop)->EnumType != &BooleanInfo())
        continue;
      SCOPED_TRACE(c->Name() + " " + name);
      const bool before = GetOrdProp(c, prop) != 0;
      EXPECT_EQ(menu->Items()->Items(i)->Checked(), before);
      menu->Items()->Items(i)->Click();
      // Some switches exclude others, and a section always spans its band.
      const bool after = GetOrdProp(c, prop) != 0;
      if (!(c == rig.sub && prop == "ParentWidth")) {
        EXPECT_NE(after, before);
      }
      menu = rig.RightClick(c);
      EXPECT_EQ(ppFindPopupItem(menu, name)->Checked(), after);
      ++toggles;
    }
  }
  EXPECT_GT(toggles, 60);

  // Choices: the line's style and the sub-report's print behaviour.
  TPopupMenu* menu = rig.RightClick(rig.line);
  EXPECT_TRUE(ppFindPopupItem(menu, "mniLineSingle")->Checked());
  ppFindPopupItem(menu, "mniLineDouble")->Click();
  EXPECT_EQ(rig.line->Style(), lsDouble);
  menu = rig.RightClick(rig.sub);
  EXPECT_TRUE(ppFindPopupItem(menu, "mniSection")->Checked());  // NewPrintJob made it one
  EXPECT_FALSE(ppFindPopupItem(menu, "mniChild")->Checked());
  ppFindPopupItem(menu, "mniChild")->Click();
  EXPECT_EQ(rig.sub->PrintBehavior(), pbChild);
  EXPECT_TRUE(ppFindPopupItem(rig.RightClick(rig.sub), "mniChild")->Checked());
  // Order: bring to front and send to back move it in its band.
  rig.RightClick(rig.memo);
  ppFindPopupItem(rig.host.Menu(), "mniSendToBack")->Click();
  EXPECT_EQ(rig.summary->Components(0), rig.memo);
  ppFindPopupItem(rig.RightClick(rig.memo), "mniBringToFront")->Click();
  EXPECT_EQ(rig.summary->Components(rig.summary->ComponentCount() - 1), rig.memo);

  // A band's menu: print height as a choice, its switches as toggles.
  rig.host.PopupForBand(rig.footer);
  EXPECT_TRUE(ppFindPopupItem(rig.host.Menu(), "mniStaticHeight")->Checked());
  EXPECT_TRUE(ppFindPopupItem(rig.host.Menu(), "mniPrintOnFirstPage")->Checked());
  ppFindPopupItem(rig.host.Menu(), "mniDynamicHeight")->Click();
  ppFindPopupItem(rig.host.Menu(), "mniPrintOnFirstPage")->Click();
  EXPECT_EQ(rig.footer->PrintHeight(), phDynamic);
  EXPECT_FALSE(rig.footer->PrintOnFirstPage());
  rig.host.PopupForBand(rig.summary);
  EXPECT_EQ(ppFindPopupItem(rig.host.Menu(), "mniPrintOnFirstPage"), nullptr);
  ppFindPopupItem(rig.host.Menu(), "mniNewPage")->Click();
  EXPECT_TRUE(rig.summary->NewPage());
}

TEST(DesignHost, DialogsApplyOnOkAndNothingOnCancel) {
  DesignRig rig;
  rig.report->SetUnits(utMillimeters);
  rig.host.Attach(rig.report);
  auto* group = rig.AddGroup("Grp", 5 * kMM, 5 * kMM);
  group->SetName("grpGrp");
  struct Case {
    std::string name;
    TppComponent* component;
    std::string item;
    std::function<void(TComponent* dialog)> fill;
    std::function<std::string()> state;
  };
  std::vector<Case> cases = {
      {"position", rig.memo, "mniPosition",
       [](TComponent* d) {
         auto* p = dynamic_cast<TppCustomPositionDialog*>(d);
         EXPECT_TRUE(p->HasOffsets);
         EXPECT_FLOAT_EQ(p->Left, 30);
         p->Left = 12, p->Top = 3, p->Width = 40, p->BottomOffset = 2;
       },
       [&] {
         return std::to_string(rig.memo->mmLeft()) + " " + std::to_string(rig.memo->mmTop()) +
                " " + std::to_string(rig.memo->mmWidth()) + " " +
                std::to_string(rig.memo->mmBottomOffset());
       }},
      {"format", rig.dbText, "mniDBTextFormat",
       [&](TComponent* d) {
         // The designer was told before the dialog showed.
         EXPECT_EQ(rig.Messages().back().Msg, ppmsgFormatDialog);
         dynamic_cast<TppCustomFormatDialog*>(d)->DisplayFormat = ">";
       },
       [&] { return rig.dbText->DisplayFormat(); }},
      {"calculations", rig.dbCalc, "mniDBCalcCalc",
       [](TComponent* d) {
         auto* c = dynamic_cast<TppCustomDBCalcDialog*>(d);
         EXPECT_EQ(c->Fields.CommaText(), "ID,Grp,Name");
         EXPECT_EQ(c->Groups.CommaText(), "grpGrp");
         c->DBCalcType = dcCount, c->DataField = "Grp", c->ResetGroup = 0;
       },
       [&] {
         return std::to_string(rig.dbCalc->DBCalcType()) + rig.dbCalc->DataField() +
                (rig.dbCalc->ResetGroup() ? rig.dbCalc->ResetGroup()->Name() : "-");
       }},
      {"picture", rig.image, "mniImagePicture",
       [](TComponent* d) {
         dynamic_cast<TppCustomPictureDialog*>(d)->Picture()->Bitmap()->SetSize(7, 3);
       },
       [&] { return std::to_string(rig.image->Picture()->Width()); }},
      {"shift", rig.memo, "mniShiftRelativeTo",
       [](TComponent* d) {
         auto* s = dynamic_cast<TppCustomShiftDialog*>(d);
         EXPECT_EQ(s->Components.Strings(0), "<None>");
         EXPECT_EQ(s->Components.IndexOf("mmoNotes"), -1);  // not itself
         s->ItemIndex = s->Components.IndexOf("rtfNotes");
       },
       [&] { return rig.memo->ShiftRelativeTo() ? rig.memo->ShiftRelativeTo()->Name() : ""; }},
      {"lines", rig.memo, "mniMemoEdit",
       [](TComponent* d) { dynamic_cast<TppCustomMemoDialog*>(d)->Lines.SetText("a\nb\n"); },
       [&] { return rig.memo->Lines()->CommaText(); }},
      {"rich text", rig.rich, "mniRichTextEdit",
       [](TComponent* d) {
         dynamic_cast<TppCustomRTFEditor*>(d)->RichText = "{\\rtf1 Hello}";
       },
       [&] { return rig.rich->RichText(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = c.state();
    for (TModalResult answer : {mrCancel, mrOk}) {
      std::vector<std::string> shown;
      TDialogResponderScope forms([&](TDialogRequest& r) {
        shown.push_back(r.Dialog->ClassName());
        EXPECT_EQ(dynamic_cast<TppForm*>(r.Dialog)->LanguageIndex(), rig.report->GetLanguageIndex());
        c.fill(r.Dialog);
        return answer;
      });
      ppFindPopupItem(rig.RightClick(c.component), c.item)->Click();
      ASSERT_EQ(shown.size(), 1u);
      if (answer == mrCancel) EXPECT_EQ(c.state(), before);
      else EXPECT_NE(c.state(), before);
    }
  }
  EXPECT_EQ(rig.memo->mmLeft(), 12 * kMM);
  EXPECT_EQ(rig.dbCalc->ResetGroup(), group);
  EXPECT_EQ(rig.memo->Lines()->CommaText(), "a,b");

  // The band position dialog, through its own OK button.
  TDialogResponderScope forms([&](TDialogRequest& r) {
    auto* dialog = dynamic_cast<TppCustomBandPositionDialog*>(r.Dialog);
    EXPECT_FLOAT_EQ(dialog->Height, 40);
    TEdit* height = nullptr;  // the first field
    TButton* ok = nullptr;
    for (int i = dialog->ComponentCount() - 1; i >= 0; --i) {
      if (auto* edit = dynamic_cast<TEdit*>(dialog->Components(i))) height = edit;
      if (auto* button = dynamic_cast<TButton*>(dialog->Components(i)); button && button->Caption() == "OK")
        ok = button;
    }
    EXPECT_EQ(height->Text(), "40");  // shown from the band
    height->SetText("35");
    ok->Click();
    return dialog->ModalResult();
  });
  rig.host.PopupForBand(rig.title);
  ppFindPopupItem(rig.host.Menu(), "mniPosition")->Click();
  EXPECT_EQ(rig.title->mmHeight(), 35 * kMM);
}

TEST(DesignHost, EachActionSendsTheDesignerItsMessages) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  struct Case {
    std::string action;
    std::function<void()> run;
    std::vector<std::string> messages;
  };
  TppGroup* group = nullptr;
  TppSummaryBand* extra = nullptr;
  const std::vector<Case> cases = {
      {"rename a component", [&] { rig.shape->SetName("shpFrame"); }, {"1124:shpFrame"}},
      {"rename the report",
       [&] { rig.report->SetName("Listing"); },
       {"1124:Listing"}},
      {"units", [&] { rig.report->SetUnits(utMillimeters); }, {"1129:Listing"}},
      // Every band re-lays out, the column bands come, the layout changed.
      {"columns", [&] { rig.report->SetColumns(2); },
       {"1140:bndTitle", "1140:bndHeader", "1140:ListingColumnHeaderBand1", "1140:bndDetail",
        "1140:ListingColumnFooterBand1", "1140:bndFooter", "1140:bndSummary",
        "1138:ListingColumnHeaderBand1", "1138:ListingColumnFooterBand1", "1127:Listing"}},
      {"one column", [&] { rig.report->SetColumns(1); },
       {"1139:ListingColumnHeaderBand1", "1139:ListingColumnFooterBand1", "1140:bndTitle",
        "1140:bndHeader", "1140:bndDetail", "1140:bndFooter", "1140:bndSummary", "1127:Listing"}},
      // The child report tells the same window first.
      {"language", [&] { rig.report->SetLanguage(lgGerman); }, {"1134:Child", "1134:Listing"}},
      {"a switch", [&] { rig.shape->SetVisible(false); }, {"1131:shpFrame"}},
      // Sized to the band first: its bounds changed.
      {"parent width", [&] { rig.shape->SetParentWidth(true); },
       {"1131:shpFrame", "1144:shpFrame"}},
      {"pipeline", [&] { rig.dbText->SetDataPipeline(nullptr); }, {"1132:dbtName"}},
      {"band height", [&] { rig.title->SetmmHeight(38 * kMM); }, {"1131:bndTitle"}},
      {"add a band", [&] { extra = new TppSummaryBand(&rig.form); extra->SetName("sumExtra");
                           extra->SetReport(rig.report); },
       {"1138:sumExtra"}},
      {"remove a band", [&] { extra->SetReport(nullptr); }, {"1139:sumExtra"}},
      {"add a group", [&] { group = rig.AddGroup("Grp", 5 * kMM, 5 * kMM); }, {"1138:", "1138:"}},
      {"print", [&] { rig.Print(); }, {"1141/1:Listing", "1141/0:Listing"}},
      {"free a component", [&] { delete rig.calc; rig.calc = nullptr; }, {"1128:calPage"}},
      // Any caption change, then the sub-report's own.
      {"sub-report caption", [&] { rig.sub->SetCaption("Items"); },
       {"1131:subItems", "1145:subItems"}},
  };
  for (const Case& c : cases) {
    const size_t from = rig.Messages().size();
    rig.NoteNames();
    c.run();
    std::vector<std::string> got = rig.Since(from);
    // Only the numbers the action is about; 1131 from the band kinds is kept.
    EXPECT_EQ(got, c.messages) << c.action;
  }
  (void)group;
}

TEST(DesignHost, BandHeightsThatCannotHoldTheLayoutAreRefusedWithAWarning) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  std::vector<std::string> warnings;
  TDialogResponderScope boxes([&](TDialogRequest& r) {
    warnings.push_back(r.Text);
    EXPECT_EQ(r.Type, mtWarning);
    return mrOk;
  });
  const int32_t page = int32_t(rig.report->PrinterSetup()->PageDef().mmPrintableHeight());
  rig.title->SetmmHeight(0);
  rig.title->SetmmHeight(page + 1);
  EXPECT_EQ(rig.title->mmHeight(), 40 * kMM);
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "Invalid value: Zero height band cannot contain components.",
                          "Invalid value: Height of band cannot exceed height of page."}));
  // An empty band may shrink to nothing; the page height itself is allowed.
  rig.childDetail->RemoveComponent(rig.childText);
  rig.title->SetmmHeight(page);
  EXPECT_EQ(rig.title->mmHeight(), page);
  // Shrinking moves up what would end below, by the difference, not above 0.
  rig.title->SetmmHeight(40 * kMM);
  rig.region->SetmmTop(30 * kMM);  // ends at 35 mm
  rig.title->SetmmHeight(22 * kMM);
  EXPECT_EQ(rig.region->mmTop(), 12 * kMM);
  EXPECT_EQ(rig.shape->mmTop(), 0);  // ends at 5 mm: stays
  rig.title->SetmmHeight(2 * kMM);
  EXPECT_EQ(rig.region->mmTop(), 0);
  EXPECT_EQ(warnings.size(), 2u);

  // Without a designer nothing is asked and any height is taken.
  rig.host.Detach();
  rig.title->SetmmHeight(0);
  EXPECT_EQ(rig.title->mmHeight(), 0);
  EXPECT_EQ(warnings.size(), 2u);
}

// Answers every message box with `answer` and keeps the texts asked.
struct Boxes {
  TModalResult answer = mrCancel;
  std::vector<std::string> asked;
  TDialogResponderScope scope{[this](TDialogRequest& r) {
    asked.push_back(r.Text);
    return answer;
  }};
};

TEST(DesignHost, ColumnAndPageWidthChangesAskBeforeComponentsGo) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  const int32_t printable = int32_t(rig.report->PrinterSetup()->PageDef().mmPrintableWidth());
  Boxes boxes;
  TModalResult& answer = boxes.answer;
  std::vector<std::string>& asked = boxes.asked;
  // The detail's name text starts at 60 mm: beyond a quarter of a letter page.
  rig.report->SetColumns(4);
  EXPECT_EQ(rig.report->Columns(), 1);
  EXPECT_EQ(rig.report->mmColumnWidth(), 0);
  ASSERT_EQ(asked, std::vector<std::string>{"Controls beyond the new column width will be deleted."});
  answer = mrOk;
  rig.report->SetColumns(4);
  EXPECT_EQ(rig.report->Columns(), 4);
  EXPECT_EQ(rig.report->mmColumnWidth(), printable / 4);
  EXPECT_EQ(rig.detail->IndexOfComponent(rig.dbText), -1);  // deleted
  EXPECT_NE(rig.title->IndexOfComponent(rig.image), -1);  // page-wide bands keep theirs
  // Back to one column: the column bands' components are announced by band.
  struct Case {
    bool inHeader, inFooter;
    const char* text;
  } cases[] = {
      {true, true, "Controls within the column header and column footer will be deleted."},
      {true, false, "Controls within the column header will be deleted."},
      {false, true, "Controls within the column footer will be deleted."},
  };
  for (const Case& c : cases) {
    // Turning columnar made the column bands.
    TppBand* header = rig.report->FindBand(bkColumnHeader);
    TppBand* footer = rig.report->FindBand(bkColumnFooter);
    ASSERT_NE(header, nullptr);
    ASSERT_NE(footer, nullptr);
    if (c.inHeader) rig.Add<TppLabel>(header, "", 0, 0);
    if (c.inFooter) rig.Add<TppLabel>(footer, "", 0, 0);
    asked.clear();
    answer = mrCancel;
    rig.report->SetColumns(1);
    EXPECT_EQ(rig.report->Columns(), 4) << c.text;
    answer = mrOk;
    rig.report->SetColumns(1);
    EXPECT_EQ(asked, (std::vector<std::string>{c.text, c.text}));
    EXPECT_EQ(rig.report->Columns(), 1);
    EXPECT_EQ(rig.report->mmColumnWidth(), printable);
    EXPECT_EQ(rig.report->FindBand(bkColumnHeader), nullptr);
    EXPECT_EQ(rig.report->FindBand(bkColumnFooter), nullptr);
    answer = mrOk;
    rig.report->SetColumns(4);
  }
  // A narrower page: components beyond it go after the warning, or the page stays.
  asked.clear();
  answer = mrCancel;
  TppPrinterSetup* setup = rig.report->PrinterSetup();
  const float margin = setup->MarginRight();
  setup->SetMarginRight(6);  // inches: about 57 mm remain
  EXPECT_FLOAT_EQ(setup->MarginRight(), margin);
  EXPECT_EQ(asked, std::vector<std::string>{"Controls beyond the new page width will be deleted."});
  answer = mrOk;
  setup->SetMarginRight(6);
  EXPECT_FLOAT_EQ(setup->MarginRight(), 6);
  EXPECT_EQ(rig.title->IndexOfComponent(rig.dbImage), -1);
  EXPECT_NE(rig.title->IndexOfComponent(rig.shape), -1);
}

TEST(DesignHost, ADataTextTakesItsFieldsDisplayWidthAtDesignTime) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  rig.report->IncludeState(ppstDataAtDesign);
  auto* text = rig.Add<TppDBText>(rig.detail, "dbtNew", 0, 0);
  text->IncludeState(ppstDataAtDesign);
  text->SetDataPipeline(rig.pipeline);
  const int before = text->PixelWidth();
  text->SetDataField("Name");  // 20 characters
  TCanvas* canvas = text->DesignControl()->Canvas();
  canvas->Font()->Assign(text->Font());
  EXPECT_EQ(text->PixelWidth(), 20 * canvas->TextWidth("0"));
  EXPECT_NE(text->PixelWidth(), before);
  // Only a text that had no field is sized.
  text->SetDataField("ID");
  EXPECT_EQ(text->PixelWidth(), 20 * canvas->TextWidth("0"));
  // At design time a data text's caption is its text: the field's value.
  std::string caption;
  text->GetCaption(caption);
  EXPECT_EQ(caption, "1");
}

// Prints the report to a PDF file and a text file; the PDF's creation time aside.
std::pair<std::string, std::string> PrintBoth(TppReport* report, const std::string& stem) {
  const TempDir scratch;
  const std::string pdf = scratch / (stem + ".pdf"), txt = scratch / (stem + ".txt");
  report->SetShowPrintDialog(false);
  report->SetShowCancelDialog(false);
  report->PrinterSetup()->SetPrinterName("PDF");
  report->SetDevice(dvPrinter);
  TDialogResponderScope files([&](TDialogRequest& r) {
    if (auto* save = dynamic_cast<TSaveDialog*>(r.Dialog)) save->SetFileName(pdf);
    return mrOk;
  });
  report->Print();
  report->SetDevice(dvFile);
  report->SetTextFileName(txt);
  report->Print();
  auto read = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  static const std::regex stamps(R"(/CreationDate \([^)]*\)|/ModDate \([^)]*\)|/ID \[[^\]]*\])");
  return {std::regex_replace(read(pdf), stamps, ""), read(txt)};
}

TEST(DesignHost, ADetachedReportPrintsAsOneNeverAttached) {
  DesignRig never;
  const auto expected = PrintBoth(never.report, "design-never");
  ASSERT_GT(expected.first.size(), 1000u);
  ASSERT_NE(expected.second.find("30"), std::string::npos);
  DesignRig rig;
  rig.host.Attach(rig.report);
  rig.host.Select(rig.label);
  rig.RightClick(rig.label);
  rig.host.DesignWindow()->Invalidate();
  Pump();
  rig.host.Detach();
  const auto got = PrintBoth(rig.report, "design-detached");
  EXPECT_TRUE(got.first == expected.first);
  EXPECT_EQ(got.second, expected.second);
}

TEST(DesignHost, WhatOnlyADesignerChanges) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  // A narrower column width asks first too; Cancel keeps the width.
  {
    Boxes boxes;
    TModalResult& answer = boxes.answer;
    const std::vector<std::string>& asked = boxes.asked;
    rig.report->SetColumns(2);
    const int32_t width = rig.report->mmColumnWidth();
    rig.report->SetmmColumnWidth(50 * kMM);  // the name text starts at 60 mm
    EXPECT_EQ(rig.report->mmColumnWidth(), width);
    answer = mrOk;
    rig.report->SetmmColumnWidth(50 * kMM);
    EXPECT_EQ(rig.report->mmColumnWidth(), 50 * kMM);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "Controls beyond the new column width will be deleted.");
    rig.report->SetColumns(1);
  }
  // The report's pipeline goes to its data-aware components: each one says so.
  size_t from = rig.Messages().size();
  rig.NoteNames();
  rig.report->SetDataPipeline(nullptr);
  std::vector<std::string> got = rig.Since(from);
  for (const char* name : {"txtID", "dbcSum"})
    EXPECT_NE(std::find(got.begin(), got.end(), std::string("1132:") + name), got.end()) << name;
  rig.report->SetDataPipeline(rig.pipeline);

  // A calculation dropped into a group's band resets with that group.
  TppGroup* group = rig.AddGroup("Grp", 5 * kMM, 5 * kMM);
  auto* total = rig.Add<TppDBCalc>(group->FooterBand(), "dbcGroup", 0, 0);
  EXPECT_EQ(total->ResetGroup(), group);
  total->SetBand(rig.summary);
  EXPECT_EQ(total->ResetGroup(), nullptr);

  // Printing from a designer always asks how, even when the report says not to.
  rig.report->SetShowPrintDialog(false);
  rig.report->SetShowCancelDialog(false);
  rig.report->SetDevice(dvPrinter);
  rig.report->PrinterSetup()->SetPrinterName("PDF");
  std::vector<std::string> shown;
  {
    TDialogResponderScope forms([&](TDialogRequest& r) {
      shown.push_back(r.Dialog ? r.Dialog->ClassName() : r.Text);
      return mrCancel;
    });
    rig.report->Print();
  }
  EXPECT_EQ(shown, std::vector<std::string>{"TppPrintDialog"});
  // A layout taken over brings its sub-reports into this designer.
  {
    TppReport other(&rig.form);
    auto* band = new TppDetailBand(&rig.form);
    band->SetReport(&other);
    auto* sub = rig.Add<TppSubReport>(band, "subOther", 0, 0);
    rig.report->AssignReport(&other);
    EXPECT_EQ(sub->ChildReport()->DesignWindow(), rig.host.DesignWindow());
  }

  // Freeing the report is the designer's first word of it going, and the
  // host lets go of it (its components' controls went with them).
  rig.host.Select(rig.shape);
  from = rig.Messages().size();
  delete rig.report;
  rig.report = nullptr;
  ASSERT_GT(rig.Messages().size(), from);
  EXPECT_EQ(rig.Messages()[from].Msg, ppmsgReportFreed);
  EXPECT_EQ(rig.host.Report(), nullptr);
  EXPECT_EQ(rig.host.Selected(), nullptr);
  size_t controls = 0;
  for (int i = 0; i < rig.host.ComponentCount(); ++i)
    controls += dynamic_cast<TppDesignControl*>(rig.host.Components(i)) != nullptr;
  EXPECT_EQ(controls, 0u);
}

// The design image of a component, painted on white.
std::unique_ptr<TBitmap> DesignImage(TppComponent* c) {
  auto image = Surface(c->PixelWidth(), c->PixelHeight(), clWhite);
  c->InvalidateDesign();
  c->PaintDesign(image->Canvas());
  return image;
}

TEST(DesignHost, GraphicDesignImagesShowTheirFigures) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  // A red ellipse inside a black outline; the corners stay white.
  rig.shape->SetPixelBounds(0, 0, 60, 40);
  rig.shape->Brush()->SetColor(clRed);
  rig.shape->SetShape(stEllipse);
  auto image = DesignImage(rig.shape);
  EXPECT_EQ(image->Canvas()->Pixels(30, 20), clRed);
  EXPECT_EQ(image->Canvas()->Pixels(1, 1), clWhite);
  EXPECT_EQ(InkBox(*image, clBlack), (TRect{0, 0, 60, 40}));
  // A line along the top; double, a second stroke two widths down.
  rig.line->SetPixelBounds(0, 0, 50, 10);
  image = DesignImage(rig.line);
  EXPECT_EQ(InkBox(*image, clBlack), (TRect{0, 0, 50, 1}));
  rig.line->SetStyle(lsDouble);
  image = DesignImage(rig.line);
  EXPECT_EQ(InkBox(*image, clBlack), (TRect{0, 0, 50, 3}));
  EXPECT_EQ(image->Canvas()->Pixels(25, 1), clWhite);
  rig.line->SetPosition(lpRight);
  image = DesignImage(rig.line);
  EXPECT_EQ(InkBox(*image, clBlack), (TRect{47, 0, 50, 10}));
  // A picture fills its box when stretched; an empty one shows the frame.
  rig.image->SetPixelBounds(0, 0, 20, 20);
  image = DesignImage(rig.image);
  EXPECT_EQ(image->Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(image->Canvas()->Pixels(10, 15), clWhite);
  TPicture blue;
  blue.Bitmap()->SetSize(4, 4);
  blue.Bitmap()->Canvas()->Brush()->SetColor(clBlue);
  blue.Bitmap()->Canvas()->FillRect(TRect{0, 0, 4, 4});
  rig.image->SetPicture(&blue);
  rig.image->SetStretch(true);
  image = DesignImage(rig.image);
  EXPECT_EQ(InkBox(*image, clBlue), (TRect{0, 0, 20, 20}));
  // A memo shows its lines rather than its name.
  rig.memo->SetPixelBounds(0, 0, 120, 40);
  rig.memo->Font()->SetColor(clGreen);
  const TRect named = InkBox(*DesignImage(rig.memo), clGreen);
  TStringList lines;
  lines.SetText("W\nW\nW\n");
  rig.memo->SetLines(&lines);
  const TRect shown = InkBox(*DesignImage(rig.memo), clGreen);
  EXPECT_GT(shown.Height(), named.Height() * 2);
}

TEST(DesignHost, DataMemosShowDataAtDesignTimeOnlyWhenAskedTo) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  rig.dbMemo->SetDataPipeline(rig.pipeline);
  rig.dbMemo->SetDataField("Name");
  rig.dbRich->SetDataPipeline(rig.pipeline);
  rig.dbRich->SetDataField("Name");
  EXPECT_EQ(rig.dbMemo->Lines()->Count(), 0);
  EXPECT_EQ(rig.dbRich->GetRichText(), "");
  // Asked to show data, they load it, and follow the pipeline from then on.
  rig.dbMemo->IncludeState(ppstDataAtDesign);
  rig.dbRich->IncludeState(ppstDataAtDesign);
  EXPECT_EQ(rig.dbMemo->Lines()->CommaText(), "N1");
  EXPECT_NE(rig.dbRich->GetRichText().find("N1"), std::string::npos);
  rig.pipeline->Next();
  rig.dbMemo->PipelineNotify(rig.pipeline, ppdeSettingsChanged);
  EXPECT_EQ(rig.dbMemo->Lines()->CommaText(), "N2");
}

}  // namespace

// Every band of the report and its child report, in stacking order.
std::vector<TppBand*> StackedBands(const DesignRig& rig) {
  std::vector<TppBand*> out;
  for (TppCustomReport* r : {static_cast<TppCustomReport*>(rig.report),
                             static_cast<TppCustomReport*>(rig.sub->ChildReport())})
    for (int b = 0; b < r->BandCount(); ++b) out.push_back(r->Bands(b));
  return out;
}

int Pixels(int32_t mm) { return int(ppFromMMThousandths(mm, utScreenPixels)); }

TEST(DesignHost, BandsHaveControlsOfTheirOwnWhileAttached) {
  DesignRig rig;
  const std::vector<TppBand*> bands = StackedBands(rig);
  for (TppBand* band : bands) EXPECT_EQ(band->DesignControl(), nullptr) << band->Name();
  TppDesignWindow* window = rig.host.DesignWindow();
  const int controlsBefore = window->ControlCount();
  rig.host.Attach(rig.report);
  // Each band's strip follows the one above it, as high as the band.
  int top = 0;
  for (TppBand* band : bands) {
    SCOPED_TRACE(band->Name());
    TppBandDesignControl* strip = band->DesignControl();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->Band(), band);
    EXPECT_EQ(strip->Parent(), window);
    EXPECT_EQ(strip->PopupMenu(), rig.host.Menu());
    EXPECT_EQ(strip->BoundsRect(),
              (TRect{0, top, Pixels(band->PrintableWidth()), top + Pixels(band->mmHeight())}));
    top = strip->BoundsRect().Bottom;
  }
  EXPECT_EQ(rig.childDetail->DesignControl()->Top(), rig.summary->DesignControl()->BoundsRect().Bottom);
  // The band makes its own: the designer is asked for components' controls only.
  for (const TppDesignerMessage& m : rig.Messages()) {
    if (m.Msg == ppmsgCreateDesignControl) {
      EXPECT_NE(dynamic_cast<TppComponent*>(m.Sender), nullptr);
    }
  }
  // Below every component's control, so that those keep their clicks.
  int lastStrip = -1, firstComponent = window->ControlCount();
  for (int i = 0; i < window->ControlCount(); ++i) {
    if (dynamic_cast<TppBandDesignControl*>(window->Controls(i))) lastStrip = i;
    if (dynamic_cast<TppDesignControl*>(window->Controls(i)))
      firstComponent = std::min(firstComponent, i);
  }
  EXPECT_LT(lastStrip, firstComponent);

  // A taller band pushes the bands below it down.
  const int headerTop = rig.header->DesignControl()->Top();
  rig.title->SetmmHeight(rig.title->mmHeight() + 10 * kMM);
  EXPECT_EQ(rig.title->DesignControl()->Height(), Pixels(rig.title->mmHeight()));
  EXPECT_EQ(rig.header->DesignControl()->Top(), rig.title->DesignControl()->BoundsRect().Bottom);
  EXPECT_GT(rig.header->DesignControl()->Top(), headerTop);

  // A band joining while attached gets its strip; leaving or freed, it goes.
  auto* columnHeader = new TppColumnHeaderBand(&rig.form);
  columnHeader->SetReport(rig.report);
  ASSERT_NE(columnHeader->DesignControl(), nullptr);
  EXPECT_EQ(columnHeader->DesignControl()->Top(), rig.header->DesignControl()->BoundsRect().Bottom);
  EXPECT_EQ(rig.detail->DesignControl()->Top(), columnHeader->DesignControl()->BoundsRect().Bottom);
  columnHeader->SetReport(nullptr);
  EXPECT_EQ(columnHeader->DesignControl(), nullptr);
  EXPECT_EQ(rig.detail->DesignControl()->Top(), rig.header->DesignControl()->BoundsRect().Bottom);
  columnHeader->SetReport(rig.report);
  const int withColumnHeader = window->ControlCount();
  delete columnHeader;
  EXPECT_EQ(window->ControlCount(), withColumnHeader - 1);
  EXPECT_EQ(rig.detail->DesignControl()->Top(), rig.header->DesignControl()->BoundsRect().Bottom);
  // The designer may free a strip first: the band forgets it.
  delete rig.footer->DesignControl();
  EXPECT_EQ(rig.footer->DesignControl(), nullptr);
  EXPECT_EQ(rig.summary->DesignControl()->Top(), rig.detail->DesignControl()->BoundsRect().Bottom);

  rig.host.Detach();
  for (TppBand* band : bands) EXPECT_EQ(band->DesignControl(), nullptr) << band->Name();
  EXPECT_EQ(window->ControlCount(), controlsBefore);

  // Freed while attached, a sub-report and then the report take their strips along.
  const auto strips = [&] {
    int n = 0;
    for (int i = 0; i < window->ControlCount(); ++i)
      n += dynamic_cast<TppBandDesignControl*>(window->Controls(i)) != nullptr;
    return n;
  };
  rig.host.Attach(rig.report);
  EXPECT_EQ(strips(), rig.report->BandCount() + 1);
  delete rig.sub;
  EXPECT_EQ(strips(), rig.report->BandCount());
  delete rig.report;
  rig.report = nullptr;
  EXPECT_EQ(strips(), 0);
}

// A band's list of design controls, "name" per entry, "!" after a name
// whose object is not that component's control.
std::string ListedControls(TppBand* band) {
  std::string out;
  const TStringList& list = band->DesignControls();
  for (int i = 0; i < list.Count(); ++i) {
    TppComponent* c = band->FindComponentByName(list.Strings(i));
    const bool matches = c && c->DesignControl() && list.Objects(i) == c->DesignControl();
    out += list.Strings(i) + (matches ? "" : "!") + " ";
  }
  return out;
}

TEST(DesignHost, ABandListsItsComponentsControlsByName) {
  DesignRig rig;
  EXPECT_EQ(ListedControls(rig.summary), "");
  rig.host.Attach(rig.report);
  EXPECT_EQ(ListedControls(rig.summary), "dbcSum dbmNotes dbrNotes mmoNotes rtfNotes subItems ");
  EXPECT_EQ(ListedControls(rig.title), "dbiPhoto imgLogo linTop rgnBox shpBox ");
  EXPECT_EQ(ListedControls(rig.childDetail), "lblChild ");

  struct Step {
    std::string action;
    std::function<void()> run;
    std::string summary, detail;
  };
  TppLabel* late = nullptr;
  const std::vector<Step> steps = {
      {"joins", [&] { late = rig.Add<TppLabel>(rig.summary, "aaaLate", 0, 30); },
       "aaaLate dbcSum dbmNotes dbrNotes mmoNotes rtfNotes subItems ", "dbtName txtID "},
      {"renamed", [&] { late->SetName("zzzLate"); },
       "dbcSum dbmNotes dbrNotes mmoNotes rtfNotes subItems zzzLate ", "dbtName txtID "},
      {"moves band", [&] { late->SetBand(rig.detail); },
       "dbcSum dbmNotes dbrNotes mmoNotes rtfNotes subItems ", "dbtName txtID zzzLate "},
      {"leaves its band", [&] { late->SetBand(nullptr); },
       "dbcSum dbmNotes dbrNotes mmoNotes rtfNotes subItems ", "dbtName txtID "},
      {"comes back and is freed",
       [&] {
         late->SetBand(rig.detail);
         delete late;
       },
       "dbcSum dbmNotes dbrNotes mmoNotes rtfNotes subItems ", "dbtName txtID "},
      {"designer frees a control", [&] { delete rig.memo->DesignControl(); },
       "dbcSum dbmNotes dbrNotes rtfNotes subItems ", "dbtName txtID "},
      {"control freed by its component", [&] { rig.rich->FreeDesignControl(); },
       "dbcSum dbmNotes dbrNotes subItems ", "dbtName txtID "},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.action);
    step.run();
    EXPECT_EQ(ListedControls(rig.summary), step.summary);
    EXPECT_EQ(ListedControls(rig.detail), step.detail);
  }
  // A rename moves the entry to its new place.
  rig.detail->Components(0)->SetName("aaID");
  EXPECT_EQ(ListedControls(rig.detail), "aaID dbtName ");

  rig.host.Detach();
  for (TppBand* band : StackedBands(rig))
    EXPECT_EQ(band->DesignControls().Count(), 0) << band->Name();
}

TEST(DesignHost, ARightClickOnABandOpensItsMenu) {
  DesignRig rig;
  rig.host.Attach(rig.report);
  EXPECT_EQ(Listed(rig.RightClick(rig.footer)),
            "mniDynamicHeight=DynamicHeight\nmniStaticHeight=StaticHeight\nmniLine1=-\n"
            "mniPosition=Position...\nmniVisible=Visible\nmniLine2=-\n"
            "mniPrintOnFirstPage=PrintOnFirstPage\nmniPrintOnLastPage=PrintOnLastPage\n");
  EXPECT_EQ(rig.host.Menu()->PopupComponent(), rig.footer->DesignControl());
  EXPECT_TRUE(ppFindPopupItem(rig.host.Menu(), "mniStaticHeight")->Checked());
  EXPECT_FALSE(ppFindPopupItem(rig.host.Menu(), "mniDynamicHeight")->Checked());
  EXPECT_TRUE(ppFindPopupItem(rig.host.Menu(), "mniVisible")->Checked());
  size_t from = rig.Messages().size();
  ppFindPopupItem(rig.host.Menu(), "mniVisible")->Click();
  EXPECT_FALSE(rig.footer->Visible());
  EXPECT_EQ(rig.Since(from), (std::vector<std::string>{"1131:bndFooter"}));
  EXPECT_FALSE(ppFindPopupItem(rig.RightClick(rig.footer), "mniVisible")->Checked());

  // Each kind its own items; the child report's band the base ones.
  EXPECT_NE(ppFindPopupItem(rig.RightClick(rig.title), "mniNewPage"), nullptr);
  ppFindPopupItem(rig.host.Menu(), "mniNewPage")->Click();
  EXPECT_TRUE(rig.title->NewPage());
  EXPECT_TRUE(ppFindPopupItem(rig.RightClick(rig.title), "mniNewPage")->Checked());
  EXPECT_EQ(Listed(rig.RightClick(rig.childDetail)),
            "mniDynamicHeight=DynamicHeight\nmniStaticHeight=StaticHeight\nmniLine1=-\n"
            "mniPosition=Position...\nmniVisible=Visible\n");
  from = rig.Messages().size();
  ppFindPopupItem(rig.host.Menu(), "mniDynamicHeight")->Click();
  EXPECT_EQ(rig.childDetail->PrintHeight(), phDynamic);
  EXPECT_EQ(rig.Since(from), (std::vector<std::string>{"1131:" + rig.childDetail->Name()}));
  // A component's control over the band still opens the component's menu.
  EXPECT_NE(ppFindPopupItem(rig.RightClick(rig.shape), "mniShapeVisible"), nullptr);
}

// Left, top, width and height in whole millimetres.
std::string MMBounds(const TppComponent* c) {
  return std::to_string(c->mmLeft() / kMM) + "," + std::to_string(c->mmTop() / kMM) + " " +
         std::to_string(c->mmWidth() / kMM) + "x" + std::to_string(c->mmHeight() / kMM);
}

TEST(DesignHost, ARegionsChildrenFollowItAtDesignTime) {
  DesignRig rig;
  rig.region->SetParentWidth(false);
  rig.region->SetmmBounds(20 * kMM, 10 * kMM, 60 * kMM, 20 * kMM);
  auto* inside = rig.Add<TppLabel>(rig.title, "lblInside", 25, 12);
  inside->SetRegion(rig.region);
  auto* rule = rig.Add<TppLine>(rig.title, "linRule", 0, 14);
  rule->SetRegion(rig.region);
  rule->SetParentWidth(true);
  ASSERT_EQ(MMBounds(rule), "20,14 60x5");
  // Detached, the region moves alone.
  rig.region->SetmmBounds(22 * kMM, 10 * kMM, 60 * kMM, 20 * kMM);
  EXPECT_EQ(MMBounds(inside), "25,12 25x5");
  rig.host.Attach(rig.report);
  struct Step {
    std::string action;
    std::function<void()> run;
    std::string region, inside, rule;
  };
  const std::vector<Step> steps = {
      {"moved right and down", [&] { rig.region->SetmmBounds(30 * kMM, 15 * kMM, 60 * kMM, 20 * kMM); },
       "30,15 60x20", "33,17 25x5", "30,19 60x5"},
      {"left only", [&] { rig.region->SetmmLeft(10 * kMM); },
       "10,15 60x20", "13,17 25x5", "10,19 60x5"},
      {"top only", [&] { rig.region->SetmmTop(5 * kMM); },
       "10,5 60x20", "13,7 25x5", "10,9 60x5"},
      // A new size moves nothing; the parent-sized child takes the width.
      {"resized", [&] { rig.region->SetmmWidth(40 * kMM); },
       "10,5 40x20", "13,7 25x5", "10,9 40x5"},
      {"moved and resized", [&] { rig.region->SetmmBounds(15 * kMM, 8 * kMM, 50 * kMM, 30 * kMM); },
       "15,8 50x30", "18,10 25x5", "15,12 50x5"},
      // A child that leaves the region stays put after.
      {"child leaves, region moves",
       [&] {
         inside->SetRegion(nullptr);
         rig.region->SetmmLeft(17 * kMM);
       },
       "17,8 50x30", "18,10 25x5", "17,12 50x5"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.action);
    step.run();
    EXPECT_EQ(MMBounds(rig.region), step.region);
    EXPECT_EQ(MMBounds(inside), step.inside);
    EXPECT_EQ(MMBounds(rule), step.rule);
    // The children's controls follow too.
    EXPECT_EQ(rule->DesignControl()->BoundsRect().Left, rule->PixelLeft());
    EXPECT_EQ(rule->DesignControl()->BoundsRect().Top, rule->PixelTop());
  }
  // Detached again, it moves alone.
  rig.host.Detach();
  rig.region->SetmmLeft(30 * kMM);
  EXPECT_EQ(MMBounds(rule), "17,12 50x5");
}

TEST(DesignHost, ALayoutReplacedFromATemplateIsToldAndAttached) {
  DesignRig rig;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vantrel-design-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  TppReportTemplate* tmpl = rig.report->Template();
  tmpl->SetFileName((dir / "layout.rtm").string());
  tmpl->Save();
  rig.host.Attach(rig.report);
  const std::string name = rig.report->Name();
  // Every band has its strip and every component its control and selection.
  const auto attachedWhole = [&] {
    for (int b = 0; b < rig.report->BandCount(); ++b) {
      TppBand* band = rig.report->Bands(b);
      SCOPED_TRACE(band->Name());
      ASSERT_NE(band->DesignControl(), nullptr);
      EXPECT_EQ(band->DesignControls().Count(), band->ComponentCount());
      for (int i = 0; i < band->ComponentCount(); ++i) {
        EXPECT_NE(band->Components(i)->DesignControl(), nullptr) << band->Components(i)->Name();
        EXPECT_NE(band->Components(i)->SelectionObject(), nullptr);
      }
    }
  };
  struct Case {
    std::string action;
    std::function<void()> run;
    int bands;
  };
  const std::vector<Case> cases = {
      {"load", [&] { tmpl->Load(); }, 5},
      {"failed load",
       [&] { EXPECT_THROW(tmpl->LoadFromBytes("neither layout nor header"), Exception); }, 5},
      {"new", [&] { tmpl->New(); }, 0},
      {"load over new", [&] { tmpl->Load(); }, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    rig.host.Select(rig.report->BandCount() && rig.report->Bands(0)->ComponentCount()
                        ? rig.report->Bands(0)->Components(0)
                        : nullptr);
    const size_t from = rig.Messages().size();
    c.run();
    // The layout the rig knew may be gone: only the report is named.
    Pump();
    std::vector<std::string> got;
    for (size_t i = from; i < rig.Messages().size(); ++i)
      got.push_back(std::to_string(rig.Messages()[i].Msg) + ":" +
                    (rig.Messages()[i].Sender == rig.report ? name : "-"));
    const auto at = [&](const std::string& m) { return std::find(got.begin(), got.end(), m) - got.begin(); };
    const auto replacing = at("1146:" + name), replaced = at("1147:" + name);
    EXPECT_EQ(std::count(got.begin(), got.end(), "1146:" + name), 1);
    EXPECT_EQ(std::count(got.begin(), got.end(), "1147:" + name), 1);
    EXPECT_LT(replacing, replaced);
    // The new layout's components are asked for after it is in place.
    for (size_t i = 0; i < got.size(); ++i) {
      if (got[i].rfind("1136:", 0) == 0) {
        EXPECT_GT(std::ptrdiff_t(i), replaced) << got[i];
      }
    }
    EXPECT_EQ(rig.report->BandCount(), c.bands);
    EXPECT_EQ(rig.host.Selected(), nullptr);
    attachedWhole();
  }
  std::filesystem::remove_all(dir);
}
