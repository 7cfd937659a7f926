// Owner-drawn menu items: measured by the layout rules and painted (pixels).

#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/graphics/qtbridge.h"
#include "platform/classlib/menus/qtmenus.h"
#include "published_values.h"
#include "winctrls/coolmenu.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QWidgetAction>

using namespace testing_support;

namespace {

class CoolMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    menu = new TPopupMenu(form.get());
    for (const char* caption : {"&Open", "-", "Print"}) {
      auto* mi = new TMenuItem(form.get());
      mi->SetCaption(caption);
      menu->Items()->Add(mi);
    }
    cool = new TCoolMenu(form.get());
    TBitmap pic;  // 16 x 16: fuchsia background, a blue square
    pic.SetSize(16, 16);
    pic.Canvas()->Brush()->SetColor(clFuchsia);
    pic.Canvas()->FillRect(Rect(0, 0, 16, 16));
    pic.Canvas()->Brush()->SetColor(clBlue);
    pic.Canvas()->FillRect(Rect(4, 4, 12, 12));
    for (int i = 0; i < 3; ++i) {
      item[i] = new TCoolMenuItem(form.get());
      item[i]->SetCoolMenu(cool);
      item[i]->SetPicture(&pic);
      item[i]->SetMenuItem(menu->Items()->Items(i));
    }
  }

  // Paints item i into a fresh surface of its measured size.
  std::unique_ptr<TBitmap> Painted(int i, TOwnerDrawState state = {}) {
    TBitmap probe;
    int w = 0, h = 0;
    menu->MeasureItem(menu->Items()->Items(i), probe.Canvas(), w, h);
    auto b = Surface(w, h, clFuchsia);
    EXPECT_TRUE(menu->DrawItem(menu->Items()->Items(i), b->Canvas(), Rect(0, 0, w, h), state));
    return b;
  }

  std::unique_ptr<TForm> form;
  TPopupMenu* menu;
  TCoolMenu* cool;
  TCoolMenuItem* item[3];
};

}  // namespace

TEST_F(CoolMenuTest, MeasuredByTheLayoutRules) {
  TBitmap probe;
  probe.Canvas()->Font()->Assign(item[0]->Font());
  const int textWidth = probe.Canvas()->TextWidth("Open");
  int w = 0, h = 0;
  ASSERT_TRUE(menu->MeasureItem(menu->Items()->Items(0), probe.Canvas(), w, h));
  EXPECT_EQ(h, 16 + 2 * 2);                 // image + 2 x VSpace
  EXPECT_EQ(w, textWidth + 16 + 13 + 13);   // text + image + check width, + the system's check mark
  EXPECT_EQ(item[0]->TrColor, ColorToRGB(clFuchsia));
  item[0]->SetTextAlign(alTop);             // stacked: two images and three gaps high
  menu->MeasureItem(menu->Items()->Items(0), probe.Canvas(), w, h);
  EXPECT_EQ(h, 2 * 16 + 3 * 2);
  EXPECT_EQ(w, textWidth + 13 + 13);
  menu->Items()->Items(2)->SetShortCut(ShortCut('P', TShiftState{ssCtrl}));
  menu->MeasureItem(menu->Items()->Items(2), probe.Canvas(), w, h);
  EXPECT_GT(w, item[2]->Metrics().TextWidth + 16 + 13);  // room for "Ctrl+P"
  // Restored items are plain again.
  cool->SetActive(false);
  EXPECT_FALSE(menu->IsOwnerDrawn(menu->Items()->Items(0)));
}

TEST_F(CoolMenuTest, PaintedWithPictureColoursAndMarks) {
  auto normal = Painted(0);
  EXPECT_EQ(normal->Canvas()->Pixels(1, 1), ColorToRGB(clMenu));
  EXPECT_EQ(normal->Canvas()->Pixels(5 + 8, 2 + 8), ColorToRGB(clBlue));   // picture at (5, 2)
  EXPECT_EQ(normal->Canvas()->Pixels(5 + 1, 2 + 1), ColorToRGB(clMenu));   // its fuchsia is see-through
  auto selected = Painted(0, TOwnerDrawState{odSelected});
  EXPECT_EQ(selected->Canvas()->Pixels(1, 1), ColorToRGB(clHighlight));
  // A checked item shows the check mark instead, on the mark's transparent colour.
  menu->Items()->Items(0)->SetChecked(true);
  auto checked = Painted(0);
  EXPECT_EQ(item[0]->TrColor, TColor(0x000080));
  EXPECT_EQ(checked->Canvas()->Pixels(5 + 6, 2 + 10), ColorToRGB(clBlack));  // the tick
  EXPECT_EQ(checked->Canvas()->Pixels(5 + 1, 2 + 1), ColorToRGB(clMenu));
  // A disabled item is embossed: no blue left, shadow where the square was.
  menu->Items()->Items(2)->SetEnabled(false);
  auto disabled = Painted(2);
  EXPECT_EQ(disabled->Canvas()->Pixels(5 + 4, 2 + 4), ColorToRGB(clBtnShadow));
  // The separator: a grey line and a white one below it, across the item.
  auto sep = Painted(1);
  const int y = item[1]->Metrics().ItemHeight / 2;
  EXPECT_EQ(sep->Canvas()->Pixels(10, y), TColor(0x808080));
  EXPECT_EQ(sep->Canvas()->Pixels(10, y + 1), ColorToRGB(clBtnHighlight));
}

