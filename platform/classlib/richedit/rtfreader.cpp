// The RTF reader: one pass over the text with a stack of group states. Control
// words outside the subset are ignored; destinations outside it are skipped
// whole. Every limit below keeps damaged input from costing more than a pass.
//
// The one reader serves two outputs: the document (runs with their formats,
// paragraphs with theirs) and the plain text alone, which skips every
// formatting word and copies whole stretches of ordinary characters at once.
// Both see the same groups, destinations and characters, so the text is the
// document's text byte for byte.
#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <map>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/richedit/rtf.h"

namespace {

// Groups nested deeper than this share the state of the deepest kept group:
// the stack stays small whatever the input, and braces still pair up.
constexpr int kMaxDepth = 256;
// RTF control words are at most 32 letters and parameters at most 10 digits;
// longer ones are read to their end but not kept (no word of the subset is
// that long, so a longer one is simply unknown).
constexpr int kMaxParamDigits = 10;
// The range an editor can show: 1 to 1638 points.
constexpr int kMinHalfPoints = 2, kMaxHalfPoints = 3276;
// Indents beyond 22 inches cannot be laid out on any page.
constexpr int kMaxIndent = 31680;
// A paragraph with more tab stops than this gains nothing from them.
constexpr std::size_t kMaxTabStops = 64;
// \ucN: how many fallback characters follow a \u character.
constexpr int kMaxFallbackChars = 16;

enum class Destination { Text, FontTable, ColorTable, Bullet, Skip };

// The control words the reader knows.
enum class Word {
  Unknown,
  // Destinations.
  FontTable, ColorTable, Bullet, Skipped,
  // Font and colour tables.
  FontCharset, FontPitch, Red, Green, Blue,
  // Characters.
  BulletLevel, Plain, Bold, Italic, Strike, UnderlineNone, Underline, FontSize, Font, TextColor,
  Highlight, Protect, DefaultFont, FallbackCount, Unicode,
  // Paragraphs.
  ParagraphDefault, AlignLeft, AlignRight, AlignCenter, AlignJustify, FirstIndent, LeftIndent,
  RightIndent, TabStop, ListStyle, Paragraph,
  // Words that stand for one character.
  Special,
};

struct WordEntry {
  std::string_view name;
  Word word;
  char32_t character = 0;  // of a Special word
};

// In name order for the reader of this table; Lookup finds them through a
// hash table made from it when the program is built.
constexpr auto kWords = std::to_array<WordEntry>({
    {"b", Word::Bold},
    {"bkmkend", Word::Skipped},
    {"bkmkstart", Word::Skipped},
    {"blue", Word::Blue},
    {"bullet", Word::Special, 0x2022},
    {"cb", Word::Highlight},
    {"cf", Word::TextColor},
    {"colorschememapping", Word::Skipped},
    {"colortbl", Word::ColorTable},
    {"datastore", Word::Skipped},
    {"deff", Word::DefaultFont},
    {"emdash", Word::Special, 0x2014},
    {"emspace", Word::Special, 0x2003},
    {"endash", Word::Special, 0x2013},
    {"enspace", Word::Special, 0x2002},
    {"f", Word::Font},
    {"fcharset", Word::FontCharset},
    {"fi", Word::FirstIndent},
    {"filetbl", Word::Skipped},
    {"fldinst", Word::Skipped},
    {"fonttbl", Word::FontTable},
    {"footer", Word::Skipped},
    {"footerf", Word::Skipped},
    {"footerl", Word::Skipped},
    {"footerr", Word::Skipped},
    {"fprq", Word::FontPitch},
    {"fs", Word::FontSize},
    {"generator", Word::Skipped},
    {"green", Word::Green},
    {"header", Word::Skipped},
    {"headerf", Word::Skipped},
    {"headerl", Word::Skipped},
    {"headerr", Word::Skipped},
    {"highlight", Word::Highlight},
    {"i", Word::Italic},
    {"info", Word::Skipped},
    {"latentstyles", Word::Skipped},
    {"ldblquote", Word::Special, 0x201C},
    {"li", Word::LeftIndent},
    {"line", Word::Special, 0x2028},
    {"listoverridetable", Word::Skipped},
    {"listtable", Word::Skipped},
    {"listtext", Word::Skipped},
    {"lquote", Word::Special, 0x2018},
    {"ls", Word::ListStyle},
    {"mmathPr", Word::Skipped},
    {"nonshppict", Word::Skipped},
    {"object", Word::Skipped},
    {"par", Word::Paragraph},
    {"pard", Word::ParagraphDefault},
    {"pict", Word::Skipped},
    {"plain", Word::Plain},
    {"pn", Word::Bullet},
    {"pnlvlblt", Word::BulletLevel},
    {"pntext", Word::Skipped},
    {"pntxta", Word::Skipped},
    {"pntxtb", Word::Skipped},
    {"protect", Word::Protect},
    {"qc", Word::AlignCenter},
    {"qj", Word::AlignJustify},
    {"ql", Word::AlignLeft},
    {"qmspace", Word::Special, 0x2005},
    {"qr", Word::AlignRight},
    {"rdblquote", Word::Special, 0x201D},
    {"red", Word::Red},
    {"revtbl", Word::Skipped},
    {"ri", Word::RightIndent},
    {"rquote", Word::Special, 0x2019},
    {"rsidtbl", Word::Skipped},
    {"strike", Word::Strike},
    {"stylesheet", Word::Skipped},
    {"tab", Word::Special, '\t'},
    {"themedata", Word::Skipped},
    {"tx", Word::TabStop},
    {"u", Word::Unicode},
    {"uc", Word::FallbackCount},
    {"ul", Word::Underline},
    {"uld", Word::Underline},
    {"uldash", Word::Underline},
    {"uldb", Word::Underline},
    {"ulnone", Word::UnderlineNone},
    {"ulth", Word::Underline},
    {"ulw", Word::Underline},
    {"xmlnstbl", Word::Skipped},
});

constexpr std::uint32_t WordHash(std::string_view name) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

// Open addressing over a table a few times larger than the word list, so a
// search ends after a slot or two. A slot holds a word's index plus one; 0
// marks it free.
constexpr std::size_t kSlots = 512;
static_assert(kSlots >= 4 * kWords.size() && kWords.size() < 255);

constexpr auto kWordSlots = [] {
  std::array<std::uint8_t, kSlots> slots{};
  for (std::size_t i = 0; i < kWords.size(); ++i) {
    std::size_t at = WordHash(kWords[i].name) % kSlots;
    while (slots[at] != 0) at = (at + 1) % kSlots;
    slots[at] = std::uint8_t(i + 1);
  }
  return slots;
}();

const WordEntry& Lookup(std::string_view name) {
  static constexpr WordEntry kUnknown{"", Word::Unknown};
  for (std::size_t at = WordHash(name) % kSlots; kWordSlots[at] != 0; at = (at + 1) % kSlots) {
    const WordEntry& entry = kWords[kWordSlots[at] - 1];
    if (entry.name == name) return entry;
  }
  return kUnknown;
}

// A byte that stands for itself in every destination: printable ASCII other
// than the three the grammar reserves. Runs of them are taken whole.
constexpr auto kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '{' && c != '}' && c != '\\';
  return plain;
}();

