#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/controls/extctrls.h"
#include "platform/classlib/controls/timer.h"
#include "platform/classlib/core/filer.h"

using namespace testing_support;

TEST(StreamingTest, AFormWithControlsRoundTripsThroughItsTextDefinition) {
  TForm form(nullptr);
  form.SetName("DefectForm");
  form.SetBounds(0, 0, 300, 200);
  form.SetCaption("Defects");
  auto* top = new TPanel(&form);
  top->SetName("TopPanel");
  top->SetHeight(30);
  top->SetAlign(alTop);
  top->SetBevelOuter(bvLowered);
  top->SetParent(&form);
  auto* label = new TLabel(&form);
  label->SetName("StatusLabel");
  label->SetLeft(8);
  label->SetCaption("Ready");
  label->SetParent(top);
  auto* timer = new TTimer(&form);
  timer->SetName("PollTimer");
  timer->SetInterval(250);
  timer->SetEnabled(false);

  const std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find("object TopPanel: TPanel"), std::string::npos);
  EXPECT_NE(text.find("BevelOuter = bvLowered"), std::string::npos);
  EXPECT_NE(text.find("Align = alTop"), std::string::npos);
  EXPECT_NE(text.find("object PollTimer: TTimer"), std::string::npos);
  EXPECT_EQ(text.find("BevelInner"), std::string::npos);  // defaults are not written

  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  EXPECT_EQ(copy.Name(), "DefectForm");
  EXPECT_EQ(copy.Caption(), "Defects");
  auto* top2 = As<TPanel>(copy.FindComponent("TopPanel"));
  ASSERT_NE(top2, nullptr);
  EXPECT_EQ(top2->Parent(), &copy);
  EXPECT_EQ(top2->BevelOuter(), bvLowered);
  EXPECT_EQ(top2->BoundsRect(), Rect(0, 0, 300, 30));
  auto* label2 = As<TLabel>(copy.FindComponent("StatusLabel"));
  ASSERT_NE(label2, nullptr);
  EXPECT_EQ(label2->Parent(), top2);  // read inside the panel, owned by the form
  EXPECT_EQ(label2->Owner(), &copy);
  EXPECT_EQ(label2->Caption(), "Ready");
  auto* timer2 = As<TTimer>(copy.FindComponent("PollTimer"));
  ASSERT_NE(timer2, nullptr);
  EXPECT_EQ(timer2->Interval(), 250u);
  EXPECT_FALSE(timer2->Enabled());
}

TEST(StreamingTest, TabOrderSurvivesReadingInCreationOrder) {
  TForm form(nullptr);
  form.SetName("OrderForm");
  auto* first = new TPanel(&form);
  first->SetName("First");
  first->SetParent(&form);
  auto* second = new TPanel(&form);
  second->SetName("Second");
  second->SetParent(&form);
  auto* third = new TPanel(&form);
  third->SetName("Third");
  third->SetParent(&form);
  third->SetTabOrder(0);  // Third, First, Second
  const std::string text = WriteComponentToText(&form);
  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto tabOf = [&](const char* name) {
    return static_cast<TWinControl*>(copy.FindComponent(name))->TabOrder();
  };
  EXPECT_EQ(tabOf("Third"), 0);
  EXPECT_EQ(tabOf("First"), 1);
  EXPECT_EQ(tabOf("Second"), 2);
}

TEST(StreamingTest, PicturesTravelAsBinaryDataAndDamagedDataIsRefused) {
  TForm form(nullptr);
  form.SetName("PictureForm");
  auto* image = new TImage(&form);
  image->SetName("Logo");
  image->SetParent(&form);
  auto pic = Surface(3, 2, clRed);
  pic->Canvas()->SetPixels(2, 1, clBlue);
  image->Picture()->Bitmap()->Assign(pic.get());
  const std::string text = WriteComponentToText(&form);
  EXPECT_NE(text.find("Picture.Data = {"), std::string::npos);
  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto* logo = As<TImage>(copy.FindComponent("Logo"));
  ASSERT_NE(logo, nullptr);
  TBitmap* b = As<TBitmap>(logo->Picture()->Graphic());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(b->Canvas()->Pixels(2, 1), clBlue);

  // Damaged data gives an error, not a crash.
  const size_t name = text.find("07544269746D6170");  // "TBitmap" with its length
  ASSERT_NE(name, std::string::npos);
  std::string tooLong = text;
  tooLong.replace(name + 16, 8, "FFFFFF7F");  // a size beyond the data
  TForm damaged(nullptr);
  EXPECT_THROW(ReadComponentFromText(tooLong, &damaged), Exception);
  std::string unknown = text;
  unknown.replace(name + 2, 2, "58");  // "XBitmap": no such graphic class
  TForm unknownClass(nullptr);
  EXPECT_THROW(ReadComponentFromText(unknown, &unknownClass), Exception);

  // An image without a picture writes no data.
  TForm empty(nullptr);
  empty.SetName("EmptyForm");
  auto* blank = new TImage(&empty);
  blank->SetName("Blank");
  blank->SetParent(&empty);
  EXPECT_EQ(WriteComponentToText(&empty).find("Picture.Data"), std::string::npos);
}

// A cursor is read by its identifier or its number and written by its
// identifier; the older name of the sizing cursor reads as the one written.
TEST(StreamingTest, CursorsTravelByTheirIdentifiers) {
  struct Case {
    const char* read;
    TCursor cursor;
    const char* written;  // nullptr: the default, not written
  } cases[] = {
      {"crHandPoint", crHandPoint, "crHandPoint"}, {"crhourglass", crHourGlass, "crHourGlass"},
      {"crSize", crSizeAll, "crSizeAll"},          {"crNone", crNone, "crNone"},
      {"-21", crHandPoint, "crHandPoint"},         {"crDefault", crDefault, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.read);
    TForm form(nullptr);
    ReadComponentFromText(std::string("object CursorForm: TForm\n  object Pointer: TPanel\n    Cursor = ") +
                              c.read + "\n  end\nend\n",
                          &form);
    auto* panel = As<TPanel>(form.FindComponent("Pointer"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Cursor(), c.cursor);
    const std::string text = WriteComponentToText(&form);
    const size_t at = text.find(std::string("Cursor = ") + (c.written ? c.written : ""));
    EXPECT_EQ(at != std::string::npos, c.written != nullptr) << text;
  }
  TForm form(nullptr);
  EXPECT_THROW(ReadComponentFromText("object CursorForm: TForm\n  Cursor = crPointer\nend\n", &form), Exception)
      << "an identifier no cursor has";
}