TEST_F(CoolMenuTest, BadConfigurationsAreRefusedAndPaintAlwaysCompletes) {
  // Features that need the caption beside the image are refused when set.
  item[0]->SetTextAlign(alTop);
  EXPECT_THROW(item[0]->SetOptions(item[0]->Options() + TMenuOptions{omNoHighlightImage}), Exception);
  item[0]->SetTextAlign(alRight);
  item[0]->SetOptions(item[0]->Options() + TMenuOptions{omNoHighlightImage});
  EXPECT_THROW(item[0]->SetTextAlign(alBottom), Exception);
  EXPECT_EQ(item[0]->TextAlign(), alRight);
  // A disabled item with a picture that is not a bitmap is still drawn whole.
  TMetafile meta;
  meta.SetWidth(16);
  meta.SetHeight(16);
  {
    TMetafileCanvas mc(&meta);
    mc.Brush()->SetColor(clBlack);
    mc.FillRect(Rect(2, 2, 14, 14));
  }
  item[2]->SetPicture(&meta);
  menu->Items()->Items(2)->SetEnabled(false);
  auto b = Painted(2);
  EXPECT_EQ(b->Canvas()->Pixels(5 + 8, 2 + 8), ColorToRGB(clBtnShadow));
}

TEST_F(CoolMenuTest, SideBarIsGradedAndShadowedTextIsOffset) {
  TCoolMenuBar bar;
  bar.Caption = "Vantrel";
  bar.IsGradient = true;
  bar.BackTo = clBlue;
  bar.IsSeparator = false;
  cool->SetMenuBar(bar);
  cool->SetShowBar(true);
  for (auto* i : item) i->SetOptions(i->Options() + TMenuOptions{omDrawBarIfNeeded});
  auto painted = Painted(0);
  TBitmap* strip = cool->BarBitmap();
  ASSERT_FALSE(strip->Empty());
  EXPECT_EQ(strip->Canvas()->Pixels(0, strip->Height() - 1), ColorToRGB(clBlack));
  const TColor top = strip->Canvas()->Pixels(0, 0);  // the last band, nearly blue
  EXPECT_EQ(GetRValue(top) + GetGValue(top), 0);
  EXPECT_GT(GetBValue(top), 240);
  // The item leaves the bar's width to the strip.
  EXPECT_EQ(item[0]->Metrics().ImageLeft, 5 + strip->Width());
  // Shadow: the text drawn twice, the shadow up and left of it.
  item[2]->Shadow().Active = true;
  item[2]->Shadow().ShadowColor = clRed;
  auto shadowed = Painted(2);
  bool red = false;
  for (int x = 0; x < shadowed->Width() && !red; ++x)
    for (int y = 0; y < shadowed->Height() && !red; ++y)
      red = shadowed->Canvas()->Pixels(x, y) == ColorToRGB(clRed);
  EXPECT_TRUE(red);
}

TEST_F(CoolMenuTest, EitherMayGoFirstMenuOrComponent) {
  delete menu;  // the items forget it; nothing is drawn for it any more
  EXPECT_FALSE(item[0]->IsLinked());
  auto* other = new TPopupMenu(form.get());
  auto* mi = new TMenuItem(form.get());
  mi->SetCaption("Again");
  other->Items()->Add(mi);
  item[0]->SetMenuItem(mi);
  EXPECT_TRUE(other->IsOwnerDrawn(mi));
  delete cool;  // the menu that outlives it is plain again
  EXPECT_FALSE(other->IsOwnerDrawn(mi));
}

TEST_F(CoolMenuTest, ItemsRoundTripInsideTheirComponent) {
  form->SetName("MainForm");
  menu->SetName("Popup");
  for (int i = 0; i < 3; ++i) menu->Items()->Items(i)->SetName("Item" + std::to_string(i));
  cool->SetName("Cool");
  for (int i = 0; i < 3; ++i) item[i]->SetName("CoolItem" + std::to_string(i));
  item[2]->SetTextAlign(alLeft);
  const std::string text = WriteComponentToText(form.get());
  TForm back(nullptr);
  ReadComponentFromText(text, &back);
  auto* cool2 = static_cast<TCoolMenu*>(back.FindComponent("Cool"));
  auto* menu2 = static_cast<TPopupMenu*>(back.FindComponent("Popup"));
  ASSERT_TRUE(cool2 && menu2);
  ASSERT_EQ(cool2->ItemCount(), 3);
  EXPECT_EQ(cool2->Item(2)->TextAlign(), alLeft);
  EXPECT_EQ(cool2->Item(0)->MenuItem(), menu2->Items()->Items(0));
  EXPECT_EQ(cool2->Item(0)->TrColor, ColorToRGB(clFuchsia));  // from the picture
  EXPECT_TRUE(menu2->IsOwnerDrawn(menu2->Items()->Items(0)));
}