bool IsPlainByte(char c) { return kPlainBytes[static_cast<unsigned char>(c)]; }

// Control words are ASCII letters and digits whatever the locale says.
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Control characters are no text of a memo nor of a font's name (the writer
// has no way to write them); a tab is.
bool IsShownCharacter(char32_t c) { return c >= 0x20 || c == '\t'; }

struct GroupState {
  TRtfCharFormat chars;
  TRtfParaFormat para;
  Destination destination = Destination::Text;
  int fallbackChars = 1;
};

struct FontEntry {
  std::string name;
  TFontCharset charset = DEFAULT_CHARSET;
  TFontPitch pitch = fpDefault;
};

// The document: text in runs of equal format, paragraphs with their format.
class DocumentOutput {
 public:
  static constexpr bool kFormats = true;

  void Text(std::string_view utf8, const TRtfCharFormat& format) {
    if (!pending_.empty() && !(pendingFormat_ == format)) Flush();
    if (pending_.empty()) pendingFormat_ = format;
    pending_ += utf8;
  }
  void Flush() {
    if (pending_.empty()) return;
    std::vector<TRtfRun>& runs = paragraph_.Runs;
    if (!runs.empty() && runs.back().Format == pendingFormat_) runs.back().Text += pending_;
    else runs.push_back({std::move(pending_), pendingFormat_});
    pending_.clear();
  }
  void EndParagraph(const TRtfParaFormat& format) {
    Flush();
    paragraph_.Format = format;
    document_.Paragraphs.push_back(std::move(paragraph_));
    paragraph_ = TRtfParagraph{};
  }
  // A last paragraph without a paragraph mark counts when it has text.
  TRtfDocument Finish(const TRtfParaFormat& format) {
    Flush();
    if (!paragraph_.Runs.empty()) EndParagraph(format);
    return std::move(document_);
  }

