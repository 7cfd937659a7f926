// Rich text in generated reports: ranges that continue over pages without a
// character lost or printed twice, a break at the final paragraph end, empty
// and plain texts, the data kind's sources, and drawing on a printer.

#include "report/components/pprichtx.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>

#include "../command_output.h"
#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/db/memdataset.h"
#include "platform/classlib/richedit/richedit.h"
#include "report/output/ppprintr.h"
#include "report/output/ppprndev.h"
#include "stretchrig.h"
#include "platform/classlib/core/temp_dir.h"

namespace {

// The text of a PDF file as poppler's pdftotext reads it.
std::string PdfText(const std::string& file) {
  return CommandOutput("pdftotext -layout '" + file + "' - 2>/dev/null");
}

constexpr int32_t kMM = StretchRig::kMM;

// RTF of `count` numbered paragraphs at `halfPoints` (\fs), with a final paragraph end.
std::string Paragraphs(int count, int halfPoints = 20) {
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs" + std::to_string(halfPoints) + " ";
  for (int i = 1; i <= count; ++i) rtf += "Paragraph " + std::to_string(i) + "\\par ";
  return rtf + "}";
}

struct RichRig : StretchRig {
  explicit RichRig(const std::string& text, int32_t headerHeight = 260 * kMM)
      : StretchRig(headerHeight) {
    rich = new TppRichText(&form);
    rich->SetBand(detail);
    rich->SetmmBounds(0, 0, 100 * kMM, 10 * kMM);
    rich->SetStretch(true);
    rich->SetRichText(text);
  }
  // "first-last" of each page's command ("" for a page without one).
  std::vector<std::string> Ranges() {
    std::vector<std::string> out;
    heights.clear();
    for (const auto& page : Commands<TppDrawRichText>()) {
      out.emplace_back();
      for (TppDrawRichText* c : page) {
        out.back() += std::to_string(c->FirstCharacter) + "-" + std::to_string(c->LastCharacter);
        heights.push_back(c->Height);
      }
    }
    return out;
  }
  TppRichText* rich;
  std::vector<int32_t> heights;
};

// Each page starts right after the previous one's last character.
void ExpectContiguous(const std::vector<std::string>& ranges) {
  int next = 0;
  for (const std::string& r : ranges) {
    if (r.empty()) continue;
    EXPECT_EQ(std::stoi(r), next) << r;
    next = std::stoi(r.substr(r.find('-') + 1)) + 1;
  }
}

TEST(RichText, TwoPagesContinueAtTheNextCharacter) {
  RichRig rig(Paragraphs(90));
  const auto ranges = rig.Ranges();
  ASSERT_GE(ranges.size(), 2u);
  ExpectContiguous(ranges);
  EXPECT_LT(rig.heights.back(), rig.heights.front());  // the last page uses what it needs
}

TEST(RichText, APageWithoutRoomForACharacterLeavesTheRestForTheNext) {
  // 72-point paragraphs over three pages; the header leaves less than one
  // line where it shows: on page 1 before the text started, on page 2 after.
  for (int headerPage : {1, 2}) {
    SCOPED_TRACE(headerPage);
    RichRig rig(Paragraphs(12, 144));
    rig.headerOn = [headerPage](int page) { return page == headerPage; };
    const auto ranges = rig.Ranges();
    ASSERT_GE(ranges.size(), 3u);
    EXPECT_EQ(ranges[size_t(headerPage - 1)], "");
    ExpectContiguous(ranges);
  }
}

TEST(RichText, TextThatFitsNoPageEndsTheRunWithTheBandError) {
  RichRig rig(Paragraphs(2, 2000), 10 * kMM);  // 1000-point letters
  EXPECT_EQ(MessageOf<EPrintError>([&] { rig.Print(); }), "Band height cannot exceed page height.");
}

TEST(RichText, TheFinalParagraphEndAloneDoesNotContinue) {
  // Measure one line, then leave room for two and a half below the header.
  RichRig probe("{\\rtf1 A}");
  probe.Ranges();
  const int32_t line = probe.heights.at(0);
  const int32_t printable = probe.report->PrinterSetup()->PageDef().mmPrintableHeight();
  RichRig rig("{\\rtf1 A\\par B\\par}", printable - line * 5 / 2);
  rig.headerOn = [](int) { return true; };
  const auto ranges = rig.Ranges();
  EXPECT_EQ(ranges, std::vector<std::string>{"0-4"});  // "A\r\nB" complete here
}

TEST(RichText, EmptyTextPrintsNothingAndPlainTextPrintsAsText) {
  struct Case {
    std::string text;
    std::vector<std::string> ranges;
  };
  const Case cases[] = {{"", {""}},
                        {"{\\rtf1 }", {""}},
                        {"{\\rtf1 \\par}", {""}},  // only the final paragraph end
                        {"plain words", {"0-11"}},
                        {"{\\rtf1 cut {\\b off", {"0-7"}}};
  for (const Case& c : cases) {
    RichRig rig(c.text);
    EXPECT_EQ(rig.Ranges(), c.ranges) << c.text;
  }
}

// A stretching data rich text over the rig's pipeline, 100 by 10 mm.
TppDBRichText* DataRichText(StretchRig& rig) {
  auto* rich = new TppDBRichText(&rig.form);
  rich->SetBand(rig.detail);
  rich->SetmmBounds(0, 0, 100 * kMM, 10 * kMM);
  rich->SetStretch(true);
  rich->SetDataPipeline(rig.pipeline);
  return rich;
}

// What a text prints when it is the only one its component ever measured.
std::vector<std::string> RangesAlone(const std::string& text) { return RichRig(text).Ranges(); }

TEST(RichText, ATextMeasuredBeforePrintsAsWhenFreshAndAChangedTextAsItsOwn) {
  // Long, short, empty, long again (met before), then bigger letters.
  RichRig rig(Paragraphs(90));
  rig.Ranges();
  for (const std::string& text : {Paragraphs(3), std::string(), Paragraphs(90), Paragraphs(90, 40),
                                  Paragraphs(3)}) {
    SCOPED_TRACE(text.size());
    rig.rich->SetRichText(text);
    rig.report->Reset();
    const auto ranges = rig.Ranges();
    EXPECT_EQ(ranges, RangesAlone(text));
    ExpectContiguous(ranges);
  }
}

TEST(RichText, RecordsOfOneFieldEachPrintTheirOwnTextWhenTextsRepeat) {
  StretchRig rig(10 * kMM, 4);
  TppDBRichText* rich = DataRichText(rig);
  // Records 1 and 3 hold the same text, 2 a longer one, 4 none.
  const std::string texts[] = {"{\\rtf1 same}", "{\\rtf1 a longer text}", "{\\rtf1 same}", ""};
  rich->OnGetRichText = [&](TObject*, std::string& text) {
    const std::string name = rig.pipeline->GetFieldAsString("Name");  // "N1" to "N4"
    text = name.size() == 2 ? texts[size_t(name[1] - '1') % 4] : std::string();
  };
  std::vector<std::string> printed, alone;
  const auto pages = rig.Commands<TppDrawRichText>();
  for (auto* c : pages.at(0))
    printed.push_back(c->RichText() + " " + std::to_string(c->FirstCharacter) + "-" +
                      std::to_string(c->LastCharacter));
  for (const std::string& text : texts)
    for (const std::string& range : RangesAlone(text))
      if (!range.empty()) alone.push_back(text + " " + range);
  EXPECT_EQ(printed, alone);
  EXPECT_EQ(printed.size(), 3u);  // the empty record prints nothing
}

TEST(RichText, TheDataKindPrintsItsFieldTheHandlersTextOrWithoutAutoDisplayNothing) {
  StretchRig rig(10 * kMM, 2);
  TppDBRichText* rich = DataRichText(rig);
  rich->SetDataField("Name");
  auto texts = [&] {
    std::vector<std::string> out;
    const auto pages = rig.Commands<TppDrawRichText>();
    for (auto* c : pages.at(0)) out.push_back(c->RichText());
    return out;
  };
  EXPECT_EQ(texts(), (std::vector<std::string>{"N1", "N2"}));
  rich->OnGetRichText = [](TObject*, std::string& text) { text = "{\\rtf1 given}"; };
  rig.report->Reset();
  EXPECT_EQ(texts(), (std::vector<std::string>(2, "{\\rtf1 given}")));
  rich->OnGetRichText = nullptr;
  rich->SetAutoDisplay(false);
  rig.report->Reset();
  EXPECT_TRUE(texts().empty());
}

// The rig's report printed to a PDF file by the printer device.
void PrintToPdf(RichRig& rig, const std::string& pdf) {
  rig.report->PrinterSetup()->SetPrinterName("PDF");
  rig.device.SetPublisher(nullptr);
  TppPrinterDevice device;
  device.Printer()->SetPrinterSetup(*rig.report->PrinterSetup());
  device.Printer()->FileName = pdf;
  device.SetPublisher(rig.report->Publisher());
  rig.report->PrintPages();
  device.SetPublisher(nullptr);
}

// The words "w<paragraph>x<word>" of a PDF's text, each once.
void ExpectEachWordOnce(const std::string& pdf, int paragraphs, int words) {
  std::map<std::string, int> seen;
  std::istringstream text(CommandOutput("pdftotext '" + pdf + "' - 2>/dev/null"));
  for (std::string word; text >> word;) ++seen[word];
  for (int p = 1; p <= paragraphs; ++p)
    for (int w = 1; w <= words; ++w) {
      const std::string word = "w" + std::to_string(p) + "x" + std::to_string(w);
      EXPECT_EQ(seen[word], 1) << word;
    }
}

// Over several pages each word is in the PDF's text once: the lines beside
// a page break, of paragraphs that run over it too, are left out, not drawn
// and clipped away.
TEST(RichText, EachWordIsInAPdfsTextOnce) {
  const TempDir scratch;
  const std::string pdf = scratch / "richpages.pdf";
  constexpr int kParagraphs = 40, kWords = 30;
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 ";
  for (int p = 1; p <= kParagraphs; ++p) {
    for (int w = 1; w <= kWords; ++w) rtf += "w" + std::to_string(p) + "x" + std::to_string(w) + " ";
    rtf += "\\par ";
  }
  RichRig rig(rtf + "}", 10 * kMM);
  PrintToPdf(rig, pdf);
  const std::string info = CommandOutput("pdfinfo '" + pdf + "' 2>/dev/null");
  EXPECT_EQ(info.find("Pages:          1\n"), std::string::npos) << "one page only";
  ExpectEachWordOnce(pdf, kParagraphs, kWords);
}

// A memo over many pages as the memo panes write them: bullets, indented
// paragraphs, line breaks inside paragraphs, a character beyond the BMP and
// long paragraphs that run over the page breaks. Each page goes on where the
// one before stopped, and each word is in the PDF's text once.
TEST(RichText, ALongFormattedMemoPrintsEachWordOnceOverItsPages) {
  constexpr int kParagraphs = 60, kWords = 40;
  TRtfCharFormat plain;
  plain.FontName = "Arial";
  plain.HalfPoints = 22;
  TRtfCharFormat bold = plain;
  bold.Style = {fsBold};
  TRtfDocument memo;
  for (int p = 1; p <= kParagraphs; ++p) {
    TRtfParagraph paragraph;
    paragraph.Format.Bullets = p % 5 == 0;
    if (p % 7 == 0) paragraph.Format.LeftIndent = paragraph.Format.FirstIndent = 360;
    for (int w = 1; w <= kWords; ++w) {
      std::string word = "w" + std::to_string(p) + "x" + std::to_string(w);
      if (w % 13 == 0) word += "\xE2\x80\xA8";  // a line break after it
      else if (w % 17 == 0) word += " \xF0\x9F\x98\x80 ";  // and a character of two UTF-16 units
      else word += " ";
      paragraph.Runs.push_back({word, w % 3 ? plain : bold});
    }
    memo.Paragraphs.push_back(std::move(paragraph));
  }
  const std::string rtf = RtfWrite(memo);
  RichRig rig(rtf, 10 * kMM);
  const auto ranges = rig.Ranges();
  ASSERT_GE(ranges.size(), 4u);
  ExpectContiguous(ranges);
  TRichEdit edit(nullptr);
  TStringStream stream(rtf);
  edit.Lines()->LoadFromStream(&stream);
  EXPECT_EQ(ranges.back().substr(ranges.back().find('-') + 1), std::to_string(edit.GetTextLen()));
  const TempDir scratch;
  const std::string pdf = scratch / "longmemo.pdf";
  PrintToPdf(rig, pdf);
  ExpectEachWordOnce(pdf, kParagraphs, kWords);
}

// One long paragraph, many short ones and one long word print each character
// once, page by page: a page's text in the PDF is the range its command holds.
TEST(RichText, EachPagePrintsItsRangeWholeInOneParagraphAsInShortOnes) {
  const struct {
    const char* name;
    size_t paragraph;  // characters; 0: one paragraph
    bool unbroken;     // one word, in letters that kern
  } shapes[] = {{"one paragraph", 0, false}, {"paragraphs of 80 characters", 80, false}, {"one word", 0, true}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.name);
    std::string text;
    for (size_t word = 0, held = 0; text.size() < 12000; ++word) {
      const std::string w = shape.unbroken ? std::string(1, "AVATARWAVYTokyoLTd"[word % 18])
                                           : "w" + std::to_string(word) + (word % 7 ? " " : ", ");
      if (shape.paragraph && held + w.size() > shape.paragraph) {
        text += "\r\n";
        held = 0;
      }
      text += w;
      held += w.size();
    }
    TRtfCharFormat arial;
    arial.FontName = "Arial";
    const std::string rtf = RtfWrite(PlainTextDocument(text, arial));
    RichRig rig(rtf, 10 * kMM);
    const auto ranges = rig.Ranges();
    ASSERT_GE(ranges.size(), 4u);
    ExpectContiguous(ranges);
    const TempDir scratch;
    const std::string pdf = scratch / "shape.pdf";
    PrintToPdf(rig, pdf);
    const auto visible = [](std::string_view s) {
      std::string out;
      for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) out += c;
      return out;
    };
    std::istringstream pages(CommandOutput("pdftotext '" + pdf + "' - 2>/dev/null"));
    std::vector<std::string> printed;
    for (std::string page; std::getline(pages, page, '\f');) printed.push_back(visible(page));
    if (!printed.empty() && printed.back().empty()) printed.pop_back();
    ASSERT_EQ(printed.size(), ranges.size());
    std::string all;
    for (size_t i = 0; i < ranges.size(); ++i) {
      const int first = std::stoi(ranges[i]), last = std::stoi(ranges[i].substr(ranges[i].find('-') + 1));
      EXPECT_EQ(printed[i], visible(std::string_view(text).substr(size_t(first), size_t(last - first + 1))))
          << "page " << i + 1;
      all += printed[i];
    }
    EXPECT_EQ(all, visible(text));
  }
}

