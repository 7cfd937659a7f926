// The library's texts: defaults, published groups and the connected component.
#include <gtest/gtest.h>

#include "datactrls/wwintl.h"
#include "platform/classlib/core/exceptions.h"

namespace {

// Puts the global object back to its defaults after each test.
class IntlTest : public ::testing::Test {
 protected:
  void TearDown() override { delete wwGlobalIntl(); }
};

TEST_F(IntlTest, DefaultTexts) {
  TwwIntl* g = wwGlobalIntl();
  EXPECT_EQ(g->UserMessages()->PictureValidateError, "Invalid characters. Field : ");
  EXPECT_EQ(g->UserMessages()->LocateNoMatches, "No matches found");
  EXPECT_EQ(g->UserMessages()->MemoChangesWarning,
            "Changes have been made!  Are you sure you wish to cancel?");
  EXPECT_EQ(g->LocateDialog()->MatchAnyLabel, "Partial Match &Anywhere");
  EXPECT_EQ(g->FilterDialog()->MatchAnyLabel, "Partial Match Any&where");
  EXPECT_EQ(g->SearchDialog()->StatusRecLabel, "Rec #");
  EXPECT_EQ(g->RichEdit()->UnderlineButtonHint,
            "Underline | Formats the selection with a continuous underline (toggle)");
  EXPECT_EQ(g->RichEdit()->MenuLabels()->SelectallCaption, "Select A&ll");
  EXPECT_EQ(g->RichEdit()->PopupMenuLabels()->ParagraphCaption, "P&aragraph");
  EXPECT_EQ(g->RichEdit()->ParagraphDialog()->FirstLineEditHint,
            "First Line of Paragraph Indentation");
  EXPECT_EQ(g->RichEdit()->TabDialog()->TabGroupBoxCaption, "&Tab Stop Position");
  EXPECT_EQ(g->BtnOKCaption, "&OK");
  EXPECT_EQ(g->BtnCancelCaption, "Cancel");
  EXPECT_FALSE(g->OKCancelBitmapped);
  EXPECT_TRUE(g->UseLocateMethodForSearch);
  EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleAuto);
  EXPECT_TRUE(g->DialogFontStyle.Empty());
  EXPECT_FALSE(g->Connected());
}

TEST_F(IntlTest, TextsAreReachedByPublishedName) {
  TwwIntl intl(nullptr);
  TObject* messages = GetObjectProp(&intl, "UserMessages");
  ASSERT_NE(messages, nullptr);
  EXPECT_EQ(GetStrProp(messages, "LocateNoMoreMatches"), "No more matches found");
  SetStrProp(messages, "LocateNoMoreMatches", "Nichts mehr");
  EXPECT_EQ(intl.UserMessages()->LocateNoMoreMatches, "Nichts mehr");

  TObject* rich = GetObjectProp(&intl, "RichEdit");
  TObject* menu = GetObjectProp(rich, "MenuLabels");
  EXPECT_EQ(GetStrProp(menu, "HelpCaption"), "Help");
  EXPECT_EQ(GetStrProp(&intl, "VersionWendlow"), "3.01");
  SetStrProp(&intl, "VersionWendlow", "9.99");
  EXPECT_EQ(intl.VersionWendlow(), "3.01");
  EXPECT_EQ(GetEnumProp(&intl, "CheckBoxInGridStyle"), "cbStyleAuto");
}

