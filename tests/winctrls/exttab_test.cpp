// The extended tab control: TabIndex events, sides and styles, colours,
// hot tracking, hints and owner drawing.

#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "published_values.h"
#include "winctrls/exttab.h"

#include <map>

using namespace testing_support;

namespace {

class ExtTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(300, 120);
    tabs = new TExtTabControl(form.get());
    tabs->SetParent(form.get());
    tabs->SetBounds(0, 0, 300, 100);
    for (const char* t : {"Reports", "Memos", "Charts"}) tabs->Tabs()->Add(t);
    tabs->OnChanging = [this](TObject*, bool& allow) { events.push_back("changing"); allow = allow_; };
    tabs->OnChange = [this](TObject*) { events.push_back("change"); };
    Pump();
  }
  TPoint CentreOf(int i) {
    const TRect r = tabs->TabRect(i);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  TColor PixelAt(TPoint p) {
    auto shot = Snapshot(tabs);
    const TRect nc = tabs->NonClientMargins();
    return shot->Canvas()->Pixels(nc.Left + p.x, nc.Top + p.y);
  }
  // Whether any pixel of tab `tab` in `shot` has `color`.
  bool TabHolds(TBitmap& shot, int tab, TColor color) {
    const TRect r = tabs->TabRect(tab);
    const TRect nc = tabs->NonClientMargins();
    for (int x = r.Left; x < r.Right; ++x)
      for (int y = r.Top; y < r.Bottom; ++y)
        if (shot.Canvas()->Pixels(nc.Left + x, nc.Top + y) == ColorToRGB(color)) return true;
    return false;
  }

  std::unique_ptr<TForm> form;
  TExtTabControl* tabs;
  std::vector<std::string> events;
  bool allow_ = true;
};

}  // namespace

TEST_F(ExtTabTest, TabIndexFromCodeAsksAndTells) {
  tabs->SetTabIndex(1);
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));
  events.clear();
  tabs->SetTabIndex(1);   // the current one
  tabs->SetTabIndex(3);   // past the tabs
  EXPECT_TRUE(events.empty());
  allow_ = false;
  tabs->SetTabIndex(2);   // refused
  EXPECT_EQ(tabs->TabIndex(), 1);
  allow_ = true;
  tabs->SetTabEnabled(2, false);
  tabs->SetTabIndex(2);
  const TPoint p = CentreOf(2);
  Click(tabs, p.x, p.y);
  EXPECT_EQ(tabs->TabIndex(), 1);  // a disabled tab is not chosen
  tabs->SetFocus();
  QTest::keyClick(ClientOf(tabs), Qt::Key_Right);
  EXPECT_EQ(tabs->TabIndex(), 1);  // nor reached with the arrow keys
  // Alt with a mnemonic selects the tab, through the change events.
  tabs->Tabs()->SetStrings(0, "&Reports");
  events.clear();
  QTest::keyClick(ClientOf(tabs), Qt::Key_R, Qt::AltModifier);
  EXPECT_EQ(tabs->TabIndex(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));
}

TEST_F(ExtTabTest, SidesStylesAndSizes) {
  tabs->SetTabPosition(tabPosLeft);
  EXPECT_EQ(tabs->TabHeight(), 35);
  EXPECT_EQ(tabs->TabWidth(), 70);
  EXPECT_EQ(tabs->TabRect(0).Width(), 70);
  EXPECT_EQ(tabs->TabRect(0).Height(), 35);
  tabs->SetTabStyle(tabStButton);  // buttons only on top
  EXPECT_EQ(tabs->TabPosition(), tabPosTop);
  EXPECT_EQ(tabs->Style(), tsButtons);
  tabs->SetTabPosition(tabPosBottom);  // and away from the top they are tabs again
  EXPECT_EQ(tabs->TabStyle(), tabStDefault);
  EXPECT_EQ(tabs->Style(), tsTabs);
}