// A record's long memo is read as often whatever the number of pages it
// takes, from its field or through OnGetRichText, not again at every page; a
// page made again from the page cache, after another record's memo, reads its
// own record's memo and prints as it did.
TEST(RichText, ARecordsMemoIsNotReadAgainAtEveryPage) {
  for (const bool handler : {false, true}) {
    SCOPED_TRACE(handler ? "OnGetRichText" : "field");
    std::vector<int> reads;
    for (int paragraphs : {250, 750}) {
      SCOPED_TRACE(paragraphs);
      StretchRig rig(10 * kMM);
      TMemDataSet data;
      data.FieldDefs().Add("Memo", ftMemo);
      data.Open();
      for (const std::string& text : {Paragraphs(paragraphs), Paragraphs(2)}) data.AppendRecord({Variant(text)});
      data.First();
      TDataSource source;
      source.SetDataSet(&data);
      auto* pipeline = new TCountingPipeline(&rig.form);
      pipeline->SetDataSource(&source);
      rig.report->SetDataPipeline(pipeline);
      TppDBRichText* rich = DataRichText(rig);
      rich->SetDataPipeline(pipeline);
      rich->SetDataField("Memo");
      if (handler)
        rich->OnGetRichText = [pipeline](TObject*, std::string& text) { text = pipeline->GetFieldAsString("Memo"); };
      rig.report->SetCachePages(false);
      const auto describe = [](const std::vector<TppDrawRichText*>& page) {
        std::string out;
        for (const TppDrawRichText* c : page)
          out += std::to_string(c->RichText().size()) + ":" + std::to_string(c->FirstCharacter) + "-" +
                 std::to_string(c->LastCharacter) + " ";
        return out;
      };
      pipeline->reads.clear();
      const auto pages = rig.Commands<TppDrawRichText>();
      ASSERT_GE(pages.size(), 4u);
      const std::string third = describe(pages[2]);
      reads.push_back(pipeline->reads["Memo"]);
      pipeline->reads.clear();
      rig.Print(prOnePage, 3);
      EXPECT_EQ(rig.report->Engine()->PagesGenerated(), 1);
      EXPECT_EQ(pipeline->reads["Memo"], 1);
      ASSERT_EQ(rig.device.Pages.size(), 1u);
      std::vector<TppDrawRichText*> again;
      for (int i = 0; i < rig.device.Pages[0]->DrawCommandCount(); ++i)
        if (auto* c = dynamic_cast<TppDrawRichText*>(rig.device.Pages[0]->DrawCommands(i))) again.push_back(c);
      EXPECT_EQ(describe(again), third);
      rig.report->SetDataPipeline(nullptr);
    }
    EXPECT_EQ(reads[0], reads[1]) << "three times the pages, as many reads";
  }
}

