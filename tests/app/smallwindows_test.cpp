// The message procedure and the small windows: splash, date chooser, About
// and zoom.

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <QWidget>

#include "app/about/about.h"
#include "app/choosedate/choosedate.h"
#include "app/locatedb/locatedb.h"
#include "app/common/beepmessage.h"
#include "app/splash/splash.h"
#include "app/zoom/zoom.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/comctrls.h"
#include "platform/classlib/stdctrls/speedbutton.h"
#include "platform/classlib/stdctrls/stdctrls.h"
#include "platform/win32/msgbox.h"

namespace {

TEST(BeepMessage, TheBeepAndTheBoxFollowTheType) {
  const struct {
    int type;
    UINT beep;
    TMsgDlgType box;
  } cases[] = {{kMsgError, MB_ICONEXCLAMATION, mtError},
               {kMsgInformation, MB_ICONASTERISK, mtInformation},
               {kMsgWarning, MB_ICONASTERISK, mtWarning}};
  for (const auto& c : cases) {
    std::vector<UINT> beeps;
    TBeepSink previous = SetBeepSink([&](UINT kind) { beeps.push_back(kind); });
    TMsgDlgType shown = mtCustom;
    std::vector<TModalResult> buttons;
    {
      TDialogResponderScope answers([&](TDialogRequest& r) {
        shown = r.Type;
        buttons = r.Buttons;
        return mrOk;
      });
      ShowBeepMessage("text", c.type);
    }
    SetBeepSink(previous);
    EXPECT_EQ(beeps, std::vector<UINT>{c.beep}) << c.type;
    EXPECT_EQ(shown, c.box) << c.type;
    EXPECT_EQ(buttons, std::vector<TModalResult>{mrOk});
  }
}

TEST(Splash, TheWaitEndsWithTheTimersFirstTickAndFreeingSilencesIt) {
  ShowSplashAndWait(30);
  ASSERT_NE(frmSplash, nullptr);
  EXPECT_FALSE(frmSplash->Timer->Enabled());
  EXPECT_EQ(frmSplash->lblStatus->Caption(), "-Initializing-");
  EXPECT_EQ(frmSplash->lblVersion->Caption(), "Version 2.0.2a");
  FreeSplash();
  EXPECT_EQ(frmSplash, nullptr);
}

TEST(ChooseDate, EscapeCancelsAndTheButtonsMoveByMonths) {
  TfrmChooseDate chooser(Application);
  const TDateTime start = EncodeDate(2026, 3, 5);
  chooser.ChosenDate = start;
  std::string label;
  TDialogResponderScope answers([&](TDialogRequest& r) {
    if (r.Kind != TDialogKind::Form) return mrOk;
    label = chooser.lblDate->Caption();
    chooser.SpeedButton1->Click();
    EXPECT_EQ(chooser.Calendar->Date(), EncodeDate(2026, 4, 5));
    chooser.SpeedButton2->Click();
    QTest::keyClick(vantrel::qt::ClientWidget(*chooser.Calendar), Qt::Key_Escape);
    return mrNone;
  });
  EXPECT_EQ(chooser.ShowModal(), mrCancel);
  EXPECT_EQ(label, "March 5, 2026");
  EXPECT_EQ(chooser.ChosenDate, start);
}

TEST(About, MemoryAndSystemTexts) {
  EXPECT_EQ(MemoryText(16318496ull * 1024), "16318,496 KB");
  EXPECT_EQ(MemoryText(512 * 1024 + 1023), "512 KB");
  EXPECT_EQ(MemoryText(64ull << 40), "68719476,736 KB") << "64-bit totals";
  EXPECT_EQ(SystemVersionText("Debian GNU/Linux", 6, 1, 0), "Debian GNU/Linux ver 6.1 (Build 0)");
  TfrmAbout about(Application);
  TDialogResponderScope answers([](TDialogRequest&) { return mrOk; });
  about.ShowModal();
  EXPECT_EQ(about.Caption(), "About Vantrel Pro 2.0");
  EXPECT_NE(about.lblMemory->Caption().find(" KB"), std::string::npos);
  EXPECT_NE(about.lblWindowsVersion->Caption().find(" ver "), std::string::npos);
}

// The message reads whole across the window at the default font and at one
// half larger: nothing lies over it and every line of it is drawn.
TEST(LocateDB, TheMessageReadsWholeAtTheDefaultFontAndLarger) {
  for (double scale : {1.0, 1.5}) {
    SCOPED_TRACE(scale);
    TfrmLocateDB locate(Application);
    locate.Font()->SetSize(int(locate.Font()->Size() * scale + 0.5));
    locate.Show();
    Application->ProcessMessages();
    const TLabel* label = locate.lblMain;
    EXPECT_EQ(label->Left(), 8);
    EXPECT_EQ(label->Width(), locate.ClientWidth() - 16) << "the message takes the window's width";
    // Its lines, wrapped at that width, fit its height; the path row lies below.
    TCanvas* canvas = locate.lblMain->Canvas();
    canvas->SetFont(label->Font());
    TRect needed{0, 0, label->Width(), 0};
    DrawText(canvas, kLocateDBText, needed, DT_WORDBREAK | DT_CALCRECT);
    const int lines = needed.Bottom / canvas->TextHeight("Wg");
    EXPECT_LE(lines, 3);
    EXPECT_GE(label->Height(), needed.Bottom);
    EXPECT_LE(label->Top() + label->Height(), locate.txtFile->Top());
    EXPECT_LE(label->Top() + label->Height(), locate.btnBrowse->Top());
    EXPECT_LE(locate.txtFile->Left() + locate.txtFile->Width(), locate.btnBrowse->Left());
    for (TControl* c : std::initializer_list<TControl*>{locate.btnOk, locate.btnCancel, locate.btnBrowse}) {
      EXPECT_LE(c->Left() + c->Width(), locate.ClientWidth());
      EXPECT_LE(c->Top() + c->Height(), locate.ClientHeight());
      EXPECT_GE(c->Top(), locate.txtFile->Top());
    }
    EXPECT_GE(locate.txtFile->Height(), canvas->TextHeight("Wg") + 4);
    // Every line of the message has ink on the window.
    const QImage shot = vantrel::qt::ClientWidget(locate)->grab().toImage();
    const int lineHeight = std::max(1, label->Height() / std::max(1, lines));
    for (int l = 0; l < lines; ++l) {
      int ink = 0;
      for (int y = label->Top() + l * lineHeight; y < label->Top() + (l + 1) * lineHeight; ++y)
        for (int x = label->Left(); x < label->Left() + label->Width(); ++x)
          ink += qGray(shot.pixel(x * shot.width() / locate.ClientWidth(), y * shot.height() / locate.ClientHeight())) < 96;
      EXPECT_GT(ink, 20) << "line " << l;
    }
    locate.Hide();
  }
}

TEST(Zoom, TheButtonsKeepTheirGapsToTheRightEdge) {
  TfrmZoom zoom(Application);
  zoom.Show();
  for (int width : {300, 520}) {
    zoom.SetClientWidth(width);
    Application->ProcessMessages();
    EXPECT_EQ(zoom.btnCancel->Left() + zoom.btnCancel->Width(), zoom.pnlButtons->ClientWidth() - 5);
    EXPECT_EQ(zoom.btnOk->Left() + zoom.btnOk->Width(), zoom.btnCancel->Left() - 5);
  }
  zoom.Hide();
}

}  // namespace
