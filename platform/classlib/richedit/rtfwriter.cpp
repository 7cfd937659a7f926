// The RTF writer: a header with the font and colour tables the document uses,
// then every paragraph with its properties and every run with the character
// properties that differ from the run before. It writes only what the reader
// reads, in the state the reader will be in, so a document reads back equal.
#include <algorithm>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/richedit/rtf.h"

namespace {

struct FontKey {
  std::string name;
  TFontCharset charset;
  TFontPitch pitch;
  bool operator==(const FontKey&) const = default;
};

FontKey KeyOf(const TRtfCharFormat& f) { return {f.FontName, f.Charset, f.Pitch}; }

template <class T>
int IndexOf(const std::vector<T>& list, const T& value) {
  return int(std::find(list.begin(), list.end(), value) - list.begin());
}

template <class T>
void AddOnce(std::vector<T>& list, const T& value) {
  if (IndexOf(list, value) == int(list.size())) list.push_back(value);
}

class Writer {
 public:
  explicit Writer(const TRtfDocument& document) : document_(document) {
    for (const TRtfParagraph& p : document.Paragraphs)
      for (const TRtfRun& run : p.Runs) CollectTables(run.Format);
    if (fonts_.empty()) fonts_.push_back(KeyOf(TRtfCharFormat{}));
  }

  std::string Write() {
    Control("{\\rtf1\\ansi\\ansicpg1252\\deff0");
    WriteFontTable();
    WriteColorTable();
    Control("\\uc1");
    // After the font table the reader is in the default font, f0.
    current_.FontName = fonts_[0].name;
    current_.Charset = fonts_[0].charset;
    current_.Pitch = fonts_[0].pitch;
    for (const TRtfParagraph& p : document_.Paragraphs) WriteParagraph(p);
    Raw("}");
    return std::move(out_);
  }

 private:
  void CollectTables(const TRtfCharFormat& f) {
    AddOnce(fonts_, KeyOf(f));
    if (f.Color != clDefault) AddOnce(colors_, ColorToRGB(f.Color));
    if (f.Highlight != clNone) AddOnce(colors_, ColorToRGB(f.Highlight));
  }

  void WriteFontTable() {
    Raw("{\\fonttbl");
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
      const FontKey& k = fonts_[i];
      Word("{\\f", int(i));
      Control("\\fnil");
      Word("\\fcharset", k.charset);
      if (k.pitch != fpDefault) Word("\\fprq", k.pitch == fpFixed ? 1 : 2);
      // A ";" ends a name in the table; no font has one in its name.
      std::string name = k.name;
      std::erase(name, ';');
      Text(name);
      Raw(";}");
    }
    Raw("}");
  }

  // Entry 0 is "auto": the editor's own colour.
  void WriteColorTable() {
    if (colors_.empty()) return;
    Raw("{\\colortbl ;");
    for (TColor c : colors_) {
      Word("\\red", GetRValue(c));
      Word("\\green", GetGValue(c));
      Word("\\blue", GetBValue(c));
      Raw(";");
    }
    Raw("}");
  }

  void WriteParagraph(const TRtfParagraph& p) {
    Raw("\r\n");
    Control("\\pard");
    const TRtfParaFormat& f = p.Format;
    static constexpr const char* kAlignment[] = {"\\ql", "\\qr", "\\qc", "\\qj"};
    if (f.Alignment != TRtfAlignment::Left) Control(kAlignment[int(f.Alignment)]);
    if (f.FirstIndent != 0) Word("\\fi", f.FirstIndent);
    if (f.LeftIndent != 0) Word("\\li", f.LeftIndent);
    if (f.RightIndent != 0) Word("\\ri", f.RightIndent);
    for (int tab : f.TabStops) Word("\\tx", tab);
    // The bullet text is for readers that do not draw bullets themselves.
    if (f.Bullets) Raw("{\\pntext\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\'B7}}");
    for (const TRtfRun& run : p.Runs) {
      WriteFormatChange(run.Format);
      Text(run.Text);
    }
    Control("\\par");
  }

  void WriteFormatChange(const TRtfCharFormat& f) {
    if (!(KeyOf(f) == KeyOf(current_))) Word("\\f", IndexOf(fonts_, KeyOf(f)));
    if (f.HalfPoints != current_.HalfPoints) Word("\\fs", f.HalfPoints);
    static constexpr std::pair<TFontStyle, const char*> kStyles[] = {
        {fsBold, "\\b"}, {fsItalic, "\\i"}, {fsUnderline, "\\ul"}, {fsStrikeOut, "\\strike"}};
    for (auto [style, word] : kStyles)
      if (f.Style.Contains(style) != current_.Style.Contains(style))
        Control(f.Style.Contains(style) ? word : std::string(word) + (style == fsUnderline ? "none" : "0"));
    if (f.Color != current_.Color) Word("\\cf", ColorNumber(f.Color, clDefault));
    if (f.Highlight != current_.Highlight) Word("\\highlight", ColorNumber(f.Highlight, clNone));
    if (f.Protected != current_.Protected) Control(f.Protected ? "\\protect" : "\\protect0");
    current_ = f;
  }

  int ColorNumber(TColor c, TColor none) const {
    return c == none ? 0 : IndexOf(colors_, ColorToRGB(c)) + 1;
  }

  void Word(const char* word, int n) { Control(word + std::to_string(n)); }

  // A control word ends at the first character that cannot continue it; a
  // blank after it is taken as its end, so text that follows one gets a blank.
  void Control(const std::string& word) {
    out_ += word;
    delimit_ = true;
  }
  // Anything that ends in a brace or other symbol needs no blank after it.
  void Raw(const char* text) {
    out_ += text;
    delimit_ = false;
  }

  // Escapes what RTF reserves; characters beyond ASCII go as \'hh where the
  // code page has them, else as \u with "?" for readers without Unicode.
  void Text(std::string_view text) {
    if (text.empty()) return;
    if (delimit_) out_ += ' ';
    delimit_ = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const char32_t c = Utf8Decode(text, pos);
      if (c == '\\' || c == '{' || c == '}') {
        out_ += '\\';
        out_ += char(c);
      } else if (c == '\t') {
        out_ += "\\tab ";  // its own blank ends it
      } else if (c == 0x2028 || c == '\n') {
        out_ += "\\line ";
      } else if (c >= 0x20 && c < 0x80) {
        out_ += char(c);
      } else if (c >= 0x80) {
        NonAscii(c);
      }
    }
  }

  void NonAscii(char32_t c) {
    if (const int byte = UnicodeToCp1252(c); byte >= 0) {
      static constexpr char kHex[] = "0123456789abcdef";
      out_ += "\\'";
      out_ += kHex[byte >> 4];
      out_ += kHex[byte & 15];
      return;
    }
    if (c > 0xFFFF) {
      const char32_t v = c - 0x10000;
      UnicodeUnit(0xD800 + (v >> 10));
      UnicodeUnit(0xDC00 + (v & 0x3FF));
    } else {
      UnicodeUnit(c);
    }
  }

  // The "?" after it is the fallback character, which also ends the word.
  void UnicodeUnit(char32_t unit) { out_ += "\\u" + std::to_string(int(int16_t(uint16_t(unit)))) + "?"; }

  const TRtfDocument& document_;
  std::vector<FontKey> fonts_;
  std::vector<TColor> colors_;
  TRtfCharFormat current_;
  std::string out_;
  bool delimit_ = false;
};

}  // namespace

std::string RtfWrite(const TRtfDocument& document) { return Writer(document).Write(); }