TEST_F(CoolMenuTest, PropertiesAppliedToEveryItemByMask) {
  TFont big;
  big.SetSize(20);
  TGlobalParameters p;
  p.Font = &big;
  p.NormColor = clYellow;
  p.SelColor = clRed;
  p.Options = TMenuOptions{omBevelOnlyIfSel};
  p.CustomImgSize = 24;
  p.SeparatorText = "Files";
  const TMenuOptions start = item[1]->Options();
  struct Case { int mask; TColor norm; TColor sel; int size; TMenuOptions options; std::string sep; };
  const Case cases[] = {
      {16, clMenu, clHighlight, 16, start, ""},                     // selects nothing
      {imNormColor | imCustomImgSize, clYellow, clHighlight, 24, start, ""},
      {imAddOptions, clMenu, clHighlight, 16, start + p.Options, ""},
      {imRemoveOptions, clMenu, clHighlight, 16, start - TMenuOptions{omFixedImgSize},
       ""},
      {0, clYellow, clRed, 24, p.Options, "Files"},                 // all, options replaced
  };
  for (const Case& c : cases) {
    SetUp();
    if (c.mask == imRemoveOptions) p.Options = TMenuOptions{omFixedImgSize};
    cool->ApplyItemProperties(p, c.mask);
    p.Options = TMenuOptions{omBevelOnlyIfSel};
    for (auto* i : item) {
      EXPECT_EQ(i->NormColor, c.norm) << c.mask;
      EXPECT_EQ(i->SelColor, c.sel) << c.mask;
      EXPECT_EQ(i->CustomImgSize, c.size) << c.mask;
      EXPECT_EQ(i->Options(), c.options) << c.mask;
      EXPECT_EQ(i->SeparatorText, c.sep) << c.mask;
      EXPECT_EQ(i->Font()->Size() == 20, c.mask == 0) << c.mask;
    }
  }
  // A combination one item refuses changes none of them.
  item[2]->SetTextAlign(alTop);
  p.Options = TMenuOptions{omNoHighlightImage};
  p.NormColor = clBlack;
  EXPECT_THROW(cool->ApplyItemProperties(p, imOptions | imNormColor), Exception);
  EXPECT_EQ(item[0]->Options(), TMenuOptions{omBevelOnlyIfSel});
  EXPECT_EQ(item[0]->NormColor, clYellow);
  // Shadows likewise.
  TShadowParameters s;
  s.Active = true;
  s.ShadowColor = clRed;
  s.SelShadowSize = 3;
  s.Options = TShadowOptions{soNoShadowIfNormal};
  cool->ApplyShadowProperties(s, smActive | smSelShadowSize | smAddOptions);
  for (auto* i : item) {
    EXPECT_TRUE(i->Shadow().Active);
    EXPECT_EQ(i->Shadow().ShadowColor, clBtnHighlight);
    EXPECT_EQ(i->Shadow().SelShadowSize, 3);
    EXPECT_EQ(i->Shadow().Options, (TShadowOptions{soNoShadowIfSel, soNoShadowIfNormal}));
  }
}

TEST_F(CoolMenuTest, ImageListsHandOutImagesPastSeparators) {
  auto listOf = [&](std::initializer_list<TColor> colours) {
    auto* list = new TImageList(form.get());
    for (TColor colour : colours) list->Add(Surface(16, 16, colour).get(), nullptr);
    return list;
  };
  TImageList* images = listOf({clRed, clGreen});
  cool->SetImages(images);
  auto pictureColour = [](TCoolMenuItem* i) {
    auto* b = dynamic_cast<TBitmap*>(i->Picture()->Graphic());
    return b && !b->Empty() ? b->Canvas()->Pixels(8, 8) : clNone;
  };
  // Item 1 is a separator: the second image goes to item 2.
  EXPECT_EQ(pictureColour(item[0]), ColorToRGB(clRed));
  EXPECT_EQ(pictureColour(item[1]), ColorToRGB(clBlue));  // keeps its own picture
  EXPECT_EQ(pictureColour(item[2]), ColorToRGB(clGreen));
  EXPECT_EQ(item[2]->ImageIndex(), 1);
  EXPECT_EQ(item[2]->TrColor, ColorToRGB(clGreen));
  // An index from code copies that image; one past the list is refused.
  item[0]->SetImageIndex(1);
  EXPECT_EQ(pictureColour(item[0]), ColorToRGB(clGreen));
  EXPECT_THROW(item[0]->SetImageIndex(2), Exception);
  EXPECT_EQ(item[0]->ImageIndex(), 1);
  cool->SetDisabledImages(listOf({clBlue}));
  auto* dis = dynamic_cast<TBitmap*>(item[0]->DisabledPicture()->Graphic());
  ASSERT_TRUE(dis);
  EXPECT_EQ(dis->Canvas()->Pixels(8, 8), ColorToRGB(clBlue));
  // Another list clears what the first one gave; a freed list is forgotten.
  cool->SetImages(nullptr);
  EXPECT_EQ(pictureColour(item[2]), clNone);
  delete cool->DisabledImages();
  EXPECT_EQ(cool->DisabledImages(), nullptr);
  item[0]->SetImageIndex(7);  // no list left to check against
  EXPECT_EQ(item[0]->ImageIndex(), 7);
}

TEST_F(CoolMenuTest, SelectedPlainWallpaperIsShownInverted) {
  cool->Wallpaper()->Assign(Surface(200, 60, TColor(0x302010)).get());
  item[0]->SetOptions((item[0]->Options() - TMenuOptions{omTileWallpaper}) +
                      TMenuOptions{omPaintWallpaper});
  EXPECT_EQ(Painted(0)->Canvas()->Pixels(1, 1), TColor(0x302010));
  EXPECT_EQ(Painted(0, TOwnerDrawState{odSelected})->Canvas()->Pixels(1, 1), TColor(0xCFDFEF));
}

TEST_F(CoolMenuTest, PopupOpeningAndPointingAreTold) {
  std::vector<std::string> told;
  auto tell = [&](const char* what) {
    return [&told, what, this](TObject*, TMenuItem* popup, int value) {
      told.push_back(std::string(what) + (popup == menu->Items() ? " root " : " other ") +
                     std::to_string(value));
    };
  };
  cool->OnPopup = tell("popup");
  int measured = 0;
  cool->OnMeasure = [&](TObject*, TMenuItem*, int total) {
    told.push_back("measure");
    measured = total;
  };
  cool->OnItemSelect = tell("select");
  for (int round = 0; round < 2; ++round) {  // measured again at each opening
    menu->Popup(10, 10);
    QApplication::processEvents();
    auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(shown);
    shown->setActiveAction(shown->actions().at(2));
    menu->ClosePopup();
  }
  const std::string select = "select root " + std::to_string(menu->Items()->Items(2)->Command());
  EXPECT_EQ(told, (std::vector<std::string>{"popup root 0", "measure", select, "popup root 0",
                                             "measure", select}));
  int total = 0;  // the visible items' heights
  for (auto* i : item) total += i->Metrics().ItemHeight;
  EXPECT_EQ(measured, total);
  // Restoring as a popup menu opens leaves its items plain.
  cool->SetMenuRefresh(RA_RESTORE);
  menu->Popup(10, 10);
  menu->ClosePopup();
  EXPECT_FALSE(menu->IsOwnerDrawn(menu->Items()->Items(0)));
}