// Records that share pages with a long memo print their own texts: two
// stretching texts, the second below the first, over records whose first
// text is long or short in turn, so that records start on the page where a
// long one ends, below it or with nothing of theirs placed yet. Each record's
// texts print once each, whole, read for it, however the pages fall; a page
// made again alone prints as it did.
TEST(RichText, EveryRecordPrintsItsOwnTextsWhereAnotherRecordsTextEnds) {
  constexpr int kRecords = 8;
  const auto firstOf = [](int r) {
    return r % 2 ? Paragraphs(40 + 35 * r) : "{\\rtf1 first of " + std::to_string(r) + "}";
  };
  const auto secondOf = [](int r) {
    return r % 3 == 1 ? std::string() : "{\\rtf1 second of " + std::to_string(r) + "}";
  };
  StretchRig rig(10 * kMM);
  TMemDataSet data;
  data.FieldDefs().Add("First", ftMemo);
  data.FieldDefs().Add("Second", ftMemo);
  data.Open();
  for (int r = 0; r < kRecords; ++r) data.AppendRecord({Variant(firstOf(r)), Variant(secondOf(r))});
  data.First();
  TDataSource source;
  source.SetDataSet(&data);
  auto* pipeline = new TppBDEPipeline(&rig.form);
  pipeline->SetDataSource(&source);
  rig.report->SetDataPipeline(pipeline);
  TppDBRichText* first = DataRichText(rig);
  first->SetDataPipeline(pipeline);
  first->SetDataField("First");
  TppDBRichText* below = DataRichText(rig);
  below->SetDataPipeline(pipeline);
  below->SetDataField("Second");
  below->SetShiftRelativeTo(first);
  // The pieces a page prints: text and range.
  const auto printed = [](const std::vector<TppDrawRichText*>& page) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const TppDrawRichText* c : page)
      if (c->FirstCharacter >= 0)
        out.push_back({c->RichText(), std::to_string(c->FirstCharacter) + "-" + std::to_string(c->LastCharacter)});
    return out;
  };
  const auto pages = rig.Commands<TppDrawRichText>();
  ASSERT_GE(pages.size(), 4u);
  // The texts in the order they print, a text going on over pages once, and
  // the ranges of each.
  std::vector<std::string> order, expected;
  std::map<std::string, std::vector<std::string>> ranges;
  for (const auto& page : pages)
    for (const auto& [text, range] : printed(page)) {
      if (order.empty() || order.back() != text) order.push_back(text);
      ranges[text].push_back(range);
    }
  for (int r = 0; r < kRecords; ++r)
    for (const std::string& text : {firstOf(r), secondOf(r)})
      if (!text.empty()) expected.push_back(text);
  EXPECT_EQ(order, expected);
  for (const auto& [text, list] : ranges) {
    SCOPED_TRACE(text.substr(0, 40));
    ExpectContiguous(list);
    TRichEdit edit(nullptr);
    TStringStream stream(text);
    edit.Lines()->LoadFromStream(&stream);
    EXPECT_EQ(list.back().substr(list.back().find('-') + 1), std::to_string(edit.GetTextLen()));
  }
  // A page made again alone prints as it did.
  const auto second = printed(pages[1]), third = printed(pages[2]);
  for (const auto& [page, before] : {std::pair{2, second}, std::pair{3, third}}) {
    rig.Print(prOnePage, page);
    ASSERT_EQ(rig.device.Pages.size(), 1u);
    std::vector<TppDrawRichText*> again;
    for (int i = 0; i < rig.device.Pages[0]->DrawCommandCount(); ++i)
      if (auto* c = dynamic_cast<TppDrawRichText*>(rig.device.Pages[0]->DrawCommands(i))) again.push_back(c);
    EXPECT_EQ(printed(again), before) << "page " << page;
  }
  rig.report->SetDataPipeline(nullptr);
}

