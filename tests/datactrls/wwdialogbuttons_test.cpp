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

// What each kind of button gets besides its look.
struct Role {
  TwwDialogButtonKind kind;
  const char* caption;
  TModalResult result;
  bool cancel;
};

TEST_F(DialogButtonTest, PlainButtonsByDefaultWithTheGlobalCaptions) {
  ASSERT_FALSE(wwGlobalIntl()->OKCancelBitmapped);
  EXPECT_EQ(wwSetDialogAppearance(nullptr, TwwDialogButtonKind::OK), nullptr);  // no form
  for (const Role& r : {Role{TwwDialogButtonKind::OK, "&OK", mrOk, false},
                        Role{TwwDialogButtonKind::Cancel, "Cancel", mrCancel, true},
                        Role{TwwDialogButtonKind::Help, "Help", mrNone, false}}) {
    TButton* b = wwSetDialogAppearance(form_.get(), r.kind);
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(Is<TBitBtn>(b));
    EXPECT_EQ(b->Owner(), form_.get());
    EXPECT_EQ(b->Parent(), form_.get());
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(std::pair(b->Width(), b->Height()), std::pair(77, 24));
    EXPECT_EQ(b->Caption(), r.caption);
    EXPECT_EQ(b->ModalResult(), r.result);
    EXPECT_EQ(b->Cancel(), r.cancel);
  }
}

TEST_F(DialogButtonTest, GlyphButtonsWhenBitmappedWithTheDialogFont) {
  wwGlobalIntl()->OKCancelBitmapped = true;
  wwGlobalIntl()->BtnOKCaption = "&Accept";
  wwGlobalIntl()->BtnCancelCaption = "&Drop";
  wwGlobalIntl()->DialogFontStyle = TFontStyles{fsBold};
  for (auto [r, kind] : {std::pair{Role{TwwDialogButtonKind::OK, "&Accept", mrOk, false}, bkOK},
                         {Role{TwwDialogButtonKind::Cancel, "&Drop", mrCancel, true}, bkCancel},
                         {Role{TwwDialogButtonKind::Help, "Help", mrNone, false}, bkHelp}}) {
    auto* b = dynamic_cast<TBitBtn*>(Make(r.kind));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Parent(), form_.get());
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(std::pair(b->Width(), b->Height()), std::pair(77, 27));
    EXPECT_EQ(std::tuple(b->Margin(), b->Spacing(), b->NumGlyphs()), std::tuple(2, -1, 2));
    EXPECT_EQ(b->Layout(), blGlyphLeft);
    EXPECT_FALSE(b->Glyph()->Empty());
    EXPECT_EQ(b->Font()->Color(), clWindowText);
    EXPECT_EQ(b->Font()->Height(), -11);
    EXPECT_EQ(b->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(b->Font()->Style(), TFontStyles{fsBold});
    EXPECT_EQ(b->Kind(), kind);
    EXPECT_EQ(b->Caption(), r.caption);
    EXPECT_EQ(b->ModalResult(), r.result);
    EXPECT_EQ(b->Cancel(), r.cancel);
  }
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

}  // namespace