namespace {

// The popup menu shown now, painted.
QMenu* OpenPopup(TPopupMenu* menu) {
  menu->Popup(10, 10);
  QApplication::processEvents();
  return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QImage Grab(QMenu* shown) {
  QApplication::processEvents();
  return shown->grab().toImage();
}

}  // namespace

TEST_F(CoolMenuTest, EveryItemShowsItsOwnSliceOfTheSideBar) {
  // Graded from black at the bottom to blue at the top, across the whole popup.
  TCoolMenuBar bar;
  bar.Caption = "Vantrel";
  bar.IsGradient = true;
  bar.IsSeparator = false;
  cool->SetMenuBar(bar);
  cool->SetShowBar(true);
  for (auto* i : item) i->SetOptions(i->Options() + TMenuOptions{omDrawBarIfNeeded});
  QMenu* shown = OpenPopup(menu);
  ASSERT_TRUE(shown);
  const QImage image = Grab(shown);
  const QRect first = shown->actionGeometry(shown->actions().first());
  const QRect last = shown->actionGeometry(shown->actions().last());
  const int x = first.left();  // the bar's first column, left of its caption
  const QColor top = image.pixelColor(x, first.top());
  const QColor bottom = image.pixelColor(x, last.bottom());
  EXPECT_GT(top.blue(), 200) << "the top of the bar";
  EXPECT_LT(bottom.blue(), 40) << "the bottom of the bar, not its top again";
  EXPECT_EQ(bottom.red() + bottom.green(), 0);
  // Down the popup the blue only fades: no item starts the bar over.
  int previous = 256;
  for (int y = first.top(); y <= last.bottom(); ++y) {
    const int blue = image.pixelColor(x, y).blue();
    EXPECT_LE(blue, previous) << "row " << y;
    previous = blue;
  }
  menu->ClosePopup();
}

TEST_F(CoolMenuTest, ShortcutTextKeepsClearOfTheWidestCaption) {
  menu->Items()->Items(2)->SetCaption("Comprehensive");
  menu->Items()->Items(2)->SetShortCut(ShortCut('P', TShiftState{ssCtrl}));
  QMenu* shown = OpenPopup(menu);
  ASSERT_TRUE(shown);
  const QImage image = Grab(shown);
  const QRect row = shown->actionGeometry(shown->actions().at(2));
  const QColor back = image.pixelColor(row.right() - 1, row.top() + 1);
  // Columns with ink, right of the picture.
  const int textLeft = row.left() + item[2]->Metrics().TextLeft;
  std::vector<bool> ink;
  for (int x = textLeft; x <= row.right(); ++x) {
    bool any = false;
    for (int y = row.top(); y <= row.bottom() && !any; ++y) any = image.pixelColor(x, y) != back;
    ink.push_back(any);
  }
  const auto firstInk = std::find(ink.begin(), ink.end(), true);
  const auto lastInk = std::find(ink.rbegin(), ink.rend(), true).base();
  ASSERT_TRUE(firstInk < lastInk);
  // The widest blank run between the caption's first and the shortcut's last
  // ink is the gap between the two.
  int gap = 0, run = 0;
  for (auto it = firstInk; it != lastInk; ++it) {
    run = *it ? 0 : run + 1;
    gap = std::max(gap, run);
  }
  EXPECT_GE(gap, 4);
  menu->ClosePopup();
}

TEST_F(CoolMenuTest, ItemsNotDescribedKeepTheirPlainLooks) {
  auto* plain = new TMenuItem(form.get());
  plain->SetCaption("&Sub");
  menu->Items()->Add(plain);
  auto* inner = new TMenuItem(form.get());
  inner->SetCaption("Inner");
  plain->Add(inner);
  EXPECT_TRUE(menu->IsOwnerDrawn(menu->Items()->Items(0)));
  EXPECT_FALSE(menu->IsOwnerDrawn(plain));  // a sub-menu keeps its arrow
  QMenu* shown = OpenPopup(menu);
  ASSERT_TRUE(shown);
  EXPECT_EQ(qobject_cast<QWidgetAction*>(shown->actions().last()), nullptr);
  EXPECT_NE(qobject_cast<QWidgetAction*>(shown->actions().first()), nullptr);
  menu->ClosePopup();
  // An item released from its description is plain again.
  item[0]->SetCoolMenu(nullptr);
  EXPECT_FALSE(menu->IsOwnerDrawn(menu->Items()->Items(0)));
}

TEST_F(CoolMenuTest, DisabledCaptionsAreEmbossedExceptOnTheSelectionBar) {
  menu->Items()->Items(2)->SetEnabled(false);
  item[2]->SetPicture(nullptr);
  auto highlights = [&](TOwnerDrawState state) {
    auto b = Painted(2, state);
    int n = 0;
    const TCoolMenuMetrics& m = item[2]->Metrics();
    for (int y = m.TextTop; y < m.TextTop + m.TextHeight + 1; ++y)
      for (int x = m.TextLeft; x < m.TextLeft + m.TextWidth + 1; ++x)
        n += b->Canvas()->Pixels(x, y) == ColorToRGB(clBtnHighlight);
    return n;
  };
  EXPECT_GT(highlights({}), 5);                       // embossed
  EXPECT_EQ(highlights(TOwnerDrawState{odSelected}), 0);  // plain grey on the bar
  item[2]->SetOptions(item[2]->Options() + TMenuOptions{omNoHighlightDisabled});
  EXPECT_GT(highlights(TOwnerDrawState{odSelected}), 5);  // no bar: embossed
}

TEST_F(CoolMenuTest, FontSizeFollowsTheSystemsWhenAsked) {
  TFont big;
  big.SetName("Courier New");
  big.SetSize(20);
  item[0]->SetFont(&big);
  cool->RefreshItems(item[0], RA_REFRESH);
  EXPECT_EQ(item[0]->Font()->Size(), 20);
  item[0]->SetOptions(item[0]->Options() + TMenuOptions{omAlwaysDefFontSize});
  cool->RefreshItems(item[0], RA_REFRESH);
  EXPECT_EQ(item[0]->Font()->Height(), TFont().Height());
  EXPECT_EQ(item[0]->Font()->Name(), "Courier New");  // only the size
}

TEST_F(CoolMenuTest, PointingHelpAndCursorWhileAMenuIsOpen) {
  form->SetBounds(10, 10, 200, 100);
  form->Show();
  Pump();
  menu->Items()->Items(0)->SetHint("Open|Opens a file");
  menu->Items()->Items(2)->SetHelpContext(77);
  std::vector<int> topics;
  Application->OnHelp = [&](WORD, int data, bool& callHelp) {
    topics.push_back(data);
    callHelp = false;
    return true;
  };
  cool->SetCursor(crHandPoint);
  QMenu* shown = OpenPopup(menu);
  ASSERT_TRUE(shown);
  EXPECT_EQ(Screen->Cursor(), crHandPoint);
  shown->setActiveAction(shown->actions().at(0));
  EXPECT_EQ(Application->Hint(), "Open|Opens a file");  // the whole hint
  QTest::keyClick(shown, Qt::Key_F1);
  shown->setActiveAction(shown->actions().at(2));
  QTest::keyClick(shown, Qt::Key_F1);
  EXPECT_EQ(topics, (std::vector<int>{0, 77}));
  menu->ClosePopup();
  Pump();
  EXPECT_EQ(Screen->Cursor(), crDefault);
  Application->OnHelp = nullptr;
}

TEST(CoolMenuBarTest, ARightJustifiedItemSitsAtTheBarsEnd) {
  auto form = ShownForm(400, 150);
  auto* menu = new TMainMenu(form.get());
  for (const char* caption : {"&File", "&Help"}) {
    auto* mi = new TMenuItem(form.get());
    mi->SetCaption(caption);
    menu->Items()->Add(mi);
    auto* sub = new TMenuItem(form.get());
    sub->SetCaption("Item");
    mi->Add(sub);
  }
  TMenuItem* help = menu->Items()->Items(1);
  auto* cool = new TCoolMenu(form.get());
  auto* described = new TCoolMenuItem(form.get());
  described->SetCoolMenu(cool);
  described->SetOptions(described->Options() + TMenuOptions{omRightJustified});
  described->SetMenuItem(help);
  Pump();
  QMenuBar* bar = vantrel::menus::MenuBarWidget(*menu);
  ASSERT_TRUE(bar);
  auto helpRight = [&] { return bar->actionGeometry(vantrel::menus::ActionOf(*menu, help, bar)).right(); };
  EXPECT_TRUE(help->RightJustify());
  EXPECT_GE(helpRight(), bar->width() - 10);
  cool->SetActive(false);  // restored: back beside File
  Pump();
  EXPECT_FALSE(help->RightJustify());
  EXPECT_LT(helpRight(), bar->width() / 2);
}

// A form with the handlers a form definition names.
class TCoolTestForm : public TForm {
  DECLARE_CLASS(TCoolTestForm, TForm)
 public:
  explicit TCoolTestForm(TComponent* owner = nullptr) : TForm(owner) {}
  void CoolPopup(TObject*, TMenuItem*, int) {}
  void CoolMeasure(TObject*, TMenuItem*, int) {}
  void CoolSelect(TObject*, TMenuItem*, int) {}
};
IMPLEMENT_CLASS(TCoolTestForm, TForm)
PUBLISHED(TCoolTestForm) {
  PUBLISHED_METHOD(CoolPopup);
  PUBLISHED_METHOD(CoolMeasure);
  PUBLISHED_METHOD(CoolSelect);
}

// Every published property of the component and of its items, each away
// from its default, comes back from the form's definition in text and in
// binary form.
TEST(CoolMenuStreamingTest, EveryPublishedPropertyRoundTrips) {
  using namespace winctrls_test;
  Application->Initialize();
  TCoolTestForm form;
  form.SetName("CoolForm");
  auto* popup = new TPopupMenu(&form);
  popup->SetName("Popup");
  auto* images = new TImageList(&form);
  images->SetName("Images");
  images->Add(Surface(16, 16, clGreen).get(), nullptr);
  auto* grey = new TImageList(&form);
  grey->SetName("Grey");
  grey->Add(Surface(16, 16, clGray).get(), nullptr);
  auto* cool = new TCoolMenu(&form);
  cool->SetName("Cool");
  std::vector<TCoolMenuItem*> items;
  for (const char* caption : {"&Open", "-", "Print"}) {
    auto* mi = new TMenuItem(&form);
    mi->SetName(std::string("Menu") + (caption[0] == '-' ? "Line" : caption + (caption[0] == '&')));
    mi->SetCaption(caption);
    popup->Items()->Add(mi);
    auto* item = new TCoolMenuItem(&form);
    item->SetName("Cool" + mi->Name());
    item->SetCoolMenu(cool);
    item->SetMenuItem(mi);
    items.push_back(item);
  }
  SetObjectProp(cool, "Images", images);
  SetObjectProp(cool, "DisabledImages", grey);
  TCoolMenuItem* print = items[2];
  print->SetPicture(Surface(16, 16, clBlue).get());
  print->DisabledPicture()->SetGraphic(Surface(16, 16, clSilver).get());
  print->Font()->SetName("Arial");
  print->Font()->SetSize(12);
  cool->Wallpaper()->Assign(Surface(8, 8, clTeal).get());
  cool->SelWallpaper()->Assign(Surface(4, 6, clMaroon).get());
  for (const auto& [event, handler] : {std::pair{"OnPopup", "CoolPopup"}, std::pair{"OnMeasure", "CoolMeasure"},
                                       std::pair{"OnItemSelect", "CoolSelect"}})
    SetMethodProp(cool, event, MethodAddress(&form, handler));
  struct Setting {
    TObject* object;
    const char* path;
    TPropValue value;
  };
  const Setting settings[] = {
      {cool, "ShowBar", true},
      {cool, "HSpace", int64_t(3)},
      {cool, "VSpace", int64_t(4)},
      {cool, "MenuRefresh", std::string("RA_REFRESHWITHBAR")},
      {cool, "Cursor", int64_t(crHandPoint)},
      {cool, "MenuBar.Caption", std::string("Vantrel")},
      {cool, "MenuBar.Size", int64_t(14)},
      {cool, "MenuBar.Space", int64_t(2)},
      {cool, "MenuBar.BackFrom", int64_t(clRed)},
      {cool, "MenuBar.BackTo", int64_t(clYellow)},
      {cool, "MenuBar.Fore", int64_t(clNavy)},
      {cool, "MenuBar.IsSerif", false},
      {cool, "MenuBar.IsGradient", true},
      {cool, "MenuBar.IsSeparator", false},
      {cool, "MenuBar.CaptionAlign", std::string("alCenter")},
      {print, "TrColor", int64_t(clLime)},
      {print, "SelColor", int64_t(clRed)},
      {print, "SelTextColor", int64_t(clYellow)},
      {print, "NormColor", int64_t(clWhite)},
      {print, "TextAlign", std::string("alLeft")},
      {print, "Options", std::string("omBevelOnlyIfSel,omTileWallpaper,omNoHighlightDisabled")},
      {print, "CustomImgSize", int64_t(20)},
      {print, "BevelInner", std::string("bvRaised")},
      {print, "BevelOuter", std::string("bvLowered")},
      {print, "BevelStyle", std::string("bsBevelOnlyText")},
      {print, "BevelType", std::string("btRoundedRect")},
      {print, "Shadow.Active", true},
      {print, "Shadow.ShadowColor", int64_t(clRed)},
      {print, "Shadow.SelShadowColor", int64_t(clGreen)},
      {print, "Shadow.ShadowSize", int64_t(2)},
      {print, "Shadow.SelShadowSize", int64_t(3)},
      {print, "Shadow.ShadowPos", std::string("spRightBottom")},
      {print, "Shadow.SelShadowPos", std::string("spLeftBottom")},
      {print, "Shadow.Options", std::string("soNoShadowIfNormal")},
      {items[1], "SeparatorText", std::string("Files")},
      {cool, "Active", false},  // last: the items go back to plain
  };
  for (const Setting& s : settings) SetPublished(s.object, s.path, s.value);
  for (const Setting& s : settings) EXPECT_TRUE(DiffersFromDefault(s.object, s.path)) << s.path;
  EXPECT_EQ(PublishedValue(print, "Menu"), "Popup");
  EXPECT_NE(PublishedValue(cool, "Wallpaper"), "empty");
  EXPECT_NE(PublishedValue(cool, "SelWallpaper"), "empty");

  for (const auto& [how, copy] : ReadBack(form, [] { return std::make_unique<TCoolTestForm>(); })) {
    for (TComponent* original : std::initializer_list<TComponent*>{cool, items[0], items[1], print}) {
      TComponent* loaded = copy->FindComponent(original->Name());
      ASSERT_NE(loaded, nullptr) << how << " " << original->Name();
      const auto after = PublishedValues(loaded);
      for (const auto& [path, value] : PublishedValues(original))
        EXPECT_EQ(after.count(path) ? after.at(path) : "(missing)", value)
            << how << " " << original->Name() << "." << path;
    }
  }
}

// A described item whose caption has no "&" is chosen by its first letter,
// in either case; one with an "&" only by the letter after it (the menu's
// own), an undescribed one never by its first letter. "&&" is a plain "&",
// which marks nothing.
TEST_F(CoolMenuTest, AnItemWithoutAnAmpersandAnswersToItsFirstLetter) {
  const auto add = [&](const char* caption) {
    auto* mi = new TMenuItem(form.get());
    mi->SetCaption(caption);
    menu->Items()->Add(mi);
    return mi;
  };
  TMenuItem* exit = add("E&xit");
  add("Stay");
  TMenuItem* pair = add("Tom && Jerry");
  TMenuItem* vietnamese = add("\u01A0n");
  TMenuItem* kelvin = add("\u212Aelvin");
  for (TMenuItem* mi : {exit, pair, vietnamese, kelvin}) {
    auto* described = new TCoolMenuItem(form.get());
    described->SetCoolMenu(cool);
    described->SetMenuItem(mi);
  }
  std::vector<std::string> chosen;
  for (int i = 0; i < menu->Items()->Count(); ++i) {
    TMenuItem* mi = menu->Items()->Items(i);
    mi->OnClick = [&chosen, mi](TObject*) { chosen.push_back(StripHotkey(mi->Caption())); };
  }
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::vector<std::string> chosen;
  } cases[] = {
      {Qt::Key_P, Qt::NoModifier, {"Print"}},    {Qt::Key_P, Qt::ShiftModifier, {"Print"}},
      {Qt::Key_O, Qt::NoModifier, {"Open"}},     {Qt::Key_X, Qt::NoModifier, {"Exit"}},
      {Qt::Key_E, Qt::NoModifier, {}},           {Qt::Key_S, Qt::NoModifier, {}},
      {Qt::Key_T, Qt::NoModifier, {"Tom & Jerry"}}, {Qt::Key_Ampersand, Qt::ShiftModifier, {}},
      {Qt::Key_K, Qt::NoModifier, {"\u212Aelvin"}},  // the Kelvin sign is a "k"
  };
  for (const Case& c : cases) {
    chosen.clear();
    QMenu* shown = OpenPopup(menu);
    ASSERT_TRUE(shown);
    QTest::keyClick(shown, c.key, c.modifiers);
    Pump();
    EXPECT_EQ(chosen, c.chosen) << c.key;
    menu->ClosePopup();
    Pump();
  }
  // A letter beyond ASCII, in either case.
  for (const char* typed : {"\u01A1", "\u01A0"}) {
    chosen.clear();
    QMenu* shown = OpenPopup(menu);
    ASSERT_TRUE(shown);
    QTest::sendKeyEvent(QTest::Click, shown, Qt::Key_unknown, QString::fromUtf8(typed), Qt::NoModifier);
    Pump();
    EXPECT_EQ(chosen, std::vector<std::string>{"\u01A0n"}) << typed;
    menu->ClosePopup();
    Pump();
  }
}