 private:
  TRtfDocument document_;
  TRtfParagraph paragraph_;
  std::string pending_;
  TRtfCharFormat pendingFormat_;
};

// The text alone: paragraphs joined by the separator, as the document's
// PlainText gives them.
class TextOutput {
 public:
  static constexpr bool kFormats = false;

  TextOutput(std::string& out, std::string_view separator) : out_(out), separator_(separator) {}
  void Text(std::string_view utf8, const TRtfCharFormat&) {
    Open();
    out_ += utf8;
  }
  void Flush() {}
  void EndParagraph(const TRtfParaFormat&) {
    Open();
    ++paragraphs_;
    open_ = false;
  }
  void Finish(const TRtfParaFormat&) {}

 private:
  // A paragraph's separator is owed once it is known to be one: at its first
  // text or its mark (an empty last paragraph is no paragraph).
  void Open() {
    if (open_) return;
    if (paragraphs_ > 0) out_ += separator_;
    open_ = true;
  }
  std::string& out_;
  std::string_view separator_;
  std::size_t paragraphs_ = 0;
  bool open_ = false;
};

template <class Output>
class Reader {
 public:
  Reader(std::string_view in, Output& out) : in_(in), out_(out) {}

  auto Read() {
    state_.chars = DefaultChars();
    while (pos_ < in_.size()) Step();
    return out_.Finish(state_.para);
  }

 private:
  static constexpr bool kFormats = Output::kFormats;

