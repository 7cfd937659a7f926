#pragma once
// A shown form over an in-memory dataset of three people, for the tests of
// the library's edits and combos.

#include <gtest/gtest.h>

#include <memory>

#include "datactrls/edits/wwdbedit.h"
#include "datactrls/settingsdataset.h"
#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/dialogs/dialogs.h"
#include "platform/classlib/stdctrls/edits.h"
#include "platform/win32/msgbox.h"

namespace testing_support {

inline QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy() ? ClientOf(c)->focusProxy() : ClientOf(c); }
inline void Type(TWinControl* c, const char* keys) { QTest::keyClicks(Native(c), keys); }
inline void Key(TWinControl* c, Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
  QTest::keyClick(Native(c), key, m);
}

// Counts beeps while alive.
struct BeepCounter {
  int beeps = 0;
  TBeepSink previous = SetBeepSink([this](UINT) { ++beeps; });
  ~BeepCounter() { SetBeepSink(previous); }
};

// The short date format for a scope.
struct ScopedDateFormat {
  std::string previous = FormatSettings.ShortDateFormat;
  char separator = FormatSettings.DateSeparator;
  explicit ScopedDateFormat(const std::string& format) {
    FormatSettings.ShortDateFormat = format;
    FormatSettings.DateSeparator = '/';
  }
  ~ScopedDateFormat() {
    FormatSettings.ShortDateFormat = previous;
    FormatSettings.DateSeparator = separator;
  }
};

class EditsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    form = ShownForm(300, 200);
    ds = std::make_unique<TSettingsDataSet>();
    ds->FieldDefs().Add("Name", ftString, 20);
    ds->FieldDefs().Add("Code", ftString, 10);
    ds->FieldDefs().Add("Born", ftDate);
    ds->FieldDefs().Add("Count", ftInteger);
    ds->FieldDefs().Add("Status", ftString, 5);
    ds->Open();
    ds->AppendRecord({Variant("Ann"), Variant("11-22"), Variant(), Variant(1), Variant("3")});
    ds->AppendRecord({Variant("Cy"), Variant(""), Variant(), Variant(2), Variant("42")});
    ds->First();
    source = std::make_unique<TDataSource>();
    source->SetDataSet(ds.get());
    other = new TEdit(form.get());
    other->SetTop(150);
    other->SetParent(form.get());
  }
  void TearDown() override {
    form.reset();
    source.reset();
    ds.reset();
  }

  template <class E = TwwDBEdit>
  E* PlaceUnbound(int top = 60) {
    auto* e = new E(form.get());
    e->SetBounds(0, top, 150, 21);
    e->SetParent(form.get());
    return e;
  }
  template <class E>
  E* PlaceEdit(const std::string& field, int top = 0) {
    E* e = PlaceUnbound<E>(top);
    e->SetDataSource(source.get());
    e->SetDataField(field);
    return e;
  }

  // Every box is answered with its first button and its text kept.
  TDialogResponderScope boxes{[](TDialogRequest& r) { return r.Buttons.empty() ? mrOk : r.Buttons.front(); }};
  // Clicks the middle of a combo's button.
  template <class C>
  void ClickButton(C* c) {
    TWinControl* box = c->ButtonContainer();
    Click(box, box->Width() / 2, box->Height() / 2);
    Pump();
  }

  // Moves the focus away, which writes an edit's text back.
  void Leave() {
    other->SetFocus();
    Pump();
  }

  std::unique_ptr<TForm> form;
  std::unique_ptr<TSettingsDataSet> ds;
  std::unique_ptr<TDataSource> source;
  TEdit* other = nullptr;
};

}  // namespace testing_support