// Owner-drawn and plain items of one popup share its ground, its selection
// colour and its font size.
TEST_F(CoolMenuTest, DescribedAndPlainItemsLookAlike) {
  menu->Items()->Items(2)->SetCaption("Hexagon");
  item[2]->SetPicture(nullptr);
  auto* plain = new TMenuItem(form.get());
  plain->SetCaption("Hexagon");
  menu->Items()->Add(plain);
  QMenu* shown = OpenPopup(menu);
  ASSERT_TRUE(shown);
  const QRect drawnRow = shown->actionGeometry(vantrel::menus::ActionOf(*menu, menu->Items()->Items(2), shown));
  const QRect plainRow = shown->actionGeometry(vantrel::menus::ActionOf(*menu, plain, shown));
  ASSERT_FALSE(drawnRow.isEmpty() || plainRow.isEmpty());
  const auto colourAt = [](const QImage& image, const QRect& row) {
    return vantrel::qt::FromQColor(image.pixelColor(row.right() - 3, row.top() + 2));
  };
  // The caption's ink: rows holding text-coloured pixels.
  const auto inkHeight = [](const QImage& image, const QRect& row) {
    int top = -1, bottom = -1;
    for (int y = row.top(); y <= row.bottom(); ++y)
      for (int x = row.left(); x <= row.right(); ++x)
        if (qGray(image.pixel(x, y)) < 60) {
          if (top < 0) top = y;
          bottom = y;
          break;
        }
    return top < 0 ? 0 : bottom - top + 1;
  };
  const QImage idle = Grab(shown);
  EXPECT_EQ(colourAt(idle, drawnRow), ColorToRGB(clMenu));
  EXPECT_EQ(colourAt(idle, plainRow), ColorToRGB(clMenu));
  EXPECT_GT(inkHeight(idle, plainRow), 0);
  EXPECT_EQ(inkHeight(idle, plainRow), inkHeight(idle, drawnRow)) << "one font size";
  for (const QRect& row : {drawnRow, plainRow}) {
    shown->setActiveAction(shown->actionAt(row.center()));
    EXPECT_EQ(colourAt(Grab(shown), row), ColorToRGB(clHighlight)) << row.top();
  }
  menu->ClosePopup();
}

