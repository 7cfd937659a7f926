#include <gtest/gtest.h>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/stdctrls/buttons.h"

using namespace testing_support;

namespace {

// A control of type T, named `name`, placed on `form`.
template <class T>
T* OnForm(TForm& form, const std::string& name) {
  auto* c = new T(&form);
  c->SetName(name);
  c->SetParent(&form);
  return c;
}

}  // namespace

TEST(ButtonStreamingTest, ButtonsRoundTripThroughTheFormsTextDefinition) {
  TForm form(nullptr);
  form.SetName("AskForm");
  auto* go = OnForm<TBitBtn>(form, "GoButton");
  go->SetKind(bkOK);
  go->SetCaption("&Go");
  go->SetLayout(blGlyphTop);
  auto* stop = OnForm<TButton>(form, "StopButton");
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
  auto* b = OnForm<TBitBtn>(form, "PictureButton");
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

// ---- Lists, pages and bars ------------------------------------------------------------

#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/listview.h"
#include "platform/classlib/stdctrls/statusbar.h"
#include "platform/classlib/stdctrls/tabs.h"

TEST(ListStreamingTest, ItemsPagesPanelsAndColumnsRoundTrip) {
  TForm form(nullptr);
  form.SetName("ListsForm");
  auto* list = OnForm<TListBox>(form, "Fields");
  list->SetSorted(true);
  list->Items()->SetCommaText("Status,Priority");
  auto* combo = OnForm<TComboBox>(form, "Kind");
  combo->SetStyle(csDropDownList);
  combo->Items()->SetCommaText("Low,High");
  auto* pages = OnForm<TPageControl>(form, "Pages");
  for (const char* caption : {"General", "Fonts"}) {
    auto* sheet = new TTabSheet(&form);
    sheet->SetName(std::string("Sheet") + caption);
    sheet->SetPageControl(pages);
    sheet->SetCaption(caption);
  }
  auto* bar = OnForm<TStatusBar>(form, "Bar");
  bar->Panels()->Add()->SetText("Ready");
  bar->Panels()->Items(0)->SetWidth(120);
  auto* view = OnForm<TListView>(form, "Files");
  view->SetViewStyle(vsReport);
  view->Columns()->Add()->SetCaption("Name");

  const std::string text = WriteComponentToText(&form);
  TForm copy(nullptr);
  ReadComponentFromText(text, &copy);
  auto* list2 = As<TListBox>(copy.FindComponent("Fields"));
  ASSERT_NE(list2, nullptr) << text;
  EXPECT_TRUE(list2->Sorted());
  EXPECT_EQ(list2->Items()->CommaText(), "Priority,Status");
  auto* combo2 = As<TComboBox>(copy.FindComponent("Kind"));
  ASSERT_NE(combo2, nullptr);
  EXPECT_EQ(combo2->Style(), csDropDownList);
  EXPECT_EQ(combo2->Items()->CommaText(), "Low,High");
  auto* pages2 = As<TPageControl>(copy.FindComponent("Pages"));
  ASSERT_NE(pages2, nullptr);
  EXPECT_EQ(pages2->PageCount(), 2);
  EXPECT_EQ(pages2->Tabs()->CommaText(), "General,Fonts");
  EXPECT_EQ(pages2->ActivePageIndex(), 0);
  auto* bar2 = As<TStatusBar>(copy.FindComponent("Bar"));
  ASSERT_NE(bar2, nullptr);
  ASSERT_EQ(bar2->Panels()->Count(), 1);
  EXPECT_EQ(bar2->Panels()->Items(0)->Text(), "Ready");
  EXPECT_EQ(bar2->Panels()->Items(0)->Width(), 120);
  auto* view2 = As<TListView>(copy.FindComponent("Files"));
  ASSERT_NE(view2, nullptr);
  EXPECT_EQ(view2->ViewStyle(), vsReport);
  ASSERT_EQ(view2->Columns()->Count(), 1);
  EXPECT_EQ(view2->Columns()->Items(0)->Caption(), "Name");
}
