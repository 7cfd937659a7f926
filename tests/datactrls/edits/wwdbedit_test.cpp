// The masked data-aware edit: picture typing, date completion on a stopped
// clock, Escape, write-back on exit and post, the exit check.

#include <gtest/gtest.h>

#include <functional>

#include "datactrls/edits/wwdbedit.h"
#include "platform/classlib/controls/clipboard.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/clock.h"
#include "platform/classlib/core/strutils.h"
#include "platform/win32/msgbox.h"
#include "datactrls/edits/edits_fixture.h"

using namespace testing_support;

TEST(wwCompleteDateTimeText, StepsThroughDateAndTime) {
  TFormatSettings fs = FormatSettings;
  fs.ShortDateFormat = "M/d/yy";
  fs.DateSeparator = '/';
  fs.TimeSeparator = ':';
  fs.TimeAMString = "AM";
  fs.TimePMString = "PM";
  const TDateTime now = EncodeDate(1998, 3, 7) + EncodeTime(14, 5, 9, 0);
  struct Case { const char* text; TFieldType type; const char* format; const char* expected; };
  const Case cases[] = {
      {"", ftDate, "M/d/yy", "3/"},
      {"3/", ftDate, "M/d/yy", "3/7/"},
      {"3/7/", ftDate, "M/d/yy", "3/7/98"},
      {"3/7/98", ftDate, "M/d/yy", "3/7/98"},   // complete: nothing more
      {"12", ftDate, "M/d/yy", "12/"},          // a typed part gets its separator
      {"", ftDate, "dd/mm/yyyy", "07/"},        // day first, two digits
      {"07/03/", ftDate, "dd/mm/yyyy", "07/03/1998"},
      {"", ftDate, "yyyy/m/d", "1998/"},
      {"3/7/98", ftDateTime, "M/d/yy", "3/7/98 "},
      {"3/7/98 ", ftDateTime, "M/d/yy", "3/7/98 2:"},
      {"3/7/98 2:", ftDateTime, "M/d/yy", "3/7/98 2:05:"},
      {"3/7/98 2:05:", ftDateTime, "M/d/yy", "3/7/98 2:05:09"},
      {"3/7/98 2:05:09", ftDateTime, "M/d/yy", "3/7/98 2:05:09 PM"},
      {"3/7/98 2:05:09 PM", ftDateTime, "M/d/yy", "3/7/98 2:05:09 PM"},
      {"2", ftTime, "M/d/yy", "2:"},
  };
  for (const Case& c : cases) {
    fs.ShortDateFormat = c.format;
    EXPECT_EQ(wwCompleteDateTimeText(c.text, c.type, now, fs), c.expected) << c.text << " " << c.format;
  }
  fs.TimeAMString.clear();  // a 24-hour clock: no AM/PM, complete after seconds
  EXPECT_EQ(wwCompleteDateTimeText("", ftTime, now, fs), "14:");
  EXPECT_EQ(wwCompleteDateTimeText("14:05:09", ftTime, now, fs), "14:05:09");
}

class DBEditTest : public EditsFixture {};

TEST_F(DBEditTest, SpaceCompletesTheDateFromTheClock) {
  TTestClock clock(EncodeDate(1998, 3, 7) + EncodeTime(9, 30, 0, 0));
  ScopedDateFormat format("M/d/yy");
  auto* e = PlaceEdit<TwwDBEdit>("Born");
  ds->Edit();
  ds->FieldByName("Born")->Clear();
  e->SetFocus();
  const char* expected[] = {"3/", "3/7/", "3/7/98"};
  for (const char* text : expected) {
    Key(e, Qt::Key_Space);
    EXPECT_EQ(e->EditText(), text);
  }
  // In the middle of the text the space is typed as it is.
  e->SetSelStart(2);
  Key(e, Qt::Key_Space);
  EXPECT_EQ(e->EditText(), "3/ 7/98");
}