// Two components describing items of one menu both hook it: each answers
// for its own items (their first letters, their pointing) and is told of
// every opening, and either may go first, leaving the other working.
TEST_F(CoolMenuTest, TwoComponentsOnOneMenuChainAndOutliveEachOther) {
  auto* help = new TMenuItem(form.get());
  help->SetCaption("Help");
  menu->Items()->Add(help);
  std::vector<std::string> chosen;
  for (int i = 0; i < menu->Items()->Count(); ++i) {
    TMenuItem* mi = menu->Items()->Items(i);
    mi->OnClick = [&chosen, mi](TObject*) { chosen.push_back(StripHotkey(mi->Caption())); };
  }
  // The fixture's component describes Open and Print; a second one Help.
  for (bool secondGoesFirst : {true, false}) {
    SCOPED_TRACE(secondGoesFirst ? "the later component freed first" : "the earlier one freed first");
    TCoolMenu* first = secondGoesFirst ? cool : new TCoolMenu(form.get());
    if (!secondGoesFirst)  // the fixture's was freed by the last round: a new first one
      for (int i : {0, 2}) {
        auto* described = new TCoolMenuItem(form.get());
        described->SetCoolMenu(first);
        described->SetMenuItem(menu->Items()->Items(i));
      }
    auto* second = new TCoolMenu(form.get());
    auto* described = new TCoolMenuItem(form.get());
    described->SetCoolMenu(second);
    described->SetMenuItem(help);
    std::vector<std::string> told, pointed;
    first->OnPopup = [&told](TObject*, TMenuItem*, int) { told.push_back("first"); };
    second->OnPopup = [&told](TObject*, TMenuItem*, int) { told.push_back("second"); };
    first->OnItemSelect = [&pointed](TObject*, TMenuItem*, int) { pointed.push_back("first"); };
    second->OnItemSelect = [&pointed](TObject*, TMenuItem*, int) { pointed.push_back("second"); };
    // Keys: Print is only the first's letter (no "&"), Help only the second's.
    const auto choose = [&](Qt::Key key) {
      chosen.clear();
      QMenu* shown = OpenPopup(menu);
      if (!shown) return std::vector<std::string>{"no popup"};
      QTest::keyClick(shown, key);
      Pump();
      menu->ClosePopup();
      Pump();
      return chosen;
    };
    EXPECT_EQ(choose(Qt::Key_P), std::vector<std::string>{"Print"});
    EXPECT_EQ(choose(Qt::Key_H), std::vector<std::string>{"Help"});
    EXPECT_EQ(told, (std::vector<std::string>{"second", "first", "second", "first"}));
    EXPECT_EQ(pointed, (std::vector<std::string>{"first", "second"}));
    // Pointing: each is told of its own items only.
    pointed.clear();
    QMenu* shown = OpenPopup(menu);
    ASSERT_TRUE(shown);
    shown->setActiveAction(vantrel::menus::ActionOf(*menu, help, shown));
    shown->setActiveAction(vantrel::menus::ActionOf(*menu, menu->Items()->Items(2), shown));
    menu->ClosePopup();
    EXPECT_EQ(pointed, (std::vector<std::string>{"second", "first"}));
    // One goes; the other still draws, answers and is told.
    TCoolMenu* stays = secondGoesFirst ? first : second;
    const char* staying = secondGoesFirst ? "first" : "second";
    delete (secondGoesFirst ? second : first);
    EXPECT_TRUE(menu->IsOwnerDrawn(secondGoesFirst ? menu->Items()->Items(2) : help));
    EXPECT_FALSE(menu->IsOwnerDrawn(secondGoesFirst ? help : menu->Items()->Items(2)));
    told.clear();
    pointed.clear();
    EXPECT_EQ(choose(secondGoesFirst ? Qt::Key_P : Qt::Key_H),
              std::vector<std::string>{secondGoesFirst ? "Print" : "Help"});
    EXPECT_EQ(choose(secondGoesFirst ? Qt::Key_H : Qt::Key_P), std::vector<std::string>{})
        << "the freed one's item is plain again";
    EXPECT_EQ(told, (std::vector<std::string>{staying, staying}));
    EXPECT_EQ(pointed, std::vector<std::string>{staying});
    delete stays;
  }
}