TEST_F(ExtTabTest, ColoursHotTrackingHintsAndOwnerDrawing) {
  tabs->SetTabIndex(0);
  tabs->SetTabInactiveColor(clYellow);
  tabs->SetTabActiveColor(clAqua);
  const TPoint memo = CentreOf(1), report = CentreOf(0);
  EXPECT_EQ(PixelAt({tabs->TabRect(1).Left + 3, memo.y}), ColorToRGB(clYellow));
  EXPECT_EQ(PixelAt({tabs->TabRect(0).Left + 3, report.y}), ColorToRGB(clAqua));
  // Hot tracking: the tab under the mouse, cleared on leaving.
  tabs->Hottrack()->SetEnabled(true);
  tabs->SetShowHint(true);
  tabs->TabHints()->Add("All reports");
  QTest::mouseMove(ClientOf(tabs), QPoint(memo.x, memo.y));
  EXPECT_EQ(tabs->HotIndex(), 1);
  EXPECT_EQ(tabs->Hint(), "");  // hints shorter than the tabs: empty
  QTest::mouseMove(ClientOf(tabs), QPoint(report.x, report.y));
  EXPECT_EQ(tabs->HotIndex(), 0);
  EXPECT_EQ(tabs->Hint(), "All reports");
  tabs->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(tabs->HotIndex(), -1);
  // The application's hook changes the font and lets the control draw.
  std::vector<std::pair<int, bool>> drawn;
  tabs->OnDrawTab = [&](TWinControl*, int i, bool active, const TRect& fg, const TRect&,
                        TOwnerDrawState state) {
    drawn.push_back({i, active});
    tabs->Canvas()->Font()->SetColor(clRed);
    tabs->Canvas()->Font()->SetStyle(TFontStyles{fsBold});
    tabs->DrawTab(i, fg, state);
  };
  auto shot = Snapshot(tabs);
  EXPECT_EQ(drawn.size(), 3u);
  EXPECT_TRUE(TabHolds(*shot, 1, clRed));
}

TEST_F(ExtTabTest, GlyphsFromOneStripGoBesideTheCaptions) {
  TBitmap strip;  // two 8 x 8 cells on fuchsia: red, then green
  strip.SetSize(16, 8);
  strip.Canvas()->Brush()->SetColor(clFuchsia);
  strip.Canvas()->FillRect(Rect(0, 0, 16, 8));
  strip.Canvas()->Brush()->SetColor(clRed);
  strip.Canvas()->FillRect(Rect(1, 1, 7, 7));
  strip.Canvas()->Brush()->SetColor(clLime);
  strip.Canvas()->FillRect(Rect(9, 1, 15, 7));
  tabs->TabGlyphs()->SetGlyph(&strip);
  tabs->TabGlyphs()->SetNumGlyphs(2);
  ASSERT_EQ(tabs->TabGlyphs()->Images()->Count(), 2);
  auto shot = Snapshot(tabs);
  auto holds = [&](int tab, TColor color) { return TabHolds(*shot, tab, color); };
  EXPECT_TRUE(holds(0, clRed));
  EXPECT_FALSE(holds(0, clLime));
  EXPECT_TRUE(holds(1, clLime));
  EXPECT_FALSE(holds(2, clRed) || holds(2, clLime));  // no third cell
  EXPECT_FALSE(holds(0, clFuchsia));                  // the see-through colour
}

TEST_F(ExtTabTest, BackgroundHooksAndUpdateLocks) {
  tabs->OnDrawBkgndInside = [](TObject*, TCanvas* c, int, const TRect& r) {
    c->Brush()->SetColor(clYellow);
    c->FillRect(r);
  };
  tabs->OnDrawBkgndOutside = [](TObject*, TCanvas* c, int, const TRect& r) {
    c->Brush()->SetColor(clLime);
    c->FillRect(r);  // clipped: the page and the tabs stay
  };
  tabs->Invalidate();
  const TRect page = tabs->DisplayRect();
  const TRect last = tabs->TabRect(2);
  EXPECT_EQ(PixelAt({(page.Left + page.Right) / 2, (page.Top + page.Bottom) / 2}),
            ColorToRGB(clYellow));
  EXPECT_EQ(PixelAt({last.Right + 20, (last.Top + last.Bottom) / 2}), ColorToRGB(clLime));
  EXPECT_EQ(PixelAt({last.Left + 3, last.Top + 3}), TColor(0xA4A0A0));  // an inactive tab
  // Nothing is painted while an update is under way; its end repaints.
  const int selected = tabs->TabIndex();
  ASSERT_GE(selected, 0);
  tabs->BeginTabUpdate();
  tabs->SetTabActiveColor(clRed);
  EXPECT_NE(PixelAt({tabs->TabRect(selected).Left + 3, tabs->TabRect(selected).Top + 3}),
            ColorToRGB(clRed));
  tabs->EndTabUpdate();
  tabs->EndTabUpdate();  // one too many changes nothing
  EXPECT_EQ(PixelAt({tabs->TabRect(selected).Left + 3, tabs->TabRect(selected).Top + 3}),
            ColorToRGB(clRed));
}