// The owner's OnKeyPress has every key once, before the edit acts on it: it
// may swallow the space the date completion would take, change a character
// before the picture or the field sees it, or take Escape before the reset.
TEST_F(DBEditTest, OnKeyPressHasEachKeyOnceBeforeTheEditActs) {
  TTestClock clock(EncodeDate(1998, 3, 7));
  ScopedDateFormat format("M/d/yy");
  struct Case {
    const char* field;
    Qt::Key key;
    char32_t swallow, from, to;  // the handler swallows `swallow`, turns `from` into `to`
    const char* before;          // the edit's text before the key
    const char* after;
    int seen;                    // keys the handler had
  } cases[] = {
      {"Born", Qt::Key_Space, U' ', 0, 0, "", "", 1},        // no completion
      {"Born", Qt::Key_Space, 0, 0, 0, "", "3/", 1},         // let through: completed
      {"Code", Qt::Key_A, 0, U'a', U'7', "", "7", 1},        // changed before the field refuses "a"
      {"Count", Qt::Key_X, 0, U'x', U'5', "", "5", 1},
      {"Name", Qt::Key_Escape, 27, 0, 0, "Zed", "Zed", 1},   // the typed text stays
      {"Name", Qt::Key_Escape, 0, 0, 0, "Zed", "Ann", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.key) + " " + c.after);
    ds->First();
    auto* e = PlaceEdit<TwwDBEdit>(c.field);
    int seen = 0;
    e->OnKeyPress = [&](TObject*, char32_t& key) {
      ++seen;
      if (key == c.swallow) key = 0;
      if (key == c.from) key = c.to;
    };
    e->SetFocus();
    e->SelectAll();
    if (*c.before) Type(e, c.before);
    else Key(e, Qt::Key_Delete);
    seen = 0;
    Key(e, c.key);
    EXPECT_EQ(e->EditText(), c.after);
    EXPECT_EQ(seen, c.seen);
    if (ds->State() != dsBrowse) ds->Cancel();
    delete e;
  }
}

TEST_F(DBEditTest, PictureMaskFillsLiteralsAndRefusesWithABeep) {
  ds->PictureMasks()->Add("Code\t##-##\tT\tT");
  auto* e = PlaceEdit<TwwDBEdit>("Code");
  BeepCounter beeps;
  e->SetFocus();
  Type(e, "1234");
  EXPECT_EQ(e->EditText(), "12-34");
  EXPECT_EQ(ds->State(), dsEdit);  // typing put the dataset into edit
  EXPECT_EQ(beeps.beeps, 0);
  Key(e, Qt::Key_A);
  EXPECT_EQ(e->EditText(), "12-34");
  EXPECT_EQ(beeps.beeps, 1);
  ds->Post();  // post asks the edit for its text
  EXPECT_EQ(ds->FieldByName("Code")->AsString(), "12-34");
}

// A mask that takes any number of characters still stops at the field's
// size, typed or pasted, as the edit without a mask does.
TEST_F(DBEditTest, APictureMaskNeverTakesMoreCharactersThanTheFieldHolds) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyz";
  // "*&": any number of letters, in capitals.
  for (const bool masked : {true, false}) {
    SCOPED_TRACE(masked);
    ds->PictureMasks()->Clear();
    if (masked) ds->PictureMasks()->Add("Name\t*&\tT\tT");
    const auto shown = [&](const std::string& text) { return Utf8Copy(masked ? AnsiUpperCase(text) : text, 1, 20); };
    auto* e = PlaceEdit<TwwDBEdit>("Name");
    BeepCounter beeps;
    e->SetFocus();
    e->SelectAll();
    Type(e, letters.c_str());
    EXPECT_EQ(e->EditText(), shown(letters));
    if (masked) {
      EXPECT_EQ(beeps.beeps, 6) << "each letter past the size";
    }
    ds->Post();
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), shown(letters));
    // A paste that would run past the size is cut there too.
    ds->Edit();
    e->SelectAll();
    Clipboard()->SetAsText("émile" + letters);
    Key(e, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(e->EditText(), shown("émile" + letters));
    ds->Cancel();
    delete e;
  }
}