  void Step() {
    const char c = in_[pos_];
    if (IsPlainByte(c) && skipFallback_ == 0 && PlainRun()) return;
    ++pos_;
    switch (c) {
      case '{': OpenGroup(); return;
      case '}': CloseGroup(); return;
      case '\\': ControlSequence(); return;
      case '\r':
      case '\n': return;  // line ends in RTF text are formatting of the file only
      default: Character(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
  }

  // Ordinary characters up to the next reserved or other byte, taken at once
  // where they are text or skipped; false leaves them to Character one by one.
  bool PlainRun() {
    const Destination d = state_.destination;
    if (d != Destination::Text && d != Destination::Skip && d != Destination::Bullet) return false;
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsPlainByte(in_[pos_])) ++pos_;
    if (d == Destination::Text) {
      highSurrogate_ = 0;
      out_.Text(in_.substr(start, pos_ - start), state_.chars);
    }
    return true;
  }

  // ---- Groups ----------------------------------------------------------------

  void OpenGroup() {
    if (stack_.size() >= kMaxDepth) {
      ++unkeptDepth_;
      return;
    }
    stack_.push_back(state_);
    ignorableNext_ = false;
  }

  void CloseGroup() {
    if (unkeptDepth_ > 0) {
      --unkeptDepth_;
      return;
    }
    if (stack_.empty()) return;  // an unmatched '}' closes nothing
    const Destination closing = state_.destination;
    if (closing == Destination::FontTable) CommitFont();
    if (closing == Destination::Text || closing == Destination::Bullet) out_.Flush();
    state_ = stack_.back();
    stack_.pop_back();
    if constexpr (kFormats) {
      // Text before any \f is in the default font, known once the table is read.
      if (closing == Destination::FontTable && state_.destination != Destination::FontTable &&
          state_.chars.FontName.empty())
        state_.chars = WithDefaultFont(state_.chars);
      // A bullet group sits inside the paragraph it marks.
      if (closing == Destination::Bullet && bulletSeen_) state_.para.Bullets = true;
      if (closing == Destination::Bullet) bulletSeen_ = false;
    }
  }

  // ---- Control words and symbols ---------------------------------------------

  void ControlSequence() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (IsLetter(c)) return ControlWord();
    ++pos_;
    switch (c) {
      case '\'': return HexCharacter();
      case '*': ignorableNext_ = true; return;
      case '\\':
      case '{':
      case '}': return Character(char32_t(c));
      case '~': return Character(0xA0);
      case '_': return Character(0x2011);
      case '\r':
      case '\n': return Paragraph();
      default: return;  // \- (optional hyphen) and unknown symbols show nothing
    }
  }