// Whether a text shows anything is known from the text itself, rich or plain.
TEST(RichText, ATextShowsTextWhenItHoldsMoreThanWhiteSpace) {
  const struct {
    std::string text;
    bool shows;
  } cases[] = {{"", false},           {"{\\rtf1 }", false},  {"{\\rtf1 \\par \\tab \\par}", false},
               {" \r\n\t ", false}, {"{\\rtf1 x}", true}, {"  plain", true},
               {"{\\rtf1 \\par \\'e9}", true}};
  for (const auto& c : cases) {
    TppRichText rich;
    rich.SetRichText(c.text);
    EXPECT_EQ(rich.ShowsText(), c.shows) << c.text;
  }
}

// Printed to the PDF printer: the range's text stands in the file, in order.
TEST(RichText, ThePrinterDeviceRendersTheRange) {
  const TempDir scratch;
  const std::string pdf = scratch / "richtext.pdf";
  RichRig rig(Paragraphs(3, 24), 10 * kMM);
  PrintToPdf(rig, pdf);
  const std::string text = PdfText(pdf);
  const size_t one = text.find("Paragraph 1"), three = text.find("Paragraph 3");
  EXPECT_NE(one, std::string::npos) << text;
  EXPECT_NE(three, std::string::npos) << text;
  EXPECT_LT(one, three);
}

}  // namespace