TEST_F(IntlTest, ConnectingCopiesTextsIntoTheGlobalObject) {
  TwwIntl placed(nullptr);
  placed.UserMessages()->LocateNoMatches = "Nothing like that";
  placed.RichEdit()->TabDialog()->SetButtonHint = "Neuer Tab";
  placed.BtnOKCaption = "&Ja";
  placed.OKCancelBitmapped = true;
  placed.DialogFontStyle = TFontStyles{fsBold};
  placed.UseLocateMethodForSearch = false;
  placed.SetCheckBoxInGridStyle(cbStyleXmark);
  // Unconnected, the component leaves the global object alone.
  EXPECT_EQ(wwGlobalIntl()->UserMessages()->LocateNoMatches, "No matches found");
  EXPECT_EQ(wwGlobalIntl()->CheckBoxInGridStyle(), cbStyleAuto);

  placed.SetConnected(true);
  TwwIntl* g = wwGlobalIntl();
  EXPECT_EQ(g->UserMessages()->LocateNoMatches, "Nothing like that");
  EXPECT_EQ(g->RichEdit()->TabDialog()->SetButtonHint, "Neuer Tab");
  EXPECT_EQ(g->BtnOKCaption, "&Ja");
  EXPECT_TRUE(g->OKCancelBitmapped);
  EXPECT_TRUE(g->DialogFontStyle.Contains(fsBold));
  EXPECT_FALSE(g->UseLocateMethodForSearch);
  EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleXmark);

  // A connected component hands a new grid style on at once.
  placed.SetCheckBoxInGridStyle(cbStyleCheckmark);
  EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleCheckmark);
  // Freeing it keeps what it copied.
  placed.SetConnected(false);
  placed.SetCheckBoxInGridStyle(cbStyleAuto);
  EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleCheckmark);
}

// A text component as a form's reader leaves it: properties set, then Loaded.
class TLoadedIntl : public TwwIntl {
 public:
  using TwwIntl::TwwIntl;
  void FinishLoading() { Loaded(); }
};

TEST_F(IntlTest, AConnectedComponentCopiesAgainWhenItsFormHasLoaded) {
  TLoadedIntl placed(nullptr);
  placed.SetConnected(true);  // read before the texts in the form
  placed.UserMessages()->LocateNoMatches = "Keine Treffer";
  EXPECT_EQ(wwGlobalIntl()->UserMessages()->LocateNoMatches, "No matches found");
  placed.FinishLoading();
  EXPECT_EQ(wwGlobalIntl()->UserMessages()->LocateNoMatches, "Keine Treffer");

  TLoadedIntl unconnected(nullptr);
  unconnected.UserMessages()->LocateNoMatches = "other";
  unconnected.FinishLoading();
  EXPECT_EQ(wwGlobalIntl()->UserMessages()->LocateNoMatches, "Keine Treffer");
}

TEST_F(IntlTest, TheGlobalObjectDoesNotCopyOntoItself) {
  TwwIntl* g = wwGlobalIntl();
  g->UserMessages()->LocateNoMatches = "changed";
  g->SetConnected(true);
  EXPECT_EQ(g->UserMessages()->LocateNoMatches, "changed");
  g->SetCheckBoxInGridStyle(cbStyleXmark);
  EXPECT_EQ(wwGlobalIntl(), g);
}

TEST_F(IntlTest, DestroyingTheGlobalObjectClearsTheReference) {
  TwwIntl* g = wwGlobalIntl();
  g->UserMessages()->LocateNoMatches = "changed";
  delete g;
  TwwIntl* fresh = wwGlobalIntl();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->UserMessages()->LocateNoMatches, "No matches found");
}

TEST_F(IntlTest, GroupsAssignTheirTexts) {
  TwwIntl a(nullptr), b(nullptr);
  a.RichEdit()->CAPLockCaption = "MAJ";
  a.RichEdit()->PopupMenuLabels()->BoldCaption = "&Gras";
  b.SetRichEdit(a.RichEdit());
  EXPECT_EQ(b.RichEdit()->CAPLockCaption, "MAJ");
  EXPECT_EQ(b.RichEdit()->PopupMenuLabels()->BoldCaption, "&Gras");
  EXPECT_NE(b.RichEdit(), a.RichEdit());  // copied, not shared
  EXPECT_THROW(b.UserMessages()->Assign(a.SearchDialog()), EConvertError);
}

}  // namespace