TEST_F(DBEditTest, InvalidPictureTextKeepsTheFocusUnlessInvalidExitIsAllowed) {
  ds->ValidateWithMask = false;  // the exit check alone
  for (const bool bound : {true, false}) {
    SCOPED_TRACE(bound);
    auto* e = bound ? PlaceEdit<TwwDBEdit>("Code") : PlaceUnbound();
    e->Picture()->SetPictureMask("###");
    BeepCounter beeps;
    std::vector<bool> checks;
    e->OnCheckValue = [&](TObject*, bool passes) { checks.push_back(passes); };
    e->SetFocus();
    Type(e, "12");
    Leave();
    EXPECT_TRUE(e->InvalidOnExit());
    EXPECT_EQ(form->ActiveControl(), e);
    EXPECT_GE(beeps.beeps, 1);
    ASSERT_FALSE(checks.empty());
    EXPECT_FALSE(checks.back());
    if (bound) {
      EXPECT_FALSE(e->Picture()->AllowInvalidExit());  // cannot be set on a bound edit
      e->Picture()->SetAllowInvalidExit(true);
      EXPECT_FALSE(e->Picture()->AllowInvalidExit());
      Key(e, Qt::Key_End);
      Key(e, Qt::Key_3);
    } else {
      e->Picture()->SetAllowInvalidExit(true);
    }
    Leave();
    EXPECT_EQ(form->ActiveControl(), other);
    if (bound) {
      EXPECT_EQ(ds->FieldByName("Code")->AsString(), "123");
    }
    EXPECT_EQ(boxes.Count(), 0) << (boxes.Count() ? boxes.Texts().front() : "");
    ds->Cancel();
    delete e;
  }
}

TEST_F(DBEditTest, AValidatingDataSetRefusesInvalidTextOnExit) {
  ds->PictureMasks()->Add("Code\t###\tT\tT");
  auto* e = PlaceEdit<TwwDBEdit>("Code");
  for (const bool handled : {false, true}) {
    SCOPED_TRACE(handled);
    int calls = 0;
    if (handled) ds->OnInvalidValue = [&](TObject*, TField* f) { ++calls; throw EAbort(f->FieldName()); };
    const int before = boxes.Count();
    e->SetFocus();
    e->SelectAll();
    Type(e, "12");
    Leave();
    EXPECT_EQ(form->ActiveControl(), e);  // the focus came back
    EXPECT_EQ(ds->FieldByName("Code")->AsString(), "11-22");
    EXPECT_EQ(calls, handled ? 1 : 0);
    // The error box, once; the handler's silent abort shows none.
    ASSERT_EQ(boxes.Count(), before + (handled ? 0 : 1));
    if (!handled) {
      EXPECT_EQ(boxes.Texts().back(), std::string(SMaskEditErr) + ".");
    }
  }
}

TEST_F(DBEditTest, EscapeResetsAndExitWritesBack) {
  auto* e = PlaceEdit<TwwDBEdit>("Name");
  e->SetFocus();
  Type(e, "Zed");
  EXPECT_EQ(ds->State(), dsEdit);
  Key(e, Qt::Key_Escape);
  EXPECT_EQ(e->EditText(), "Ann");
  EXPECT_EQ(e->SelLength(), 3);
  Type(e, "Bo");
  Leave();
  EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Bo");
  ds->Post();
  ds->Next();
  EXPECT_EQ(e->EditText(), "Cy");
}

TEST_F(DBEditTest, AReadOnlySourceDropsKeysAndTheSpaceBeeps) {
  TTestClock clock(EncodeDate(1998, 3, 7));
  ds->ReadOnly = true;
  auto* name = PlaceEdit<TwwDBEdit>("Name");
  auto* born = PlaceEdit<TwwDBEdit>("Born", 30);
  BeepCounter beeps;
  name->SetFocus();
  Type(name, "xy");
  EXPECT_EQ(name->EditText(), "Ann");
  EXPECT_EQ(ds->State(), dsBrowse);
  born->SetFocus();
  born->SelectAll();
  Key(born, Qt::Key_Space);
  EXPECT_EQ(beeps.beeps, 1);
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DBEditTest, TheFieldRefusesCharactersItCannotHold) {
  auto* e = PlaceEdit<TwwDBEdit>("Count");
  BeepCounter beeps;
  e->SetFocus();
  e->SelectAll();
  Type(e, "4x2");
  EXPECT_EQ(e->EditText(), "42");
  EXPECT_EQ(beeps.beeps, 1);
}

