#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/stdctrls/buttons.h"

using namespace testing_support;

TEST(ButtonStreamingTest, ButtonsRoundTripThroughTheFormsTextDefinition) {
  TForm form(nullptr);
  form.SetName("AskForm");
  auto* go = new TBitBtn(&form);
  go->SetName("GoButton");
  go->SetParent(&form);
  go->SetKind(bkOK);
  go->SetCaption("&Go");
  go->SetLayout(blGlyphTop);
  auto* stop = new TButton(&form);
  stop->SetName("StopButton");
  stop->SetParent(&form);
  stop->SetCaption("Stop");
  stop->SetCancel(true);
  stop->SetModalResult(mrAbort);

  const std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find("Kind = bkOK"), std::string::npos);
  EXPECT_NE(text.find("Layout = blGlyphTop"), std::string::npos);
  // A stock picture is not written: the kind brings it back.
  EXPECT_EQ(text.find(" Glyph"), std::string::npos) << text;

  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto* go2 = As<TBitBtn>(copy.FindComponent("GoButton"));
  ASSERT_NE(go2, nullptr);
  EXPECT_EQ(go2->Kind(), bkOK);
  EXPECT_EQ(go2->Caption(), "&Go");  // the stored caption wins over the kind's
  EXPECT_EQ(go2->ModalResult(), mrOk);
  EXPECT_EQ(go2->Layout(), blGlyphTop);
  EXPECT_FALSE(go2->Glyph()->Empty());
  auto* stop2 = As<TButton>(copy.FindComponent("StopButton"));
  ASSERT_NE(stop2, nullptr);
  EXPECT_TRUE(stop2->Cancel());
  EXPECT_FALSE(stop2->Default());
  EXPECT_EQ(stop2->ModalResult(), mrAbort);
  EXPECT_EQ(stop2->Caption(), "Stop");
}

TEST(ButtonStreamingTest, ACustomPictureIsWritten) {
  TForm form(nullptr);
  form.SetName("PictureForm");
  auto* b = new TBitBtn(&form);
  b->SetName("PictureButton");
  b->SetParent(&form);
  auto picture = Surface(12, 10, clBlue);
  b->SetGlyph(picture.get());
  const std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find(" Glyph"), std::string::npos);
  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto* b2 = As<TBitBtn>(copy.FindComponent("PictureButton"));
  ASSERT_NE(b2, nullptr);
  EXPECT_EQ(b2->Kind(), bkCustom);
  EXPECT_EQ(b2->Glyph()->Width(), 12);
  EXPECT_EQ(b2->Glyph()->Canvas()->Pixels(3, 3), clBlue);
}
