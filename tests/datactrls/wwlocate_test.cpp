// Finding a record by one field's value over a real engine table: the kinds of
// match, First and Next, long memo texts, bad input, and the locate dialog
// answered through the responder.

#include <gtest/gtest.h>

#include <string>

#include "bde/library_fixture.h"
#include "datactrls/wwlocate.h"
#include "datactrls/wwstr.h"
#include "datactrls/wwtadatasets.h"
#include "dbengine/accbinding_fixture.h"
#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/comboboxes.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/classlib/stdctrls/stdctrls.h"

namespace {

// Far beyond any fixed text buffer: a memo compared in part would miss it.
const std::string kLongNotes = std::string(70000, 'x') + "needle";

class Locate : public accesstest::BindingFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    db.Execute("INSERT INTO People (Name, Age, Score) VALUES ('Anna', 30, 1.5)");
    db.Execute("INSERT INTO People (Name, Age, Score, Notes) VALUES ('Bert', 25, 2, 'short')");
    db.Execute("INSERT INTO People (Name, Age, Score) VALUES ('Carl', 30, 2.25)");
    db.Execute("INSERT INTO People (Name, Age, Notes) VALUES ('Bernd', 40, '" + kLongNotes + "')");
  }
  void SetUp() override {
    BindingFixture::SetUp();
    Application->Initialize();
    table = Make<TwwtaTable>();
    table->SetTableName("People");
    table->Open();
    source.SetDataSet(table.get());
  }
  void TearDown() override {
    source.SetDataSet(nullptr);
    table.reset();
    BindingFixture::TearDown();
  }
  std::string Current() { return table->FieldByName("Name")->AsString(); }

  std::unique_ptr<TwwtaTable> table;
  TDataSource source;
};

}  // namespace

