// The rich edit on a shown form, driven with real keys and through its properties.
#include "platform/classlib/richedit/richedit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "platform/classlib/controls/control_helpers.h"
#include "platform/classlib/core/streams.h"
#include "platform/classlib/printers/printers.h"

using namespace testing_support;

namespace {

QWidget* Native(TWinControl* c) { return ClientOf(c)->focusProxy(); }

TRichEdit* Place(TForm* form) {
  auto* e = new TRichEdit(form);
  e->SetBounds(0, 0, 180, 120);
  e->SetParent(form);
  return e;
}

TRtfCharFormat Arial(int halfPoints = 20, TFontStyles style = {}) {
  TRtfCharFormat f;
  f.FontName = "Arial";
  f.HalfPoints = halfPoints;
  f.Style = style;
  return f;
}

TRtfCharFormat Locked() {
  TRtfCharFormat f = Arial();
  f.Protected = true;
  return f;
}

// A document with every attribute of the subset.
TRtfDocument EveryAttribute() {
  TRtfCharFormat red = Arial(28, {fsBold, fsItalic});
  red.Color = clRed;
  TRtfCharFormat mono = Arial(16, {fsUnderline, fsStrikeOut});
  mono.FontName = "Courier New";
  mono.Pitch = fpFixed;
  mono.Charset = ANSI_CHARSET;
  mono.Highlight = clYellow;
  TRtfParaFormat centred{TRtfAlignment::Center, 360, 720, 1440, false, {}};
  TRtfParaFormat bullets{TRtfAlignment::Left, -360, 720, 0, true, {1440, 2880}};
  TRtfParaFormat right{TRtfAlignment::Right, 0, 0, 0, false, {}};
  return TRtfDocument{{{centred, {{"Title ", red}, {"code\t\xC3\xA9", mono}}},
                       {bullets, {{"first item", Arial()}}},
                       {bullets, {{"second item", Locked()}}},
                       {right, {{"line\xE2\x80\xA8" "break", Arial(24)}}}}};
}

std::string Save(TRichEdit* e) {
  TMemoryStream stream;
  e->Lines()->SaveToStream(&stream);
  return std::string(static_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

void Load(TRichEdit* e, const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  stream.SetPosition(0);
  e->Lines()->LoadFromStream(&stream);
}

// Every test works on a rich edit placed on a shown form.
class RichEditTest : public ::testing::Test {
 protected:
  std::unique_ptr<TForm> form_ = ShownForm();
  TRichEdit* e = Place(form_.get());
};

}  // namespace

TEST_F(RichEditTest, RtfRoundTripsThroughTheControlWithEdits) {
  const TRtfDocument original = EveryAttribute();
  Load(e, RtfWrite(original));
  EXPECT_FALSE(e->Modified());
  EXPECT_EQ(RtfRead(Save(e)), original);
  // Typing inside the second paragraph takes that run's look; the rest stays.
  e->SetFocus();
  e->SetSelStart(e->FindText("item", 0, -1, {}));
  QTest::keyClicks(Native(e), "new ");
  TRtfDocument expected = original;
  expected.Paragraphs[1].Runs[0].Text = "first new item";
  EXPECT_EQ(RtfWrite(RtfRead(Save(e))), RtfWrite(expected));
  EXPECT_TRUE(e->Modified());
  // A window made anew keeps the formatting.
  e->SetWordWrap(false);
  EXPECT_EQ(RtfWrite(RtfRead(Save(e))), RtfWrite(expected));
}

TEST_F(RichEditTest, AttributeChangesOnSelections) {
  struct Case {
    const char* what;
    std::function<void(TTextAttributes*)> set;
    std::function<bool(const TRtfCharFormat&)> changed;
  };
  const Case cases[] = {
      {"bold", [](TTextAttributes* a) { a->SetStyle({fsBold}); },
       [](const TRtfCharFormat& f) { return f.Style == TFontStyles{fsBold}; }},
      {"name", [](TTextAttributes* a) { a->SetName("Times New Roman"); },
       [](const TRtfCharFormat& f) { return f.FontName == "Times New Roman"; }},
      {"size", [](TTextAttributes* a) { a->SetSize(15); },
       [](const TRtfCharFormat& f) { return f.HalfPoints == 30; }},
      {"height", [](TTextAttributes* a) { a->SetHeight(-16); },
       [](const TRtfCharFormat& f) { return f.HalfPoints == 24; }},
      {"colour", [](TTextAttributes* a) { a->SetColor(clBlue); },
       [](const TRtfCharFormat& f) { return f.Color == clBlue; }},
      {"protected", [](TTextAttributes* a) { a->SetProtected(true); },
       [](const TRtfCharFormat& f) { return f.Protected; }},
      {"pitch", [](TTextAttributes* a) { a->SetPitch(fpFixed); },
       [](const TRtfCharFormat& f) { return f.Pitch == fpFixed; }},
      {"charset", [](TTextAttributes* a) { a->SetCharset(SYMBOL_CHARSET); },
       [](const TRtfCharFormat& f) { return f.Charset == SYMBOL_CHARSET; }},
      {"colour back to the editor's", [](TTextAttributes* a) {
         a->SetColor(clRed);
         a->SetColor(clWindowText);
         a->SetStyle({fsUnderline});
       }, [](const TRtfCharFormat& f) { return f.Color == clDefault && f.Style == TFontStyles{fsUnderline}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(e, RtfWrite(TRtfDocument{{{{}, {{"abcdefgh", Arial()}}}}}));
    e->SetSelStart(2);
    e->SetSelLength(3);
    c.set(e->SelAttributes());
    const TRtfDocument d = e->Document();
    ASSERT_EQ(d.Paragraphs[0].Runs.size(), 3u);
    EXPECT_EQ(d.Paragraphs[0].Runs[1].Text, "cde");
    EXPECT_TRUE(c.changed(d.Paragraphs[0].Runs[1].Format));
    EXPECT_EQ(d.Paragraphs[0].Runs[0].Format, Arial());
    EXPECT_EQ(d.Paragraphs[0].Runs[2].Format, Arial());
  }
  // Reading back: the first character's look; consistency over the whole selection.
  e->SetSelStart(2);
  e->SetSelLength(3);
  e->SelAttributes()->SetName("Courier New");
  e->SetSelStart(1);
  e->SetSelLength(3);
  EXPECT_EQ(e->SelAttributes()->Name(), "Arial");
  EXPECT_EQ(e->SelAttributes()->Size(), 10);
  const TConsistentAttributes consistent = e->SelAttributes()->ConsistentAttributes();
  EXPECT_FALSE(consistent.Contains(caFace));
  EXPECT_TRUE(consistent.Contains(caBold));
  // At a bare caret the attributes are those typed next.
  e->SetSelStart(8);
  e->SelAttributes()->SetStyle({fsItalic});
  e->SetFocus();
  QTest::keyClicks(Native(e), "Z");
  EXPECT_EQ(e->Document().Paragraphs[0].Runs.back().Text, "Z");
  EXPECT_EQ(e->Document().Paragraphs[0].Runs.back().Format.Style, TFontStyles{fsItalic});
  // Default attributes change the whole text.
  e->DefAttributes()->SetName("Courier New");
  const TRtfDocument all = e->Document();
  for (const TRtfRun& run : all.Paragraphs[0].Runs) EXPECT_EQ(run.Format.FontName, "Courier New");
}

TEST_F(RichEditTest, ParagraphChangesOnTheParagraphsTheSelectionTouches) {
  Load(e, "one\r\ntwo\r\nthree");
  e->SetSelStart(1);
  e->SetSelLength(6);  // from "one" into "two"
  TParaAttributes* p = e->Paragraph();
  p->SetAlignment(taCenter);
  p->SetFirstIndent(10);
  p->SetLeftIndent(20);
  p->SetRightIndent(30);
  p->SetNumbering(nsBullet);
  p->SetTab(1, 144);  // stop 0 comes every half inch
  const TRtfDocument d = e->Document();
  for (int i : {0, 1}) {
    const TRtfParaFormat& f = d.Paragraphs[size_t(i)].Format;
    EXPECT_EQ(f.Alignment, TRtfAlignment::Center);
    EXPECT_EQ(f.FirstIndent, 200);
    EXPECT_EQ(f.LeftIndent, 400);
    EXPECT_EQ(f.RightIndent, 600);
    EXPECT_TRUE(f.Bullets);
    EXPECT_EQ(f.TabStops, (std::vector<int>{720, 2880}));
  }
  EXPECT_EQ(d.Paragraphs[2].Format, TRtfParaFormat{});
  EXPECT_EQ(p->Alignment(), taCenter);
  EXPECT_EQ(p->Numbering(), nsBullet);
  EXPECT_EQ(p->TabCount(), 2);
  EXPECT_EQ(p->Tab(1), 144);
  p->SetTabCount(1);
  p->SetNumbering(nsNone);
  EXPECT_EQ(p->TabCount(), 1);
  EXPECT_FALSE(e->Document().Paragraphs[1].Format.Bullets);
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree");  // the text itself untouched
}

TEST_F(RichEditTest, PlainTextAndPlainMode) {
  // Text not starting with "{\rtf" is text, even when it holds RTF further on.
  Load(e, "plain {\\b x}\r\nsecond");
  EXPECT_EQ(e->Text(), "plain {\\b x}\r\nsecond");
  EXPECT_EQ(e->Lines()->Count(), 2);
  // Plain mode shows RTF's text without formatting and saves text.
  e->SetPlainText(true);
  Load(e, RtfWrite(EveryAttribute()));
  // A line break inside a paragraph reads as a break too.
  EXPECT_EQ(e->Text(), "Title code\t\xC3\xA9\r\nfirst item\r\nsecond item\r\nline\r\nbreak");
  const TRtfDocument shown = e->Document();
  for (const TRtfParagraph& p : shown.Paragraphs) {
    EXPECT_FALSE(p.Format.Bullets);
    for (const TRtfRun& run : p.Runs) EXPECT_TRUE(run.Format.Style.Empty());
  }
  e->SelectAll();
  e->SelAttributes()->SetStyle({fsBold});
  e->SetSelLength(0);
  EXPECT_EQ(Save(e), e->Text());
  EXPECT_EQ(e->SelAttributes()->Style(), TFontStyles{fsBold});  // one look for all
}

// What is loaded and not touched saves as it was, whatever the editor could
// not show; a change of text or format saves the content as it now stands.
TEST_F(RichEditTest, AnUntouchedTextSavesTheBytesItWasLoadedFrom) {
  const std::string texts[] = {"a\x01" "b", "\xEF\xBB\xBF" "marked", "\xEF\xBB\xBF\xEF\xBB\xBF" "twice",
                               "\x7F" "del\x1F", "{\\rtf1\\ansi\\unknownword odd  \\par}\r\n"};
  for (bool plain : {false, true}) {
    e->SetPlainText(plain);
    for (const std::string& text : texts) {
      SCOPED_TRACE(text + (plain ? " plain" : " rich"));
      Load(e, text);
      for (int save = 0; save < 3; ++save) Load(e, Save(e));
      EXPECT_EQ(Save(e), text);
    }
  }
  e->SetPlainText(false);
  // A change of format is a change: the content is written as it stands.
  Load(e, "a\x01" "b");
  e->SelectAll();
  e->SelAttributes()->SetStyle({fsBold});
  EXPECT_TRUE(IsRtfText(Save(e)));
  // So is typed text.
  Load(e, "\xEF\xBB\xBF" "marked");
  e->SetFocus();
  e->SetSelStart(0);
  QTest::keyClicks(Native(e), "un");
  EXPECT_EQ(RtfRead(Save(e)).PlainText(), "unmarked");
  // Going plain keeps an untouched text's bytes too.
  Load(e, "a\x01" "b");
  e->SetPlainText(true);
  EXPECT_EQ(Save(e), "a\x01" "b");
  e->SetPlainText(false);
}

TEST_F(RichEditTest, FindText) {
  Load(e, "Find the word, words and WORD.\r\nword");
  struct Case {
    const char* text;
    int start, length;
    TSearchTypes options;
    int found;
  } const cases[] = {
      {"word", 0, -1, {}, 9},
      {"word", 10, -1, {}, 15},
      {"word", 0, -1, {stWholeWord}, 9},
      {"word", 10, -1, {stWholeWord}, 25},
      {"word", 10, -1, {stWholeWord, stMatchCase}, 32},  // after the "\r\n"
      {"WORD", 0, -1, {stMatchCase}, 25},
      {"word", 0, 13, {}, 9},
      {"word", 0, 12, {}, -1},  // the range ends inside the word
      {"absent", 0, -1, {}, -1},
      {"", 0, -1, {}, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(e->FindText(c.text, c.start, c.length, c.options), c.found) << c.text << " " << c.start;
  // Ignoring case, every case pair of the fold matches, whatever its length.
  Load(e, "\u01A0n Stra\u00DFe \u212Aelvin \u03A3\u0391\u03A3");
  const Case pairs[] = {
      {"\u01A1N", 0, -1, {}, 0},       {"STRA\u1E9EE", 0, -1, {}, 3},  {"kelvin", 0, -1, {}, 10},
      {"\u03C3\u03B1\u03C2", 0, -1, {}, 17}, {"\u01A1N", 0, -1, {stMatchCase}, -1},
  };
  for (const Case& c : pairs)
    EXPECT_EQ(e->FindText(c.text, c.start, c.length, c.options), c.found) << c.text << " " << c.start;
}

TEST_F(RichEditTest, ClipboardCarriesRtfAndText) {
  TRichEdit* from = e;
  TRichEdit* to = Place(form_.get());
  Load(from, RtfWrite(TRtfDocument{{{{}, {{"ab", Arial()}, {"BOLD", Arial(20, {fsBold})}}}}}));
  from->SetSelStart(1);
  from->SetSelLength(3);
  from->CopyToClipboard();
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  EXPECT_EQ(mime->text(), "bBO");
  EXPECT_TRUE(mime->hasFormat("text/rtf"));
  Load(to, "xy");
  to->SetSelStart(1);
  to->PasteFromClipboard();
  EXPECT_EQ(to->Text(), "xbBOy");
  EXPECT_EQ(to->Document().Paragraphs[0].Runs[2].Text, "BO");
  EXPECT_EQ(to->Document().Paragraphs[0].Runs[2].Format.Style, TFontStyles{fsBold});
  // Cut takes the text away; text from elsewhere pastes in the caret's look.
  from->CutToClipboard();
  EXPECT_EQ(from->Text(), "aLD");
  QApplication::clipboard()->setText("new");
  to->SelectAll();
  to->PasteFromClipboard();
  EXPECT_EQ(to->Text(), "new");
  // The limit cuts what is pasted; read-only pastes nothing.
  to->SetMaxLength(5);
  to->SetSelStart(3);
  to->PasteFromClipboard();
  EXPECT_EQ(to->Text(), "newne");
  to->SetReadOnly(true);
  to->SetSelStart(0);
  to->PasteFromClipboard();
  EXPECT_EQ(to->Text(), "newne");
  EXPECT_TRUE(to->CanUndo());
}

TEST_F(RichEditTest, KeysEventsAndLines) {
  int changes = 0, selections = 0;
  e->OnChange = [&](TObject*) { ++changes; };
  e->OnSelectionChange = [&](TObject*) { ++selections; };
  // The key handler may swallow a key, as the memo pane does with Ctrl+B.
  e->OnKeyDown = [](TObject*, WORD& key, TShiftState shift) {
    if (key == 'B' && shift == TShiftState{ssCtrl}) key = 0;
  };
  e->SetFocus();
  QTest::keyClicks(Native(e), "ab");
  QTest::keyClick(Native(e), Qt::Key_B, Qt::ControlModifier);
  QTest::keyClick(Native(e), Qt::Key_Return);
  QTest::keyClicks(Native(e), "cd");
  EXPECT_EQ(e->Text(), "ab\r\ncd");
  EXPECT_EQ(e->GetTextLen(), 6);
  EXPECT_EQ(changes, 5);
  EXPECT_GE(selections, 5);
  EXPECT_EQ(e->LineFromChar(5), 1);
  EXPECT_EQ(e->LineIndex(1), 4);
  EXPECT_TRUE(e->CanUndo());
  e->Undo();
  EXPECT_NE(e->Text(), "ab\r\ncd");
}

TEST_F(RichEditTest, ProtectedTextChangesOnlyWhenAllowed) {
  Load(e, RtfWrite(TRtfDocument{{{{}, {{"free", Arial()}, {"LOCK", Locked()}}}}}));
  bool allow = false;
  int asked = 0;
  e->OnProtectChange = [&](TObject*, int start, int end, bool& allowChange) {
    ++asked;
    EXPECT_GE(start, 4);  // inside the protected run
    EXPECT_LE(end, 8);
    allowChange = allow;
  };
  e->SetFocus();
  e->SetSelStart(6);
  QTest::keyClicks(Native(e), "x");
  QTest::keyClick(Native(e), Qt::Key_Backspace);
  EXPECT_EQ(e->Text(), "freeLOCK");
  allow = true;
  QTest::keyClick(Native(e), Qt::Key_Backspace);
  EXPECT_EQ(e->Text(), "freeLCK");
  EXPECT_EQ(asked, 3);
  e->SetSelStart(2);
  QTest::keyClicks(Native(e), "y");  // free text asks nobody
  EXPECT_EQ(asked, 3);
}

namespace {

std::string LongText(int paragraphs) {
  std::string text;
  for (int i = 0; i < paragraphs; ++i) {
    text += (i ? "\r\n" : "") + std::string("Paragraph ") + std::to_string(i) + ":";
    for (int w = 0; w < 5 + (i * 7) % 40; ++w) text += " word" + std::to_string(w);
  }
  return text;
}

}  // namespace

TEST_F(RichEditTest, RangeFormattingSplitsALongTextWithNothingLostOrRepeated) {
  Load(e, LongText(120));
  auto page = Surface(600, 400);
  // A band of 4 x 2 inches at the page's resolution (96 ppi).
  TFormatRange range{page->Canvas(), TRect{0, 0, 5760, 2880}, TRect{0, 0, 5760, 2880}, {0, -1}};
  std::vector<int> starts;
  int first = 0;
  while (first < e->GetTextLen()) {
    starts.push_back(first);
    range.Chrg = {first, -1};
    const int measured = int(e->Perform(EM_FORMATRANGE, 0, LPARAM(&range)));
    const int rendered = int(e->Perform(EM_FORMATRANGE, 1, LPARAM(&range)));
    ASSERT_EQ(measured, rendered);
    ASSERT_GT(rendered, first);
    EXPECT_LE(range.UsedHeight, 2880);
    first = rendered;
  }
  EXPECT_EQ(first, e->GetTextLen());  // the last page ends at the very end
  EXPECT_GT(starts.size(), 3u);
  // Each page starts at a character after a break, never inside "\r\n".
  for (int s : starts) EXPECT_NE(e->Text()[size_t(s)], '\n');
  e->Perform(EM_FORMATRANGE, 0, 0);  // dropping the layout is harmless

  // Printing pages the same text on the printer: every page has ink.
  TPrinter printer;
  auto device = std::make_unique<TRecordingPrinter>("Test printer", 150);
  device->SetPapers({{DMPAPER_A4, "A4", StandardPaperSize(DMPAPER_A4)}});
  TRecordingPrinter* raw = device.get();
  printer.SetPrinterIndex(printer.AddPrinter(std::move(device)));
  TPrinter* previous = SetPrinter(&printer);
  e->Print("Report");
  SetPrinter(previous);
  EXPECT_EQ(raw->JobTitle(), "Report");
  EXPECT_TRUE(raw->JobEnded());
  ASSERT_GE(raw->Pages().size(), 2u);
  for (const auto& p : raw->Pages()) EXPECT_LT(CountPixels(*p, clWhite), p->Width() * p->Height()) << p->Width() << "x" << p->Height();
}

// Formatting a selection or a paragraph changes the content as typing does
// (a data-aware edit writes it back); the look of new text alone does not.
TEST_F(RichEditTest, FormattingCountsAsAChange) {
  e->SetText("some words");
  e->SetModified(false);
  int changes = 0;
  e->OnChange = [&](TObject*) { ++changes; };
  e->SetSelStart(0);
  e->SetSelLength(0);
  e->SelAttributes()->SetStyle({fsBold});
  e->DefAttributes()->SetName("Times New Roman");
  EXPECT_EQ(changes, 0);
  e->SetModified(false);
  e->SetSelLength(4);
  e->SelAttributes()->SetStyle({fsItalic});
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(e->Modified());
  e->Paragraph()->SetAlignment(taCenter);
  EXPECT_EQ(changes, 2);
}

namespace {

// Text typed after a bullet list ends, by the bullet button or by Enter on
// an empty item, is in the list's font, as typed text goes on in the font
// of the text before it.
TEST_F(RichEditTest, TextTypedAfterABulletListEndsKeepsTheListsFont) {
  const TRtfCharFormat list = Arial(24, {fsBold});
  const struct {
    const char* how;
    std::function<void()> end;
  } ways[] = {
      {"the bullet button", [&] {
         QTest::keyClick(Native(e), Qt::Key_Return);
         e->Paragraph()->SetNumbering(nsNone);
       }},
      {"Enter on an empty item", [&] {
         QTest::keyClick(Native(e), Qt::Key_Return);
         QTest::keyClick(Native(e), Qt::Key_Return);
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    TRtfParaFormat bullets;
    bullets.Bullets = true;
    Load(e, RtfWrite(TRtfDocument{{{bullets, {{"item", list}}}}}));
    e->SetFocus();
    e->SetSelStart(4);
    way.end();
    QTest::keyClicks(Native(e), "after");
    const TRtfDocument d = e->Document();
    ASSERT_EQ(d.Paragraphs.size(), 2u) << d.PlainText("|");
    EXPECT_FALSE(d.Paragraphs[1].Format.Bullets);
    ASSERT_EQ(d.Paragraphs[1].Runs.size(), 1u);
    EXPECT_EQ(d.Paragraphs[1].Runs[0].Text, "after");
    EXPECT_EQ(d.Paragraphs[1].Runs[0].Format, list);
    const TRtfDocument stored = RtfRead(Save(e));
    ASSERT_EQ(stored.Paragraphs.size(), 2u);
    EXPECT_EQ(stored.Paragraphs[1].Runs.at(0).Format, list);
  }
}

}  // namespace
