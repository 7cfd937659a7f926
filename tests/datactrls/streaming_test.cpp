// The library's texts and field settings in form definitions.
#include <gtest/gtest.h>

#include "datactrls/wwintl.h"
#include "platform/classlib/core/filer.h"

class TSettingsForm : public TComponent {
  DECLARE_CLASS(TSettingsForm, TComponent)
 public:
  explicit TSettingsForm(TComponent* owner = nullptr) : TComponent(owner) {}
};
IMPLEMENT_CLASS(TSettingsForm, TComponent)

namespace {

TEST(FormDefinitions, AConnectedTextObjectInAFormChangesTheLibrarysTexts) {
  const char* text =
      "object Form1: TSettingsForm\n"
      "  object Texts: TwwIntl\n"
      "    Connected = True\n"
      "    UserMessages.LocateNoMatches = 'Keine Treffer'\n"
      "    BtnOKCaption = '&Ja'\n"
      "  end\n"
      "end\n";
  {
    TSettingsForm form;
    ReadComponentFromText(text, &form);
    ASSERT_NE(form.FindComponent("Texts"), nullptr);
    EXPECT_EQ(wwGlobalIntl()->UserMessages()->LocateNoMatches, "Keine Treffer");
    EXPECT_EQ(wwGlobalIntl()->BtnOKCaption, "&Ja");
  }
  // The form is gone; what it copied stays.
  EXPECT_EQ(wwGlobalIntl()->UserMessages()->LocateNoMatches, "Keine Treffer");
  delete wwGlobalIntl();
}

TEST(FormDefinitions, ChangedTextsAreWrittenAndReadBack) {
  TSettingsForm form;
  form.SetName("Form1");
  auto* texts = new TwwIntl(&form);
  texts->SetName("Texts");
  texts->RichEdit()->MenuLabels()->FileCaption = "&Datei";
  std::string written = WriteComponentToText(&form);
  EXPECT_NE(written.find("RichEdit.MenuLabels.FileCaption = '&Datei'"), std::string::npos)
      << written;
  EXPECT_EQ(written.find("EditCaption"), std::string::npos) << "defaults are not written";

  TSettingsForm copy;
  ReadComponentFromText(written, &copy);
  auto* read = As<TwwIntl>(copy.FindComponent("Texts"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->RichEdit()->MenuLabels()->FileCaption, "&Datei");
  EXPECT_EQ(wwGlobalIntl()->RichEdit()->MenuLabels()->FileCaption, "&File");  // not connected
}

}  // namespace