TEST_F(ExtTabTest, WiderTabFontSizesTheTabsAndHintsSitBelowTheirTab) {
  const int plain = tabs->TabRect(0).Height();
  tabs->TabInactiveFont()->SetSize(18);
  EXPECT_EQ(tabs->Font()->Size(), 18);
  EXPECT_GT(tabs->TabRect(0).Height(), plain);
  tabs->TabActiveFont()->SetSize(24);
  EXPECT_EQ(tabs->Font()->Size(), 24);
  tabs->TabHints()->Add("Reports");
  tabs->TabHints()->Add("Memos");
  tabs->SetShowHint(true);
  const TRect r = tabs->TabRect(1);
  const QPoint at(r.Right - 2, r.Top + 2);
  QTest::mouseMove(ClientOf(form.get()), QPoint(290, 110));
  QTest::mouseMove(ClientOf(tabs), at);  // the tab's hint becomes the control's
  EXPECT_EQ(tabs->Hint(), "Memos");
  Application->ActivateHint(tabs->ClientToScreen(TPoint{at.x(), at.y()}));
  THintWindow* hint = Application->HintWindow();
  ASSERT_NE(hint, nullptr);
  const TPoint want = tabs->ClientToScreen(TPoint{r.Left + 3, r.Bottom + 1});
  EXPECT_EQ((TPoint{hint->Left(), hint->Top()}), want);
  Application->CancelHint();
}