TEST(wwMatchText, KindsOfMatch) {
  struct Case { const char* text; const char* value; TwwLocateMatchType type; bool cs; bool expected; };
  const Case cases[] = {
      {"Anna", "ANNA", mtExactMatch, false, true},   {"Anna", "ANNA", mtExactMatch, true, false},
      {"Anna", "ANN", mtExactMatch, false, false},   {"", "", mtExactMatch, false, true},
      {"Anna", "AN", mtPartialMatchStart, false, true}, {"Anna", "", mtPartialMatchStart, false, true},
      {"Anna", "NN", mtPartialMatchStart, false, false}, {"Anna", "NN", mtPartialMatchAny, false, true},
      {"Anna", "nn", mtPartialMatchAny, true, true},  {"Anna", "NN", mtPartialMatchAny, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wwMatchText(c.text, c.value, c.type, c.cs), c.expected) << c.text << "/" << c.value;
}

// The caller upper-cases the value as the match upper-cases the field's text,
// both folded first: every case pair matches.
TEST(wwMatchText, EveryCasePairMatchesIgnoringCase) {
  struct Case { const char* text; const char* value; TwwLocateMatchType type; bool cs; bool expected; };
  const Case cases[] = {
      {"\u212Aelvin", "kelvin", mtExactMatch, false, true},  {"\u212Aelvin", "kelvin", mtExactMatch, true, false},
      {"STRAẞE", "straße", mtExactMatch, false, true},         {"ǅemal", "ǆE", mtPartialMatchStart, false, true},
      {"Thành Ơn", "ơn", mtPartialMatchAny, false, true},      {"Ⴀა", "ⴀᲐ", mtExactMatch, false, true},
      {"Ꭰꭰ", "ꭰᎠ", mtExactMatch, false, true},                {"ſun", "S", mtPartialMatchStart, false, true},
      {"Ơn Əli", "ơN əLI", mtExactMatch, false, true},          {"ⱥɐ", "ȺⱯ", mtExactMatch, false, true},
      {"ıi", "II", mtExactMatch, false, false},                 {"ıi", "ıI", mtExactMatch, false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wwMatchText(c.text, c.cs ? c.value : AnsiUpperCaseFolded(c.value), c.type, c.cs), c.expected)
        << c.text << "/" << c.value;
}

TEST_F(Locate, ScansTheEngineTableAndRestoresThePositionWhenNothingMatches) {
  struct Step { bool first; const char* field; const char* value; TwwLocateMatchType type; bool cs;
                bool found; const char* at; };
  const Step steps[] = {
      {true, "Name", "anna", mtExactMatch, false, true, "Anna"},
      {true, "Name", "be", mtPartialMatchStart, false, true, "Bert"},
      {false, "Name", "be", mtPartialMatchStart, false, true, "Bernd"},
      {false, "Name", "be", mtPartialMatchStart, false, false, "Bernd"},  // no more: stays
      {true, "Name", "ar", mtPartialMatchAny, false, true, "Carl"},
      {true, "Name", "carl", mtExactMatch, true, false, "Carl"},
      {true, "Score", "2.25", mtExactMatch, false, true, "Carl"},        // numbers compared
      {true, "Score", "2", mtExactMatch, false, true, "Bert"},
      {true, "Notes", "NEEDLE", mtPartialMatchAny, false, true, "Bernd"},  // the whole memo
      {true, "Notes", "", mtExactMatch, false, true, "Anna"},              // an empty text
      {false, "Name", "", mtPartialMatchStart, false, true, "Bert"},       // the first tried
  };
  for (const Step& s : steps) {
    EXPECT_EQ(wwLocateValue(s.first, table.get(), s.field, s.value, s.type, s.cs), s.found)
        << s.field << " " << s.value;
    EXPECT_EQ(Current(), s.at) << s.field << " " << s.value;
  }
}

// A memo holding RTF is searched for the words a reader sees: its markup
// matches nothing, a word split by escapes or formatting is found whole.
TEST_F(Locate, ARichTextMemoIsSearchedForItsTextNotItsMarkup) {
  table->Append();
  table->FieldByName("Name")->SetAsString("Rita");
  table->FieldByName("Notes")->SetAsString("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Path \\{x\\} caf\\'e9 \\b bold\\b0 er\\par}");
  table->Post();
  const std::pair<const char*, bool> cases[] = {
      {"caf\u00e9", true}, {"{x}", true}, {"bolder", true}, {"fonttbl", false}, {"rtf1", false}, {"\\b", false}};
  for (const auto& [value, found] : cases) {
    EXPECT_EQ(wwLocateValue(true, table.get(), "Notes", value, mtPartialMatchAny, false), found) << value;
    if (found) {
      EXPECT_EQ(Current(), "Rita") << value;
    }
  }
}

TEST_F(Locate, AMissingFieldOrAnUnconvertibleValueFindsNothing) {
  TDialogResponderScope boxes([](TDialogRequest&) { return mrOk; });
  table->Last();
  EXPECT_FALSE(wwLocateValue(true, table.get(), "Nope", "x", mtExactMatch, false));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Field Nope not found."}));
  EXPECT_FALSE(wwLocateValue(true, table.get(), "Score", "abc", mtExactMatch, false));
  EXPECT_EQ(Current(), "Bernd");
  // An edited record is posted before the search.
  table->First();
  table->Edit();
  table->FieldByName("Name")->SetAsString("Anne");
  EXPECT_TRUE(wwLocateValue(true, table.get(), "Name", "anne", mtExactMatch, false));
  EXPECT_EQ(table->State(), dsBrowse);
}

TEST_F(Locate, TheDialogSearchesWithTheUsersChoices) {
  table->FieldByName("Name")->SetDisplayLabel("Full~Name");
  table->FieldByName("Age")->SetVisible(false);
  TwwLocateDialog locate(nullptr);
  locate.SetDataSource(&source);
  locate.FieldSelection = fsVisibleFields;
  std::vector<std::string> listed;
  bool clickNext = false;
  bool nextDefaultInList = true;
  TDialogResponderScope responder([&](TDialogRequest& r) -> TModalResult {
    if (r.Kind != TDialogKind::Form) return mrOk;
    auto* d = static_cast<TwwLocateDlg*>(r.Dialog);
    listed.clear();
    for (int i = 0; i < d->FieldNameComboBox->Items()->Count(); ++i)
      listed.push_back(d->FieldNameComboBox->Items()->Strings(i));
    if (!clickNext) {
      d->FieldNameComboBox->SetFocus();
      nextDefaultInList = d->NextButton->Default();
      d->SearchValue->SetFocus();
      d->FieldNameComboBox->SetItemIndex(d->FieldNameComboBox->Items()->IndexOf("Full Name"));
      d->SearchValue->SetText("be");
      d->FirstButton->Click();
    } else {
      d->NextButton->Click();
      d->NextButton->Click();  // past the last match: a box, the form stays
    }
    return d->ModalResult() == mrNone ? mrCancel : d->ModalResult();
  });
  EXPECT_TRUE(locate.Execute());
  EXPECT_EQ(locate.SearchField, "Name");  // the label mapped back
  EXPECT_EQ(locate.FieldValue, "be");
  EXPECT_EQ(Current(), "Bert");
  EXPECT_FALSE(nextDefaultInList);  // Enter in the field list does not search
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "Age"), 0);  // hidden
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "Photo"), 0);  // not searchable
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "Full Name"), 1);
  clickNext = true;
  EXPECT_TRUE(locate.Execute());  // the first Next finds Bernd and closes
  EXPECT_EQ(Current(), "Bernd");
  EXPECT_FALSE(locate.Execute());
  EXPECT_EQ(responder.Texts().back(), "No more matches found");
  EXPECT_EQ(Current(), "Bernd");
  // Without an active dataset the dialog does not open.
  table->Close();
  EXPECT_FALSE(locate.Execute());
  EXPECT_EQ(responder.Texts().back(), "DataSource does not reference an active DataSet");
}

