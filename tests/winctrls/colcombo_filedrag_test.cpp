// The colour combo box, file drops and file-type icons.

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/filer.h"
#include "winctrls/colcombo.h"
#include "winctrls/filedrag.h"

using namespace testing_support;

TEST(ColorComboTest, BasicColoursSelectionByRGBAndEvents) {
  auto form = ShownForm();
  auto* combo = new TColorComboBox(form.get());
  ASSERT_EQ(combo->Parent(), form.get());
  ASSERT_EQ(combo->Items()->Count(), 16);
  EXPECT_EQ(combo->Items()->Strings(0), "Black");
  EXPECT_EQ(combo->Items()->Strings(8), "Silver");
  EXPECT_EQ(combo->Items()->Strings(15), "White");
  struct Case { TColor set; int index; } cases[] = {
      {clBtnFace, 8}, {TColor(0x0000FF), 9}, {clWhite, 15}, {TColor(0x123456), -1},
  };
  for (const Case& c : cases) {
    combo->SetSelectedColor(c.set);
    EXPECT_EQ(combo->ItemIndex(), c.index) << c.set;
    EXPECT_EQ(combo->SelectedColor(), c.set);  // kept even when not listed
  }
  // Four more entries; without OnGetColor they are black and nameless, not
  // whatever the caller's variables held.
  combo->OnGetColorNum = [](TObject*, int& n) { n = 20; };
  combo->BuildColorList();
  ASSERT_EQ(combo->Items()->Count(), 20);
  EXPECT_EQ(combo->Items()->Strings(17), "");
  TColor color = clRed;
  std::string name = "left over";
  combo->GetColorInfo(17, color, name);
  EXPECT_EQ(color, clBlack);
  EXPECT_EQ(name, "");
  combo->OnGetColor = [](TObject*, int i, TColor& c, std::string& n) {
    if (i >= 16) { c = RGB(i, i, i); n = "Grey " + std::to_string(i); }
  };
  combo->BuildColorList();
  EXPECT_EQ(combo->Items()->Strings(19), "Grey 19");
  combo->SetSelectedColor(RGB(18, 18, 18));
  EXPECT_EQ(combo->ItemIndex(), 18);
}

TEST(ColorComboTest, EntriesDrawASwatchAndTheName) {
  auto form = ShownForm();
  auto* combo = new TColorComboBox(form.get());
  combo->SetBounds(10, 10, 120, 24);
  combo->SetSelectedColor(clRed);
  Pump();
  auto shot = Snapshot(combo);
  const TRect nc = combo->NonClientMargins();
  // The swatch: 3 pixels in, 32 wide, red inside its pen-drawn frame.
  EXPECT_EQ(shot->Canvas()->Pixels(nc.Left + 3 + 16, nc.Top + combo->ClientHeight() / 2),
            ColorToRGB(clRed));
  combo->SetPictureWidth(0);
  Pump();
  shot = Snapshot(combo);
  EXPECT_NE(shot->Canvas()->Pixels(nc.Left + 3 + 16, nc.Top + combo->ClientHeight() / 2),
            ColorToRGB(clRed));
}

TEST(FileDragTest, SplittingKeepsTheLeftmostDotRule) {
  struct Case { const char* path; const char* name; const char* ext; } cases[] = {
      {"/docs/plan.rev.doc", "plan.rev.doc", "rev.doc"},
      {"/docs/report.tar.gz", "report.tar.gz", "tar.gz"},
      {"/docs/README", "README", ""},
      {"/a.b/noext", "noext", ""},
      {"plain.txt", "plain.txt", "txt"},
      {"/odd/new\nline.t\xffxt", "new\nline.t\xffxt", "t\xffxt"},
  };
  for (const Case& c : cases) {
    std::string name, ext;
    SplitDroppedPath(c.path, name, ext);
    EXPECT_EQ(name, c.name) << c.path;
    EXPECT_EQ(ext, c.ext) << c.path;
  }
}

