// The library's dialog buttons: plain or glyph buttons with the global texts.
#include <gtest/gtest.h>

#include <QTimer>
#include <QTest>

#include "datactrls/wwintl.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/controls/qtbackend.h"
#include "platform/classlib/stdctrls/buttons.h"

namespace {

class DialogButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form_ = std::make_unique<TForm>(nullptr);
  }
  // Back to the default texts for the next test.
  void TearDown() override {
    form_.reset();
    delete wwGlobalIntl();
  }
  TButton* Make(TwwDialogButtonKind kind, int ppi = 96) {
    return wwSetDialogAppearance(form_.get(), kind, ppi);
  }
  std::unique_ptr<TForm> form_;
};

TEST_F(DialogButtonTest, PlainButtonsByDefaultWithTheGlobalCaptions) {
  ASSERT_FALSE(wwGlobalIntl()->OKCancelBitmapped);
  TButton* ok = wwSetDialogAppearance(form_.get(), TwwDialogButtonKind::OK);
  TButton* cancel = Make(TwwDialogButtonKind::Cancel);
  TButton* help = Make(TwwDialogButtonKind::Help);
  for (TButton* b : {ok, cancel, help}) {
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(Is<TBitBtn>(b));
    EXPECT_EQ(b->Owner(), form_.get());
    EXPECT_EQ(b->Parent(), form_.get());
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(b->Width(), 77);
    EXPECT_EQ(b->Height(), 24);
  }
  EXPECT_EQ(ok->Caption(), "&OK");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_FALSE(ok->Cancel());
  EXPECT_EQ(cancel->Caption(), "Cancel");
  EXPECT_EQ(cancel->ModalResult(), mrCancel);
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(help->Caption(), "Help");
  EXPECT_EQ(help->ModalResult(), mrNone);
  EXPECT_FALSE(help->Cancel());
}

TEST_F(DialogButtonTest, GlyphButtonsWhenBitmappedWithTheDialogFont) {
  wwGlobalIntl()->OKCancelBitmapped = true;
  wwGlobalIntl()->BtnOKCaption = "&Accept";
  wwGlobalIntl()->BtnCancelCaption = "&Drop";
  wwGlobalIntl()->DialogFontStyle = TFontStyles{fsBold};
  auto* ok = dynamic_cast<TBitBtn*>(Make(TwwDialogButtonKind::OK));
  auto* cancel = dynamic_cast<TBitBtn*>(Make(TwwDialogButtonKind::Cancel));
  auto* help = dynamic_cast<TBitBtn*>(Make(TwwDialogButtonKind::Help));
  ASSERT_TRUE(ok && cancel && help);
  for (TBitBtn* b : {ok, cancel, help}) {
    EXPECT_EQ(b->Parent(), form_.get());
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(b->Width(), 77);
    EXPECT_EQ(b->Height(), 27);
    EXPECT_EQ(b->Margin(), 2);
    EXPECT_EQ(b->Spacing(), -1);
    EXPECT_EQ(b->NumGlyphs(), 2);
    EXPECT_EQ(b->Layout(), blGlyphLeft);
    EXPECT_FALSE(b->Glyph()->Empty());
    EXPECT_EQ(b->Font()->Color(), clWindowText);
    EXPECT_EQ(b->Font()->Height(), -11);
    EXPECT_EQ(b->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(b->Font()->Style(), TFontStyles{fsBold});
  }
  EXPECT_EQ(ok->Kind(), bkOK);
  EXPECT_EQ(ok->Caption(), "&Accept");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_EQ(cancel->Kind(), bkCancel);
  EXPECT_EQ(cancel->Caption(), "&Drop");
  EXPECT_EQ(cancel->ModalResult(), mrCancel);
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(help->Kind(), bkHelp);
  EXPECT_EQ(help->Caption(), "Help");
  EXPECT_EQ(help->ModalResult(), mrNone);
}

TEST_F(DialogButtonTest, SizesFollowThePixelsPerInch) {
  TButton* plain = Make(TwwDialogButtonKind::OK, 120);
  EXPECT_EQ(plain->Width(), 96);
  EXPECT_EQ(plain->Height(), 30);
  wwGlobalIntl()->OKCancelBitmapped = true;
  TButton* glyph = Make(TwwDialogButtonKind::Cancel, 144);
  EXPECT_EQ(glyph->Width(), 115);
  EXPECT_EQ(glyph->Height(), 40);
}

TEST_F(DialogButtonTest, EscapeClicksTheCancelButtonOfAModalDialog) {
  form_->SetBounds(40, 40, 250, 100);
  TButton* ok = Make(TwwDialogButtonKind::OK);
  TButton* cancel = Make(TwwDialogButtonKind::Cancel);
  ok->SetLeft(10);
  cancel->SetLeft(100);
  ok->Show();
  cancel->Show();
  ok->SetTabOrder(0);
  QTimer::singleShot(20, [&] {
    QTest::keyClick(vantrel::qt::ClientWidget(*ok), Qt::Key_Escape);
  });
  EXPECT_EQ(form_->ShowModal(), mrCancel);
}

TEST_F(DialogButtonTest, NoFormNoButton) {
  EXPECT_EQ(wwSetDialogAppearance(nullptr, TwwDialogButtonKind::OK), nullptr);
}

}  // namespace