  void ControlWord() {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    const std::string_view name = in_.substr(start, pos_ - start);
    bool hasParam = false;
    long long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    int digits = 0;
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      if (digits++ < kMaxParamDigits) param = param * 10 + (in_[pos_] - '0');
      hasParam = true;
      ++pos_;
    }
    if (negative) param = -param;
    param = std::clamp<long long>(param, INT32_MIN, INT32_MAX);
    // A word the end of a damaged text cuts off may have lost digits: not applied.
    if (pos_ == in_.size()) return;
    if (in_[pos_] == ' ') ++pos_;  // the delimiting blank
    const bool ignorable = ignorableNext_;
    ignorableNext_ = false;
    Apply(Lookup(name), hasParam, int(param), ignorable);
  }

  void Apply(const WordEntry& w, bool hasParam, int n, bool ignorable) {
    if (state_.destination == Destination::Skip) return;
    if (ApplyDestination(w.word, ignorable)) return;
    if (state_.destination == Destination::ColorTable) return ApplyColorTableWord(w.word, n);
    // Before the font table's words: a font's name is text, and the writer
    // writes what the code page lacks as \u and a tab as \tab there too.
    if (ApplyTextWord(w, n)) return;
    if (state_.destination == Destination::FontTable) return ApplyFontTableWord(w.word, hasParam, n);
    if constexpr (kFormats) {
      if (ApplyCharacterWord(w.word, hasParam, n)) return;
      ApplyParagraphWord(w.word, n);
    }
  }

  // Starts a destination; false when `w` is none. An ignorable word the
  // reader does not know starts one that is skipped.
  bool ApplyDestination(Word w, bool ignorable) {
    Destination d;
    if (w == Word::FontTable) d = Destination::FontTable;
    else if (w == Word::ColorTable) d = Destination::ColorTable;
    else if (w == Word::Bullet) d = Destination::Bullet;
    else if (w == Word::Skipped || ignorable) d = Destination::Skip;
    else return false;
    if (state_.destination == Destination::Text) out_.Flush();
    state_.destination = d;
    return true;
  }

  // The words that make or place text; both outputs need them.
  bool ApplyTextWord(const WordEntry& w, int n) {
    switch (w.word) {
      case Word::FallbackCount: state_.fallbackChars = std::clamp(n, 0, kMaxFallbackChars); return true;
      case Word::Unicode: UnicodeCharacter(n); return true;
      case Word::Paragraph: Paragraph(); return true;
      case Word::Special: Character(w.character); return true;
      default: return false;
    }
  }

  bool ApplyCharacterWord(Word w, bool hasParam, int n) {
    TRtfCharFormat& f = state_.chars;
    const bool on = !hasParam || n != 0;
    switch (w) {
      case Word::BulletLevel: bulletSeen_ = true; break;
      case Word::Plain: f = DefaultChars(); break;
      case Word::Bold: SetStyle(fsBold, on); break;
      case Word::Italic: SetStyle(fsItalic, on); break;
      case Word::Strike: SetStyle(fsStrikeOut, on); break;
      case Word::UnderlineNone: SetStyle(fsUnderline, false); break;
      case Word::Underline: SetStyle(fsUnderline, on); break;
      case Word::FontSize: f.HalfPoints = std::clamp(hasParam ? n : 24, kMinHalfPoints, kMaxHalfPoints); break;
      case Word::Font: SetFont(n); break;
      case Word::TextColor: f.Color = ColorAt(n, clDefault); break;
      case Word::Highlight: f.Highlight = ColorAt(n, clNone); break;
      case Word::Protect: f.Protected = on; break;
      case Word::DefaultFont: defaultFont_ = n; break;
      default: return false;
    }
    return true;
  }

  void ApplyParagraphWord(Word w, int n) {
    TRtfParaFormat& p = state_.para;
    switch (w) {
      case Word::ParagraphDefault: p = TRtfParaFormat{}; break;
      case Word::AlignLeft: p.Alignment = TRtfAlignment::Left; break;
      case Word::AlignRight: p.Alignment = TRtfAlignment::Right; break;
      case Word::AlignCenter: p.Alignment = TRtfAlignment::Center; break;
      case Word::AlignJustify: p.Alignment = TRtfAlignment::Justify; break;
      case Word::FirstIndent: p.FirstIndent = std::clamp(n, -kMaxIndent, kMaxIndent); break;
      case Word::LeftIndent: p.LeftIndent = std::clamp(n, -kMaxIndent, kMaxIndent); break;
      case Word::RightIndent: p.RightIndent = std::clamp(n, -kMaxIndent, kMaxIndent); break;
      case Word::TabStop:
        if (p.TabStops.size() < kMaxTabStops) p.TabStops.push_back(std::clamp(n, 0, kMaxIndent));
        break;
      case Word::ListStyle: p.Bullets = n > 0; break;
      default: break;
    }
  }

  void SetStyle(TFontStyle style, bool on) {
    if (on) state_.chars.Style.Include(style);
    else state_.chars.Style.Exclude(style);
  }

  // ---- Font and colour tables ------------------------------------------------

  void ApplyFontTableWord(Word w, bool hasParam, int n) {
    if constexpr (kFormats) {
      if (w == Word::Font && hasParam) {
        CommitFont();
        fontNumber_ = n;
        font_ = FontEntry{};
        fontOpen_ = true;
      } else if (w == Word::FontCharset) {
        font_.charset = TFontCharset(std::clamp(n, 0, 255));
      } else if (w == Word::FontPitch) {
        font_.pitch = n == 1 ? fpFixed : n == 2 ? fpVariable : fpDefault;
      }
    }
  }

  void CommitFont() {
    if (!fontOpen_) return;
    fontOpen_ = false;
    font_.name = Trim(font_.name);
    fonts_[fontNumber_] = font_;
  }

  void ApplyColorTableWord(Word w, int n) {
    const int v = std::clamp(n, 0, 255);
    if (w == Word::Red) red_ = v;
    else if (w == Word::Green) green_ = v;
    else if (w == Word::Blue) blue_ = v;
    else return;
    colorGiven_ = true;
  }

  void ColorTableCharacter(char32_t c) {
    if (c != ';') return;
    colors_.push_back(colorGiven_ ? RGB(red_, green_, blue_) : clDefault);
    red_ = green_ = blue_ = 0;
    colorGiven_ = false;
  }

  TColor ColorAt(int index, TColor none) const {
    if (index <= 0 || std::size_t(index) >= colors_.size() || colors_[index] == clDefault) return none;
    return colors_[index];
  }

  void SetFont(int number) { state_.chars = WithFont(state_.chars, number); }

  TRtfCharFormat DefaultChars() const { return WithDefaultFont(TRtfCharFormat{}); }

  TRtfCharFormat WithDefaultFont(TRtfCharFormat f) const { return WithFont(f, defaultFont_); }

  // `f` in font `number` of the table; unchanged when the table has no such font.
  TRtfCharFormat WithFont(TRtfCharFormat f, int number) const {
    if (auto it = fonts_.find(number); it != fonts_.end()) {
      f.FontName = it->second.name;
      f.Charset = it->second.charset;
      f.Pitch = it->second.pitch;
    }
    return f;
  }

  // ---- Characters ------------------------------------------------------------

  void HexCharacter() {
    int value = 0;
    for (int i = 0; i < 2; ++i) {
      if (pos_ >= in_.size() || !std::isxdigit(static_cast<unsigned char>(in_[pos_]))) return;
      const char h = char(std::tolower(static_cast<unsigned char>(in_[pos_++])));
      value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
    }
    Character(Cp1252ToUnicode(static_cast<unsigned char>(value)));
  }

  // \uN gives a signed 16-bit unit; the characters after it are the fallback
  // for readers without Unicode and are dropped.
  void UnicodeCharacter(int n) {
    char32_t unit = char32_t(n < 0 ? n + 65536 : n) & 0xFFFF;
    skipFallback_ = state_.fallbackChars;
    if (unit >= 0xD800 && unit < 0xDC00) {
      highSurrogate_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
      if (highSurrogate_ == 0) return;
      unit = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
    }
    highSurrogate_ = 0;
    Put(unit);
  }

  void Character(char32_t c) {
    if (skipFallback_ > 0) {
      --skipFallback_;
      return;
    }
    Put(c);
  }

  // A character where the destination keeps it: a font's name takes \u
  // characters as text does, since the writer writes names it cannot put in
  // the code page that way.
  void Put(char32_t c) {
    switch (state_.destination) {
      case Destination::Text: return AppendText(c);
      case Destination::FontTable:
        if constexpr (kFormats) {
          if (c == ';') CommitFont();
          else if (fontOpen_ && IsShownCharacter(c)) Utf8Append(font_.name, c);
        }
        return;
      case Destination::ColorTable:
        if constexpr (kFormats) ColorTableCharacter(c);
        return;
      case Destination::Bullet:
      case Destination::Skip: return;
    }
  }

  void AppendText(char32_t c) {
    if (state_.destination != Destination::Text) return;
    highSurrogate_ = 0;
    if (!IsShownCharacter(c)) return;
    std::string utf8;  // at most four bytes: kept in the string itself
    Utf8Append(utf8, c);
    out_.Text(utf8, state_.chars);
  }

  // ---- Paragraphs ------------------------------------------------------------

  void Paragraph() {
    if (state_.destination != Destination::Text) return;
    out_.EndParagraph(state_.para);
  }

  std::string_view in_;
  Output& out_;
  std::size_t pos_ = 0;
  GroupState state_;
  std::vector<GroupState> stack_;
  int unkeptDepth_ = 0;
  bool ignorableNext_ = false;
  bool bulletSeen_ = false;
  int skipFallback_ = 0;
  char32_t highSurrogate_ = 0;

  std::map<int, FontEntry> fonts_;
  int defaultFont_ = 0;
  FontEntry font_;
  int fontNumber_ = 0;
  bool fontOpen_ = false;
  std::vector<TColor> colors_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colorGiven_ = false;
};

}  // namespace

TRtfDocument RtfRead(std::string_view rtf) {
  DocumentOutput out;
  return Reader<DocumentOutput>(rtf, out).Read();
}

std::string RtfPlainText(std::string_view rtf, std::string_view separator) {
  std::string out;
  out.reserve(rtf.size());  // the text is mostly shorter than its markup
  TextOutput text(out, separator);
  Reader<TextOutput>(rtf, text).Read();
  return out;
}