// ---- The key search of the class library's table -------------------------------------

namespace {

class LocateByKey : public bdetest::LibraryFixture {
 protected:
  void Populate(dao::TDatabaseCore& db) override {
    for (int i = 0; i < 40; ++i)
      db.Execute("INSERT INTO People (Name, Age) VALUES ('P" + std::to_string(100 + i) + "', " + std::to_string(i) + ")");
  }
  void SetUp() override {
    LibraryFixture::SetUp();
    table = Make<TTable>();
    table->SetTableName("People");
    table->SetIndexName("ByName");
    table->Open();
    table->AfterScroll = [this](TDataSet*) { ++scrolls; };
  }
  // Whether the index compares names without regard to case.
  bool CaseInsensitiveIndex() {
    table->IndexDefs().Update();
    return table->IndexDefs().Find("ByName")->Options().Contains(ixCaseInsensitive);
  }
  TTable* table = nullptr;
  int scrolls = 0;
};

}  // namespace

TEST_F(LocateByKey, SeeksWhenTheIndexStartsWithTheField) {
  const bool cs = !CaseInsensitiveIndex();  // the sensitivity the index serves
  struct Step { bool first; const char* field; const char* value; TwwLocateMatchType type; bool found;
                const char* at; int seeks; };  // 1 seeks, 0 reads on, -1 either
  const Step steps[] = {
      {true, "Name", "P138", mtExactMatch, true, "P138", 1},
      {true, "Name", "P13", mtPartialMatchStart, true, "P130", 1},
      {false, "Name", "P13", mtPartialMatchStart, true, "P131", -1},  // the current one matches: read on
      {true, "Name", "P999", mtExactMatch, false, "P131", 1},          // not found: unchanged
      {true, "Name", "Q", mtPartialMatchStart, false, "P131", 1},
      {false, "Name", "P139", mtExactMatch, true, "P139", 1},         // ahead of the current one
      {false, "Name", "P120", mtExactMatch, false, "P139", -1},       // behind it: no more
      {true, "Name", "13", mtPartialMatchAny, true, "P113", 0},       // anywhere: a scan
      {true, "Age", "38", mtExactMatch, true, "P138", 0},             // not the index's field
  };
  for (const Step& s : steps) {
    scrolls = 0;
    EXPECT_EQ(wwLocateValue(s.first, table, s.field, s.value, s.type, cs), s.found) << s.value;
    EXPECT_EQ(table->FieldByName("Name")->AsString(), s.at) << s.value;
    // A seek moves at most twice; a scan reads record by record.
    if (s.seeks == 1) { EXPECT_LE(scrolls, 2) << s.value; }
    if (s.seeks == 0) { EXPECT_GT(scrolls, 2) << s.value; }
  }
  // The other sensitivity to case is scanned.
  scrolls = 0;
  EXPECT_TRUE(wwLocateValue(true, table, "Name", "P138", mtExactMatch, !cs));
  EXPECT_GT(scrolls, 2);
}
