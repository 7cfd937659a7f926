// The RTF reader: one pass over the text with a stack of group states. Control
// words outside the subset are ignored; destinations outside it are skipped
// whole. Every limit below keeps damaged input from costing more than a pass.
#include <algorithm>
#include <cctype>
#include <climits>
#include <map>

#include "platform/classlib/core/strutils.h"
#include "platform/classlib/richedit/rtf.h"

namespace {

// Groups nested deeper than this share the state of the deepest kept group:
// the stack stays small whatever the input, and braces still pair up.
constexpr int kMaxDepth = 256;
// RTF control words are at most 32 letters and parameters at most 10 digits;
// longer ones are read to their end but not kept.
constexpr std::size_t kMaxWordLength = 32;
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

// Destinations whose content is never text of the document.
bool IsSkippedDestination(std::string_view word) {
  static constexpr std::string_view kSkipped[] = {
      "stylesheet", "info",        "pict",       "object",     "header",   "headerl",
      "headerr",    "headerf",     "footer",     "footerl",    "footerr",  "footerf",
      "listtable",  "listoverridetable",        "rsidtbl",    "generator", "xmlnstbl",
      "themedata",  "colorschememapping",       "latentstyles", "datastore", "mmathPr",
      "fldinst",    "pntext",      "pntxta",     "pntxtb",     "listtext", "bkmkstart",
      "bkmkend",    "filetbl",     "revtbl",     "nonshppict"};
  return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  TRtfDocument Read() {
    state_.chars = DefaultChars();
    while (pos_ < in_.size()) Step();
    FlushText();
    if (!paragraph_.Runs.empty()) EndParagraph();
    return std::move(document_);
  }

 private:
  void Step() {
    const char c = in_[pos_++];
    switch (c) {
      case '{': OpenGroup(); return;
      case '}': CloseGroup(); return;
      case '\\': ControlSequence(); return;
      case '\r':
      case '\n': return;  // line ends in RTF text are formatting of the file only
      default: Character(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
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
    if (closing == Destination::Text || closing == Destination::Bullet) FlushText();
    state_ = stack_.back();
    stack_.pop_back();
    // Text before any \f is in the default font, known once the table is read.
    if (closing == Destination::FontTable && state_.destination != Destination::FontTable &&
        state_.chars.FontName.empty())
      state_.chars = WithDefaultFont(state_.chars);
    // A bullet group sits inside the paragraph it marks.
    if (closing == Destination::Bullet && bulletSeen_) state_.para.Bullets = true;
    if (closing == Destination::Bullet) bulletSeen_ = false;
  }

  // ---- Control words and symbols ---------------------------------------------

  void ControlSequence() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c))) return ControlWord();
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
    std::string word;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_]))) {
      if (word.size() < kMaxWordLength) word += in_[pos_];
      ++pos_;
    }
    bool hasParam = false;
    long long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    int digits = 0;
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
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
    Apply(word, hasParam, int(param), ignorable);
  }

  void Apply(const std::string& w, bool hasParam, int n, bool ignorable) {
    if (state_.destination == Destination::Skip) return;
    if (ApplyDestination(w, ignorable)) return;
    if (state_.destination == Destination::FontTable) return ApplyFontTableWord(w, hasParam, n);
    if (state_.destination == Destination::ColorTable) return ApplyColorTableWord(w, n);
    if (w == "pnlvlblt") {
      bulletSeen_ = true;
      return;
    }
    if (ApplyCharacterWord(w, hasParam, n)) return;
    if (ApplyParagraphWord(w, n)) return;
    ApplySpecialCharacter(w, n);
  }

  // Starts a destination; false when `w` is none.
  bool ApplyDestination(const std::string& w, bool ignorable) {
    Destination d;
    if (w == "fonttbl") d = Destination::FontTable;
    else if (w == "colortbl") d = Destination::ColorTable;
    else if (w == "pn") d = Destination::Bullet;
    else if (IsSkippedDestination(w) || (ignorable && !IsKnownWord(w))) d = Destination::Skip;
    else return false;
    if (state_.destination == Destination::Text) FlushText();
    state_.destination = d;
    return true;
  }

  static bool IsKnownWord(const std::string& w) {
    return w == "pn" || w == "fonttbl" || w == "colortbl";
  }

  bool ApplyCharacterWord(const std::string& w, bool hasParam, int n) {
    TRtfCharFormat& f = state_.chars;
    const bool on = !hasParam || n != 0;
    if (w == "plain") f = DefaultChars();
    else if (w == "b") SetStyle(fsBold, on);
    else if (w == "i") SetStyle(fsItalic, on);
    else if (w == "strike") SetStyle(fsStrikeOut, on);
    else if (w == "ulnone") SetStyle(fsUnderline, false);
    else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "ulth" || w == "uldash")
      SetStyle(fsUnderline, on);
    else if (w == "fs") f.HalfPoints = std::clamp(hasParam ? n : 24, kMinHalfPoints, kMaxHalfPoints);
    else if (w == "f") SetFont(n);
    else if (w == "cf") f.Color = ColorAt(n, clDefault);
    else if (w == "highlight" || w == "cb") f.Highlight = ColorAt(n, clNone);
    else if (w == "protect") f.Protected = on;
    else if (w == "deff") defaultFont_ = n;
    else if (w == "uc") state_.fallbackChars = std::clamp(n, 0, kMaxFallbackChars);
    else if (w == "u") UnicodeCharacter(n);
    else return false;
    return true;
  }

  bool ApplyParagraphWord(const std::string& w, int n) {
    TRtfParaFormat& p = state_.para;
    if (w == "pard") p = TRtfParaFormat{};
    else if (w == "ql") p.Alignment = TRtfAlignment::Left;
    else if (w == "qr") p.Alignment = TRtfAlignment::Right;
    else if (w == "qc") p.Alignment = TRtfAlignment::Center;
    else if (w == "qj") p.Alignment = TRtfAlignment::Justify;
    else if (w == "fi") p.FirstIndent = std::clamp(n, -kMaxIndent, kMaxIndent);
    else if (w == "li") p.LeftIndent = std::clamp(n, -kMaxIndent, kMaxIndent);
    else if (w == "ri") p.RightIndent = std::clamp(n, -kMaxIndent, kMaxIndent);
    else if (w == "tx") {
      if (p.TabStops.size() < kMaxTabStops) p.TabStops.push_back(std::clamp(n, 0, kMaxIndent));
    } else if (w == "ls") p.Bullets = n > 0;
    else if (w == "par") Paragraph();
    else return false;
    return true;
  }

  void ApplySpecialCharacter(const std::string& w, int) {
    static const std::map<std::string, char32_t, std::less<>> kCharacters = {
        {"line", 0x2028},   {"tab", '\t'},       {"emdash", 0x2014},    {"endash", 0x2013},
        {"bullet", 0x2022}, {"lquote", 0x2018},  {"rquote", 0x2019},    {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005}};
    if (auto it = kCharacters.find(w); it != kCharacters.end()) Character(it->second);
  }

  void SetStyle(TFontStyle style, bool on) {
    if (on) state_.chars.Style.Include(style);
    else state_.chars.Style.Exclude(style);
  }

  // ---- Font and colour tables ------------------------------------------------

  void ApplyFontTableWord(const std::string& w, bool hasParam, int n) {
    if (w == "f" && hasParam) {
      CommitFont();
      fontNumber_ = n;
      font_ = FontEntry{};
      fontOpen_ = true;
    } else if (w == "fcharset") {
      font_.charset = TFontCharset(std::clamp(n, 0, 255));
    } else if (w == "fprq") {
      font_.pitch = n == 1 ? fpFixed : n == 2 ? fpVariable : fpDefault;
    }
  }

  void CommitFont() {
    if (!fontOpen_) return;
    fontOpen_ = false;
    font_.name = Trim(font_.name);
    fonts_[fontNumber_] = font_;
  }

  void ApplyColorTableWord(const std::string& w, int n) {
    const int v = std::clamp(n, 0, 255);
    if (w == "red") red_ = v;
    else if (w == "green") green_ = v;
    else if (w == "blue") blue_ = v;
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
    AppendText(unit);
  }

  void Character(char32_t c) {
    if (skipFallback_ > 0) {
      --skipFallback_;
      return;
    }
    switch (state_.destination) {
      case Destination::Text: return AppendText(c);
      case Destination::FontTable:
        if (c == ';') CommitFont();
        else if (fontOpen_) Utf8Append(font_.name, c);
        return;
      case Destination::ColorTable: return ColorTableCharacter(c);
      case Destination::Bullet:
      case Destination::Skip: return;
    }
  }

  void AppendText(char32_t c) {
    if (state_.destination != Destination::Text) return;
    highSurrogate_ = 0;
    if (c < 0x20 && c != '\t') return;  // control bytes are no text of a memo
    if (!pending_.empty() && !(pendingFormat_ == state_.chars)) FlushText();
    if (pending_.empty()) pendingFormat_ = state_.chars;
    Utf8Append(pending_, c);
  }

  // ---- Paragraphs ------------------------------------------------------------

  void FlushText() {
    if (pending_.empty()) return;
    std::vector<TRtfRun>& runs = paragraph_.Runs;
    if (!runs.empty() && runs.back().Format == pendingFormat_) runs.back().Text += pending_;
    else runs.push_back({std::move(pending_), pendingFormat_});
    pending_.clear();
  }

  void Paragraph() {
    if (state_.destination != Destination::Text) return;
    FlushText();
    EndParagraph();
  }

  void EndParagraph() {
    paragraph_.Format = state_.para;
    document_.Paragraphs.push_back(std::move(paragraph_));
    paragraph_ = TRtfParagraph{};
  }

  std::string_view in_;
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

  TRtfDocument document_;
  TRtfParagraph paragraph_;
  std::string pending_;
  TRtfCharFormat pendingFormat_;
};

}  // namespace

TRtfDocument RtfRead(std::string_view rtf) { return Reader(rtf).Read(); }
