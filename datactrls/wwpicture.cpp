#include "datactrls/wwpicture.h"

#include <algorithm>
#include <iterator>

#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(TwwPictureValidator, TObject)

namespace {

std::u32string ToCodePoints(std::string_view s) {
  std::u32string out;
  std::size_t pos = 0;
  while (pos < s.size()) out += Utf8Decode(s, pos);
  return out;
}

std::string FromCodePoints(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) Utf8Append(out, c);
  return out;
}

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool IsLetter(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || c > 128;
}
char32_t AsciiUpper(char32_t c) { return (c >= U'a' && c <= U'z') ? c - 32 : c; }

// The characters that are not literals when literals are filled in.
bool IsMaskSpecial(char32_t c) {
  return std::u32string_view(U"#?&~!@*{}[],").find(c) != std::u32string_view::npos || c == 0;
}

// Deepest nesting of parts and repetitions a mask may have: the matcher recurses
// once per level, and no mask of the design's 254 characters needs more.
constexpr int kMaxMaskNesting = 128;

bool SyntaxOk(const std::u32string& mask) {
  if (mask.empty()) return false;
  std::size_t n = mask.size();
  if (mask[n - 1] == U';') return false;
  if (mask[n - 1] == U'*' && (n < 2 || mask[n - 2] != U';')) return false;
  int brackets = 0;
  int braces = 0;
  int deepest = 0;
  int starRun = 0;  // repetitions that repeat a repetition: "*2*3#"
  bool afterStar = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t c = mask[i];
    if (c == U'*') {
      starRun = afterStar ? starRun + 1 : 1;
      afterStar = true;
    } else if (!(afterStar && c >= U'0' && c <= U'9')) {
      afterStar = false;
    }
    switch (c) {
      case U';': ++i; break;
      case U'[': ++brackets; break;
      case U']': --brackets; break;
      case U'{': ++braces; break;
      case U'}': --braces; break;
      default: break;
    }
    deepest = std::max(deepest, brackets + braces + starRun);
  }
  return brackets == 0 && braces == 0 && deepest <= kMaxMaskNesting;
}

// A mask whose bytes are not UTF-8 would fill in and store U+FFFD for a
// literal it then compares with the original bytes, and a NUL is where the
// matcher sees the mask's end: such a mask is malformed.
bool MaskOk(const std::string& mask) {
  return IsValidUtf8(mask) && mask.find('\0') == std::string::npos &&
         SyntaxOk(ToCodePoints(mask));
}

bool IsComplete(TwwPicResult r) { return r == pmComplete || r == pmAmbiguous; }
bool IsIncomplete(TwwPicResult r) { return r == pmIncomplete || r == pmIncompleteNoFill; }

// One matching run. I (mask) and J (text) are 1-based positions shared by all
// steps of the run; every bound B is an exclusive mask position.
class Matcher {
 public:
  Matcher(const std::u32string& mask, std::u32string& text, bool blankForLiteral)
      : mask_(mask), text_(text), blankForLiteral_(blankForLiteral) {}

  TwwPicResult Run() {
    I = 1;
    J = 1;
    return Alternatives(End());
  }
  int End() const { return static_cast<int>(mask_.size()) + 1; }
  bool TextLeft() const { return J <= TextLength(); }
  // Appends the literals that stand at I; true when any was appended.
  bool FillLiterals() {
    bool appended = false;
    while (I < End() && !IsMaskSpecial(M(I))) {
      if (M(I) == U';') ++I;
      if (I >= End()) break;
      text_ += M(I);
      ++I;
      appended = true;
    }
    return appended;
  }

 private:
  char32_t M(int p) const {
    return p >= 1 && p <= static_cast<int>(mask_.size()) ? mask_[static_cast<std::size_t>(p - 1)]
                                                         : 0;
  }
  int TextLength() const { return static_cast<int>(text_.size()); }
  void Consume(char32_t c) {
    text_[static_cast<std::size_t>(J - 1)] = c;
    ++J;
    ++I;
  }