// On a menu's chain of hooks a component answers for the items it describes
// and hands on the rest: of two components describing one item the later
// answers alone; F1 on a menu bar's item, which it leaves to others, goes on
// to the hooks before it; a component whose items are all unlinked leaves
// the chain.
TEST_F(CoolMenuTest, AComponentAnswersForItsOwnItemsAndHandsOnTheRest) {
  TMenuItem* print = menu->Items()->Items(2);
  auto* second = new TCoolMenu(form.get());
  auto* alsoPrint = new TCoolMenuItem(form.get());
  alsoPrint->SetCoolMenu(second);
  alsoPrint->SetMenuItem(print);
  std::vector<std::string> told, pointed;
  cool->OnPopup = [&told](TObject*, TMenuItem*, int) { told.push_back("first"); };
  second->OnPopup = [&told](TObject*, TMenuItem*, int) { told.push_back("second"); };
  cool->OnItemSelect = [&pointed](TObject*, TMenuItem*, int) { pointed.push_back("first"); };
  second->OnItemSelect = [&pointed](TObject*, TMenuItem*, int) { pointed.push_back("second"); };
  QMenu* shown = OpenPopup(menu);
  ASSERT_TRUE(shown);
  shown->setActiveAction(vantrel::menus::ActionOf(*menu, print, shown));
  menu->ClosePopup();
  Pump();
  EXPECT_EQ(told, (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(pointed, std::vector<std::string>{"second"}) << "the later one answered for Print";
  // Print no longer described by the second: it leaves the menu's chain.
  alsoPrint->SetMenuItem(nullptr);
  told.clear();
  ASSERT_TRUE(OpenPopup(menu));
  menu->ClosePopup();
  Pump();
  EXPECT_EQ(told, std::vector<std::string>{"first"});

  // A menu bar's drop-down: its help is the program's to give, not the component's.
  auto shownForm = ShownForm(300, 200);
  auto* bar = new TMainMenu(shownForm.get());
  auto* file = new TMenuItem(shownForm.get());
  file->SetCaption("&File");
  bar->Items()->Add(file);
  auto* open = new TMenuItem(shownForm.get());
  open->SetCaption("&Open");
  file->Add(open);
  std::vector<TMenuItem*> helped;
  TMenu::TMenuHooks before;
  before.Help = [&helped](TMenuItem* mi) { return helped.push_back(mi), true; };
  const int beforeId = bar->AddMenuHooks(std::move(before));
  auto* third = new TCoolMenu(shownForm.get());
  auto* described = new TCoolMenuItem(shownForm.get());
  described->SetCoolMenu(third);
  described->SetMenuItem(open);
  Pump();
  QMenuBar* barWidget = vantrel::menus::MenuBarWidget(*bar);
  ASSERT_TRUE(barWidget);
  barWidget->setActiveAction(vantrel::menus::ActionOf(*bar, file, barWidget));
  Pump();
  auto* dropDown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_TRUE(dropDown);
  dropDown->setActiveAction(vantrel::menus::ActionOf(*bar, open, dropDown));
  QTest::keyClick(dropDown, Qt::Key_F1);
  dropDown->close();
  Pump();
  EXPECT_EQ(helped, std::vector<TMenuItem*>{open});
  bar->RemoveMenuHooks(beforeId);
}