TEST(FileDragTest, ADropOfTwoFilesArrivesOnce) {
  auto form = ShownForm();
  auto* drag = new TFileDrag(form.get());
  EXPECT_FALSE(drag->EnableDrop());
  int drops = 0;
  drag->OnDrop = [&](TObject*) { ++drops; };
  const std::string longName = "/tmp/" + std::string(200, 'x') + ".data.bin";
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile("/tmp/plan.rev.doc"), QUrl("https://example.com/x.html"),
                QUrl::fromLocalFile(QString::fromStdString(longName))});
  QWidget* window = vantrel::qt::WindowWidget(*form);
  auto dropOn = [&] {
    QDragEnterEvent enter(QPoint(12, 7), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(QPointF(12, 7), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
  };
  dropOn();  // not enabled: nothing arrives
  EXPECT_EQ(drops, 0);
  drag->SetEnableDrop(true);
  dropOn();
  EXPECT_EQ(drops, 1);
  ASSERT_EQ(drag->FileCount(), 2);  // the web address is no local file
  EXPECT_EQ(drag->NameWithPath()->Strings(0), "/tmp/plan.rev.doc");
  EXPECT_EQ(drag->NameOnly()->Strings(0), "plan.rev.doc");
  EXPECT_EQ(drag->Extension()->Strings(0), "rev.doc");
  EXPECT_EQ(drag->NameWithPath()->Strings(1), longName);
  EXPECT_EQ(drag->Extension()->Strings(1), "data.bin");
  delete drag;  // the form goes on without it
  dropOn();
  EXPECT_EQ(drops, 1);
}

TEST(FileDragTest, EnableDropSurvivesAFormDefinition) {
  Application->Initialize();
  for (bool enabled : {true, false}) {
    TFileDrag drag(nullptr);
    drag.SetEnableDrop(enabled);
    const std::string text = WriteComponentToText(&drag);
    EXPECT_EQ(text.find("EnableDrop = True") != std::string::npos, enabled) << text;
    TFileDrag back(nullptr);
    ReadComponentFromText(text, &back);
    EXPECT_EQ(back.EnableDrop(), enabled);
  }
}

TEST(SystemImageListTest, DefaultFirstTypesCachedOnce) {
  Application->Initialize();
  TSystemImageList list(nullptr);
  int lookups = 0;
  list.IconSource = [&](const std::string& ext, int size) {
    ++lookups;
    TIconImage icon;
    if (ext == "png" || ext == "PNG") return icon;  // a type with no icon in the theme
    icon.Width = icon.Height = size;
    icon.Pixels.assign(size_t(size * size), 0xFF00FF00u);
    return icon;
  };
  list.AddDefaultIcon();
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.IconIndexOfFileType("default"), 0);
  const int txt = list.IconIndexOfExtension("txt");
  EXPECT_EQ(txt, 1);
  EXPECT_EQ(list.IconIndexOfExtension("TXT"), txt);  // cached under the upper case
  EXPECT_EQ(lookups, 1);
  EXPECT_EQ(list.IconIndexOfExtension("no-such-extension-here"), 0);
  EXPECT_EQ(list.IconIndexOfExtension("png"), 0);  // known type, no icon: the default
  EXPECT_EQ(list.IconIndexOfExtension("png"), 0);
  EXPECT_EQ(lookups, 2);  // and that answer is kept
  EXPECT_EQ(list.Count(), 2);
  // A type not met yet comes from the theme by its name (lower case), once;
  // one the theme lacks answers 0 and is asked again.
  std::vector<std::string> asked;
  list.TypeIconSource = [&](const std::string& name, int size) {
    asked.push_back(name);
    TIconImage icon;
    if (name == "text-x-script") {
      icon.Width = icon.Height = size;
      icon.Pixels.assign(size_t(size * size), 0xFF0000FFu);
    }
    return icon;
  };
  EXPECT_EQ(list.IconIndexOfFileType("Text-X-Script"), 2);
  EXPECT_EQ(list.IconIndexOfFileType("TEXT-X-SCRIPT"), 2);
  EXPECT_EQ(list.IconIndexOfFileType("no-such-icon"), 0);
  EXPECT_EQ(list.IconIndexOfFileType("no-such-icon"), 0);
  EXPECT_EQ(asked, (std::vector<std::string>{"text-x-script", "no-such-icon", "no-such-icon"}));
  EXPECT_EQ(list.Count(), 3);
  // The real default icon is drawn in code, so it exists everywhere.
  const TIconImage def = DefaultDocumentIcon(16);
  EXPECT_FALSE(def.Empty());
}

// A parent with a frame setting of its own to give, as a grid has.
class TFramedComboHost : public TCustomControl {
  DECLARE_CLASS(TFramedComboHost, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  bool ctl3D = true;
};
IMPLEMENT_CLASS(TFramedComboHost, TCustomControl)
PUBLISHED(TFramedComboHost) { PROP_BOOL(Ctl3D, ctl3D, ctl3D, true); }

// With ParentCtl3D the box takes the frame of a parent that has a Ctl3D; a
// parent without one leaves the box its own; setting Ctl3D ends ParentCtl3D.
TEST(ColorComboTest, ParentCtl3DTakesTheFrameOfAParentThatHasOne) {
  struct Case {
    const char* name;
    bool framedParent;
    bool parentCtl3D;
    bool ownBefore;  // the box's Ctl3D before it follows
    bool ctl3D;
  } cases[] = {
      {"a flat parent", true, false, true, false},
      {"a framed parent", true, true, false, true},
      {"a parent with no Ctl3D", false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto form = ShownForm();
    TWinControl* parent = form.get();
    if (c.framedParent) {
      auto* host = new TFramedComboHost(form.get());
      host->ctl3D = c.parentCtl3D;
      host->SetParent(form.get());
      host->SetBounds(0, 0, 180, 100);
      parent = host;
    }
    auto* combo = new TColorComboBox(form.get());
    combo->SetParent(parent);
    combo->SetCtl3D(c.ownBefore);
    EXPECT_FALSE(combo->ParentCtl3D()) << "setting Ctl3D ends it";
    combo->SetParentCtl3D(true);
    combo->HandleNeeded();
    EXPECT_EQ(combo->Ctl3D(), c.ctl3D);
    EXPECT_EQ((GetWindowLong(combo, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, c.ctl3D) << "the frame";
  }
}