  // The position after the item at p: one character, ";x", a bracketed part
  // with everything nested in it, or "*", its digits and the item after them.
  int SkipItem(int p, int bound) const {
    int brackets = 0;
    int braces = 0;
    do {
      if (p >= bound) return p;
      switch (M(p)) {
        case U'[': ++brackets; break;
        case U']': --brackets; break;
        case U'{': ++braces; break;
        case U'}': --braces; break;
        case U';': ++p; break;
        case U'*':
          ++p;
          while (IsDigit(M(p))) ++p;
          p = SkipItem(p, bound);
          continue;
        default: break;
      }
      ++p;
    } while (brackets > 0 || braces > 0);
    return p;
  }

  // A {...} group that can match no text: one of its alternatives consists only
  // of parts that may be left out. Each alternative is examined up to the "," or
  // "}" that ends it, so a required last item keeps the group from being skipped.
  bool GroupCanBeEmpty(int p, int bound) const {
    int close = SkipItem(p, bound) - 1;  // the closing brace
    int start = p + 1;
    int q = start;
    while (q < close) {
      if (M(q) == U',') {
        if (OptionalRest(pmIncomplete, start, q) == pmAmbiguous) return true;
        start = q + 1;
        q = start;
        continue;
      }
      q = SkipItem(q, close);
    }
    return OptionalRest(pmIncomplete, start, close) == pmAmbiguous;
  }

  // The text ended before the mask: what is left of the mask may all be optional.
  TwwPicResult OptionalRest(TwwPicResult r, int p, int bound) const {
    if (!IsIncomplete(r)) return r;
    while (p < bound) {
      char32_t c = M(p);
      if (c == U'[') {
        p = SkipItem(p, bound);
      } else if (c == U'*' && !IsDigit(M(p + 1))) {
        p = SkipItem(p + 1, bound);
      } else if (c == U'*') {
        if (p + 2 < bound && M(p + 2) == U'[')
          p = SkipItem(p + 2, bound);
        else
          return r;
      } else if (c == U',') {
        // This alternative is finished: go to the end of the enclosing group.
        int braces = 1;
        while (p < bound && braces > 0) {
          if (M(p) == U';') ++p;
          else if (M(p) == U'{') ++braces;
          else if (M(p) == U'}') --braces;
          ++p;
        }
      } else if (c == U'{') {
        if (!GroupCanBeEmpty(p, bound)) return r;
        p = SkipItem(p, bound);
      } else {
        return r;
      }
    }
    return pmAmbiguous;
  }

  TwwPicResult Alternatives(int bound) {
    int oldI = I;
    int oldJ = J;
    bool incompleteSeen = false;
    int incompleteI = 0;
    int incompleteJ = 0;
    trailingBlankMatched_ = false;
    for (;;) {
      TwwPicResult r = Sequence(bound);
      // A complete alternative counts only when it got further than the first
      // incomplete one.
      if (IsComplete(r) && incompleteSeen && J < incompleteJ) {
        r = pmIncomplete;
        J = incompleteJ;
      }
      if (r != pmError && r != pmIncomplete)
        return (r == pmComplete && incompleteSeen) ? pmAmbiguous : r;

      if (r == pmIncomplete && !incompleteSeen) {
        incompleteSeen = true;
        incompleteI = I;
        incompleteJ = J;
      }
      I = oldI;
      J = oldJ;
      while (I < bound && M(I) != U',') I = SkipItem(I, bound);
      if (I < bound) ++I;  // over the ","
      if (I >= bound) {
        if (!incompleteSeen) return r;
        I = incompleteI;
        J = incompleteJ;
        return pmIncomplete;
      }
      oldI = I;
    }
  }