TEST_F(ExtTabTest, OwnerDrawingGetsTheFaceRectangleOffTheBackground) {
  tabs->SetTabIndex(1);
  std::map<int, std::pair<TRect, TRect>> rects;  // tab: foreground, background
  tabs->OnDrawTab = [&](TWinControl*, int i, bool, const TRect& fg, const TRect& bg, TOwnerDrawState) {
    rects[i] = {fg, bg};
  };
  struct Case { TExtTabPosition position; TExtTabStyle style; TPoint unselected, selected; };
  const Case cases[] = {
      {tabPosTop, tabStDefault, {0, 1}, {0, -1}},
      {tabPosBottom, tabStDefault, {0, -2}, {0, 0}},
      {tabPosLeft, tabStDefault, {0, 0}, {-2, 0}},
      {tabPosRight, tabStDefault, {0, 0}, {2, 0}},
      {tabPosTop, tabStButton, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    tabs->SetTabPosition(c.position);
    tabs->SetTabStyle(c.style);
    rects.clear();
    Snapshot(tabs);
    ASSERT_EQ(rects.size(), 3u) << int(c.position);
    for (int i : {0, 1}) {
      const auto& [fg, bg] = rects[i];
      const TPoint want = i == 1 ? c.selected : c.unselected;
      EXPECT_EQ(fg.Left - bg.Left, want.x) << int(c.position) << " tab " << i;
      EXPECT_EQ(fg.Top - bg.Top, want.y) << int(c.position) << " tab " << i;
      EXPECT_EQ(fg.Width(), bg.Width());
      EXPECT_EQ(fg.Height(), bg.Height());
    }
  }
}

TEST_F(ExtTabTest, AGlyphStripEditedInPlaceGivesNewGlyphs) {
  TExtGlyphs* glyphs = tabs->TabGlyphs();
  glyphs->SetNumGlyphs(2);
  EXPECT_EQ(glyphs->Images()->Count(), 0);  // nothing drawn yet
  TBitmap* strip = glyphs->Glyph();
  strip->SetSize(16, 8);
  strip->Canvas()->Brush()->SetColor(clLime);
  strip->Canvas()->FillRect(Rect(0, 0, 16, 8));
  ASSERT_EQ(glyphs->Images()->Count(), 2);
  EXPECT_EQ(glyphs->Images()->Width(), 8);
  EXPECT_TRUE(TabHolds(*Snapshot(tabs), 1, clLime));
}

// A form with the drawing handlers a form definition names.
class TTabTestForm : public TForm {
  DECLARE_CLASS(TTabTestForm, TForm)
 public:
  explicit TTabTestForm(TComponent* owner = nullptr) : TForm(owner) {}
  void StripDrawTab(TWinControl*, int, bool, const TRect&, const TRect&, TOwnerDrawState) {}
  void StripInside(TObject*, TCanvas*, int, const TRect&) {}
  void StripOutside(TObject*, TCanvas*, int, const TRect&) {}
};
IMPLEMENT_CLASS(TTabTestForm, TForm)
PUBLISHED(TTabTestForm) {
  PUBLISHED_METHOD(StripDrawTab);
  PUBLISHED_METHOD(StripInside);
  PUBLISHED_METHOD(StripOutside);
}

// Hints, fonts, hot tracking, glyphs, drawing events and the tab sizes, each
// away from its default, come back from the form's definition in text and
// in binary form; the height reads back as the strip's own.
TEST(ExtTabStreamingTest, EveryPublishedPropertyRoundTrips) {
  using namespace winctrls_test;
  Application->Initialize();
  TTabTestForm form;
  form.SetName("TabForm");
  auto* tabs = new TExtTabControl(&form);
  tabs->SetName("Strip");
  tabs->SetParent(&form);
  for (const char* t : {"Report", "Resolution", "Steps"}) tabs->Tabs()->Add(t);
  tabs->TabHints()->Add("The report");
  tabs->TabHints()->Add("How it was resolved");
  tabs->TabActiveFont()->SetName("Arial");
  tabs->TabActiveFont()->SetStyle(TFontStyles{fsBold});
  tabs->TabInactiveFont()->SetSize(10);
  tabs->TabInactiveFont()->SetColor(clNavy);
  auto strip = Surface(32, 16, clFuchsia);
  strip->Canvas()->Brush()->SetColor(clGreen);
  strip->Canvas()->FillRect(Rect(2, 2, 14, 14));
  tabs->TabGlyphs()->SetGlyph(strip.get());
  for (const auto& [event, handler] : {std::pair{"OnDrawTab", "StripDrawTab"},
                                       std::pair{"OnDrawBkgndInside", "StripInside"},
                                       std::pair{"OnDrawBkgndOutside", "StripOutside"}})
    SetMethodProp(tabs, event, MethodAddress(&form, handler));
  struct Setting {
    const char* path;
    TPropValue value;
  };
  const Setting settings[] = {
      {"TabHeight", int64_t(21)},
      {"TabWidth", int64_t(64)},
      {"TabActiveColor", int64_t(clWhite)},
      {"TabInactiveColor", int64_t(clBtnShadow)},
      {"TabWordWrap", true},
      {"TabStyle", std::string("tabStButton")},
      {"Hottrack.Enabled", true},
      {"Hottrack.TabActiveColor", int64_t(clRed)},
      {"Hottrack.TabInactiveColor", int64_t(clNone)},
      {"TabGlyphs.NumGlyphs", int64_t(2)},
      {"TabGlyphs.Position", std::string("glPosTop")},
      {"TabGlyphs.Spacing", int64_t(3)},
      {"TabGlyphs.TransparentColor", int64_t(clLime)},
  };
  for (const Setting& s : settings) SetPublished(tabs, s.path, s.value);
  for (const Setting& s : settings) EXPECT_TRUE(DiffersFromDefault(tabs, s.path)) << s.path;
  for (const char* path : {"TabHints", "TabGlyphs.Glyph", "OnDrawTab", "OnDrawBkgndInside",
                           "OnDrawBkgndOutside", "TabActiveFont.Name", "TabInactiveFont.Color"})
    EXPECT_NE(PublishedValue(tabs, path), "(not published)") << path;
  const auto before = PublishedValues(tabs);
  for (const auto& [how, copy] : ReadBack(form, [] { return std::make_unique<TTabTestForm>(); })) {
    auto* loaded = dynamic_cast<TExtTabControl*>(copy->FindComponent("Strip"));
    ASSERT_NE(loaded, nullptr) << how;
    const auto after = PublishedValues(loaded);
    for (const auto& [path, value] : before)
      EXPECT_EQ(after.count(path) ? after.at(path) : "(missing)", value) << how << " " << path;
    EXPECT_EQ(loaded->TabHeight(), 21) << how;
    EXPECT_EQ(loaded->TabWidth(), 64) << how;
    EXPECT_EQ(loaded->TabGlyphs()->Images()->Count(), 2) << how;
  }
}