TEST_F(DBEditTest, RightAlignedFieldsShowAtTheRightWhileUnfocused) {
  auto* e = PlaceEdit<TwwDBEdit>("Count");
  ds->Edit();
  ds->FieldByName("Count")->SetAsInteger(8888);
  ds->Post();
  const auto inkIn = [&](int from, int to) {
    auto face = Snapshot(e);
    for (int x = from; x < to; ++x)
      for (int y = 2; y < e->Height() - 2; ++y)
        if (face->Canvas()->Pixels(x, y) == clBlack) return true;
    return false;
  };
  EXPECT_FALSE(inkIn(2, e->Width() / 2));
  EXPECT_TRUE(inkIn(e->Width() / 2, e->Width() - 2));
}

TEST_F(DBEditTest, AFailedUpdateKeepsTheTextModifiedAndTheFocus) {
  auto* e = PlaceEdit<TwwDBEdit>("Count");
  ds->FieldByName("Count")->OnValidate = [](TField*) { throw EDatabaseError("too big"); };
  e->SetFocus();
  e->SelectAll();
  Type(e, "99");
  Leave();
  EXPECT_EQ(boxes.Texts().back(), "too big.");
  EXPECT_EQ(form->ActiveControl(), e);
  EXPECT_TRUE(e->Modified());
  EXPECT_THROW(e->UpdateRecordNow(), EDatabaseError);
  EXPECT_TRUE(e->Modified());
  EXPECT_EQ(e->SelLength(), 2);
}

// Text its field cannot take ("12/" for a date) is the edit's own to tell,
// whatever asks for it: leaving by a key or a click, a post, a move to
// another record. It is told once, plainly (never to the program's own error
// handler); the edit keeps the focus and the text, selected; nothing is
// written and the record stays where it was.
TEST_F(DBEditTest, TextTheFieldRefusesIsToldOnceByTheEditWhoeverAsksForIt) {
  auto* e = PlaceEdit<TwwDBEdit>("Born");
  std::vector<std::string> handled;
  Application->OnException = [&](TObject*, const Exception& x) { handled.push_back(x.Message()); };
  struct Restore {
    ~Restore() { Application->OnException = nullptr; }
  } restore;
  const struct {
    const char* name;
    std::function<void()> ask;
  } asking[] = {{"leaving", [&] { Leave(); }},
                {"a click elsewhere", [&] { WindowClick(other, 5, 5); }},
                {"a post", [&] { EXPECT_THROW(ds->Post(), EAbort); }},
                {"a move to the next record", [&] { EXPECT_THROW(ds->Next(), EAbort); }}};
  for (const auto& [name, ask] : asking) {
    SCOPED_TRACE(name);
    e->SetFocus();
    e->SelectAll();
    Type(e, "12/");
    const size_t before = boxes.Texts().size();
    handled.clear();
    ask();
    Pump();
    const std::vector<std::string> texts = boxes.Texts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + long(before), texts.end()),
              std::vector<std::string>{"'12/' is not a valid date and time."});
    EXPECT_EQ(handled, std::vector<std::string>{});
    EXPECT_EQ(form->ActiveControl(), e);
    EXPECT_EQ(e->SelText(), "12/");
    EXPECT_TRUE(ds->FieldByName("Born")->IsNull());
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Ann");
    ds->Cancel();
  }
}

// Entering shows the field's edit text in place of its display text; the whole
// of what is then shown is selected, so the first key typed replaces it.
TEST_F(DBEditTest, EnteringSelectsTheEditTextShownOnEntry) {
  auto* e = PlaceEdit<TwwDBEdit>("Count");
  PlaceEdit<TwwDBEdit>("Name", 30)->SetFocus();
  ds->Edit();
  ds->FieldByName("Count")->SetAsInteger(1234);
  ds->Post();
  ds->FieldByName("Count")->SetDisplayFormat("#,##0 pcs");
  ds->FieldByName("Count")->SetEditFormat("0");
  ASSERT_EQ(e->EditText(), "1,234 pcs");
  e->SetFocus();
  EXPECT_EQ(e->EditText(), "1234");
  EXPECT_EQ(e->SelStart(), 0);
  EXPECT_EQ(e->SelLength(), 4);
  Type(e, "7");
  EXPECT_EQ(e->EditText(), "7");
}