  TwwPicResult Sequence(int bound) {
    TwwPicResult r = pmEmpty;
    while (I < bound && M(I) != U',') {
      if (J > TextLength()) return OptionalRest(r, I, bound);
      char32_t ch = text_[static_cast<std::size_t>(J - 1)];
      switch (M(I)) {
        case U'#':
          if (!IsDigit(ch)) return pmError;
          Consume(ch);
          break;
        case U'?':
          if (!IsLetter(ch)) return pmError;
          Consume(ch);
          break;
        case U'&':
          if (!IsLetter(ch)) return pmError;
          Consume(UnicodeUpper(ch));
          break;
        case U'~':
          if (!IsLetter(ch)) return pmError;
          Consume(UnicodeLower(ch));
          break;
        case U'!': Consume(UnicodeUpper(ch)); break;
        case U'@': Consume(ch); break;
        case U'*':
          r = Repetition(bound);
          if (!IsComplete(r)) return r;
          break;
        case U'{':
          r = Group(bound);
          if (!IsComplete(r)) return r;
          break;
        case U'[':
          r = Group(bound);
          if (IsIncomplete(r)) return r;
          if (r == pmError) r = pmAmbiguous;  // the optional part is left out
          break;
        default:
          if (!Literal(ch)) return pmError;
          break;
      }
      r = r == pmAmbiguous ? pmIncompleteNoFill : pmIncomplete;
    }
    return r == pmIncompleteNoFill ? pmAmbiguous : pmComplete;
  }

  bool Literal(char32_t ch) {
    if (M(I) == U';') ++I;
    char32_t lit = M(I);
    if (I >= End()) return false;
    const bool lastCharacter = J == TextLength();
    if (AsciiUpper(lit) == AsciiUpper(ch)) {
      if (ch == U' ' && lastCharacter) trailingBlankMatched_ = true;
      Consume(lit);
      return true;
    }
    // A blank typed last stands for the literal due here, unless a trailing blank
    // already matched a literal blank in this alternatives match.
    if (blankForLiteral_ && ch == U' ' && lit != U' ' && lastCharacter && !trailingBlankMatched_) {
      Consume(lit);
      return true;
    }
    return false;
  }

  TwwPicResult Group(int bound) {
    int end = SkipItem(I, bound);
    ++I;
    TwwPicResult r = Alternatives(end - 1);
    if (!IsIncomplete(r)) I = end;
    return r;
  }

  TwwPicResult Repetition(int bound) {
    ++I;
    std::uint8_t count = 0;  // counts wrap above 255, as the positions do
    while (IsDigit(M(I))) {
      count = static_cast<std::uint8_t>(count * 10 + (M(I) - U'0'));
      ++I;
    }
    if (I >= bound) return pmSyntax;
    const int start = I;
    const int end = SkipItem(start, bound);
    TwwPicResult r = pmComplete;
    if (count > 0) {
      for (int n = 0; n < count; ++n) {
        I = start;
        const int before = J;
        r = Alternatives(end);
        if (!IsComplete(r)) {
          if (r == pmEmpty) return M(I) == U'[' ? pmComplete : pmIncomplete;
          return r;
        }
        // A round that took no text leaves the state as it found it: the
        // remaining rounds would do the same. Stopping here keeps nested counts
        // ("*70*70*70*a") from multiplying into billions of rounds.
        if (J == before) break;
      }
      I = end;
      return r;
    }
    for (;;) {
      I = start;
      int before = J;
      r = Alternatives(end);
      if (J == before || !IsComplete(r)) break;
    }
    if (r == pmEmpty || r == pmError) r = pmAmbiguous;
    I = end;
    return r;
  }

  const std::u32string& mask_;
  std::u32string& text_;
  const bool blankForLiteral_;
  bool trailingBlankMatched_ = false;

 public:
  int I = 1;
  int J = 1;
};

// One match of text against mask; blankForLiteral lets a trailing blank stand
// for the literal due, autoFill appends the literals that must follow.
TwwPicResult MatchOnce(const std::u32string& mask, std::u32string& chars, bool blankForLiteral,
                       bool autoFill) {
  Matcher m(mask, chars, blankForLiteral);
  TwwPicResult r = m.Run();
  if (r != pmError && r != pmSyntax && m.TextLeft()) r = pmError;
  if (r == pmIncomplete && autoFill && m.FillLiterals()) r = m.Run();
  if (r == pmAmbiguous) return pmComplete;
  if (r == pmIncompleteNoFill) return pmIncomplete;
  return r;
}

// A text the matcher produced must come back unchanged, with the same result,
// when matched again: otherwise a later keystroke would undo or grow it. A
// complete one must also pass as a finished value, which is matched without help.
bool Settled(const std::u32string& mask, const std::u32string& produced, TwwPicResult r,
             bool blankForLiteral, bool autoFill) {
  std::u32string again = produced;
  if (MatchOnce(mask, again, blankForLiteral, autoFill) != r || again != produced) return false;
  if (r != pmComplete) return true;
  again = produced;
  return MatchOnce(mask, again, false, false) == pmComplete && again == produced;
}

}  // namespace

bool TwwPictureValidator::IsValidMask(const std::string& mask) { return MaskOk(mask); }

TwwPictureValidator::TwwPictureValidator(const std::string& mask, bool autoFill) : Mask(mask) {
  if (autoFill) Options |= voAutoFill;
  std::string empty;
  if (MatchPicture(empty, false) != pmEmpty) Status = 1;
}

bool TwwPictureValidator::ValidateInput(std::string& text, bool suppressFill) {
  if (Mask.empty()) return true;
  bool fill = (Options & voAutoFill) != 0 && !suppressFill;
  return MatchPicture(text, fill) != pmError;
}

bool TwwPictureValidator::ValidateValue(const std::string& text) {
  if (Mask.empty()) return true;
  std::string copy = text;
  TwwPicResult r = MatchPicture(copy, false);
  return r == pmComplete || r == pmEmpty;
}

namespace {

struct TMatched {
  TwwPicResult result;
  std::u32string chars;
  bool operator==(const TMatched&) const = default;
};

// Matches typed with the help given from tries[first] on (see MatchPicture).
TMatched MatchWithHelp(const std::u32string& mask, const std::u32string& typed, bool autoFill,
                       std::size_t first) {
  // A blank taken for a literal or literals filled in can lead the greedy
  // matcher down a path the result does not match again ("*~V": the filled "V"
  // is then taken as a letter). Such help is withdrawn, the boldest first.
  struct Help {
    bool blankForLiteral, fill;
  };
  const Help tries[] = {{true, autoFill}, {false, autoFill}, {false, false}};
  // A text that already is a finished value stays it: the help is for texts
  // being typed and must not read a valid value as another one.
  std::u32string chars = typed;
  TwwPicResult r = MatchOnce(mask, chars, false, false);
  if (r != pmComplete) {
    for (std::size_t i = first; i < std::size(tries); ++i) {
      const Help& h = tries[i];
      chars = typed;
      r = MatchOnce(mask, chars, h.blankForLiteral, h.fill);
      if (r == pmError || r == pmSyntax || Settled(mask, chars, r, h.blankForLiteral, h.fill))
        break;
    }
  }
  return {r, chars};
}

// Rounds of matching a result again before one is taken as it is: each round
// only withdraws help, so a mask settles in a few.
constexpr int kMaxSettleRounds = 8;

}  // namespace

TwwPicResult TwwPictureValidator::MatchPicture(std::string& text, bool autoFill) {
  if (!MaskOk(Mask)) return pmSyntax;
  if (text.empty()) return pmEmpty;
  const std::u32string mask = ToCodePoints(Mask);
  const std::u32string typed = ToCodePoints(text);
  // A result must come back unchanged when the whole match runs on it again:
  // the help one try gave may read the result otherwise ("! " from "!" with a
  // literal blank filled in, then taken as a blank typed for a literal). Then
  // less help is given, and at last the result itself is matched until it stays.
  TMatched m{};
  bool settled = false;
  for (std::size_t first = 0; first < 3 && !settled; ++first) {
    m = MatchWithHelp(mask, typed, autoFill, first);
    settled = m.result == pmError || m.result == pmSyntax || MatchWithHelp(mask, m.chars, autoFill, 0) == m;
  }
  for (int round = 0; round < kMaxSettleRounds && !settled; ++round) {
    const TMatched again = MatchWithHelp(mask, m.chars, autoFill, 0);
    if (again.result == pmError || again.result == pmSyntax) break;  // keeps what was typed acceptable
    settled = again == m;
    m = again;
  }
  text = FromCodePoints(m.chars);
  return m.result;
}
