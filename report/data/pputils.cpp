#include "report/data/pputils.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/classlib/controls/forms.h"
#include "platform/classlib/core/filer.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/images.h"
#include "platform/classlib/stdctrls/maskedit.h"

namespace {

// Inches per millimetre and its inverse, as the stored layouts were measured.
constexpr double kInchPerMM = 0.03937;
constexpr double kMMPerInch = 25.4000508001016;

// Round half to even in a wide type; the callers clamp to their range.
double RoundEven(double v) { return std::nearbyint(v); }

int32_t ClampInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int testScreenDpi = 0;

int Resolution(TppUnitType units, int dpi) {
  if (units == utPrinterPixels && dpi > 0) return dpi;
  return ppScreenPixelsPerInch();
}

}  // namespace

int ppScreenPixelsPerInch() {
  if (testScreenDpi > 0) return testScreenDpi;
  return Screen ? Screen->PixelsPerInch() : 96;
}

void ppSetScreenPixelsPerInch(int dpi) { testScreenDpi = dpi > 0 ? dpi : 0; }

// ---- Unit conversion --------------------------------------------------------

float ppFromMMThousandths(int32_t value, TppUnitType units, int dpi) {
  const double v = value;
  switch (units) {
    case utScreenPixels:
    case utPrinterPixels:
      return static_cast<float>(RoundEven(v * 0.001 * kInchPerMM * Resolution(units, dpi)));
    case utInches:
      return static_cast<float>(RoundEven(v * 0.001 * kInchPerMM * 10000) * 0.0001);
    case utMillimeters:
      return static_cast<float>(v * 0.001);
    case utMMThousandths:
      return static_cast<float>(v);
  }
  return 0;
}

int32_t ppToMMThousandths(float value, TppUnitType units, int dpi) {
  const double u = value;
  switch (units) {
    case utScreenPixels:
    case utPrinterPixels:
      return ClampInt32(RoundEven(u / Resolution(units, dpi) * kMMPerInch * 1000));
    case utInches:
      return ClampInt32(RoundEven(kMMPerInch * u * 1000));
    case utMillimeters:
      return ClampInt32(RoundEven(u * 1000));
    case utMMThousandths:
      return ClampInt32(std::trunc(u));
  }
  return 0;
}

float ppFromScreenPixels(int pixels, TppUnitType units) {
  return ppFromMMThousandths(ppToMMThousandths(static_cast<float>(pixels), utScreenPixels),
                             units);
}

int ppToScreenPixels(float value, TppUnitType units) {
  return ppMMToPixels(ppToMMThousandths(value, units), ppScreenPixelsPerInch());
}

int ppMMToPixels(int32_t value, int dpi) {
  if (dpi <= 0) dpi = ppScreenPixelsPerInch();
  return static_cast<int>(std::trunc(value * 0.001 * kInchPerMM * dpi));
}

float ppFromTenthsOfMM(int tenths, TppUnitType units) {
  const int64_t thousandths = static_cast<int64_t>(tenths) * 100;
  switch (units) {
    case utMillimeters:
      return static_cast<float>(RoundEven(tenths * 0.1));
    case utInches:
      return ppFromScreenPixels(ppMMToPixels(ClampInt32(thousandths), 0), utInches);
    default:
      return ppFromMMThousandths(ClampInt32(thousandths), units);
  }
}

int ppToTenthsOfMM(float value, TppUnitType units) {
  switch (units) {
    case utMillimeters:
      return ClampInt32(RoundEven(value * 10.0));
    case utMMThousandths:
      return ClampInt32(RoundEven(value * 0.01));
    default:
      return ppToMMThousandths(value, units) / 100;
  }
}

int32_t ppReadCoordinate(double stored) { return ClampInt32(RoundEven(stored)); }

int32_t ppReadMMValue(TReader* reader) {
  switch (reader->NextValue()) {
    case vaInt8: case vaInt16: case vaInt32: case vaInt64:
      return ClampInt32(double(reader->ReadInt64()));
    default:
      return ppReadCoordinate(reader->ReadFloat());
  }
}

// ---- The page definition ------------------------------------------------------

IMPLEMENT_CLASS(TppPageDef, TPersistent)
PUBLISHED(TppPageDef) {
  PROP_INT(mmHeight, mmHeight, SetmmHeight, 0);
  PROP_INT(mmMarginBottom, mmMarginBottom, SetmmMarginBottom, 0);
  PROP_INT(mmMarginLeft, mmMarginLeft, SetmmMarginLeft, 0);
  PROP_INT(mmMarginRight, mmMarginRight, SetmmMarginRight, 0);
  PROP_INT(mmMarginTop, mmMarginTop, SetmmMarginTop, 0);
  PROP_INT(mmWidth, mmWidth, SetmmWidth, 0);
}

void TppPageDef::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TppPageDef*>(source);
  if (!other) return inherited::Assign(source);
  mmHeight_ = other->mmHeight_;
  mmWidth_ = other->mmWidth_;
  mmMarginLeft_ = other->mmMarginLeft_;
  mmMarginRight_ = other->mmMarginRight_;
  mmMarginTop_ = other->mmMarginTop_;
  mmMarginBottom_ = other->mmMarginBottom_;
}

bool TppPageDef::operator==(const TppPageDef& o) const {
  return mmHeight_ == o.mmHeight_ && mmWidth_ == o.mmWidth_ &&
         mmMarginLeft_ == o.mmMarginLeft_ && mmMarginRight_ == o.mmMarginRight_ &&
         mmMarginTop_ == o.mmMarginTop_ && mmMarginBottom_ == o.mmMarginBottom_;
}

int64_t TppPageDef::mmPrintableWidth() const {
  return int64_t{mmWidth_} - (int64_t{mmMarginLeft_} + mmMarginRight_);
}

int64_t TppPageDef::mmPrintableHeight() const {
  return int64_t{mmHeight_} - (int64_t{mmMarginTop_} + mmMarginBottom_);
}

TRect TppPageDef::PrintableRect() const {
  return {mmMarginLeft_, mmMarginTop_, ClampInt32(double(mmWidth_) - mmMarginRight_),
          ClampInt32(double(mmHeight_) - mmMarginBottom_)};
}

int TppPageDef::PageWidthPixels() const { return ppMMToPixels(mmWidth_, 0); }
int TppPageDef::PageHeightPixels() const { return ppMMToPixels(mmHeight_, 0); }
int TppPageDef::PrintableWidthPixels() const {
  return ppMMToPixels(ClampInt32(double(mmPrintableWidth())), 0);
}

IMPLEMENT_CLASS(TppFont, TFont)
PUBLISHED(TppFont) {
  PROP_INT(Height, Height, SetHeight, -11).Stored(false);
  PROP_INT(Size, Size, SetSize, 8).AlwaysStored();
}

// ---- Messages ----------------------------------------------------------------

int ppLanguageBase(int language) {
  static constexpr int kBases[] = {43500, 48000, 46500, 43000, 46000, 45000, 45500,
                                   44500, 44000, 47000, 47500, 48500, 49000};
  const int value = language & 0x7F;  // the stored byte's low bits name the language
  if (value < static_cast<int>(std::size(kBases))) return kBases[value];
  return kBases[lgEnglish];
}

std::string ppSetMacros(const std::string& text) {
  static const char* const kMacros[] = {"<page>",        "<pagecount>",  "<documentname>",
                                        "<printername>", "<columnno>",   "<filename>"};
  std::string result = text;
  for (const char* macro : kMacros) result = StringReplace(result, macro, "%s", rfReplaceAll);
  return result;
}

// ---- Page ranges -------------------------------------------------------------

namespace {

struct TPageInterval {
  int64_t First, Last;
};

// Reads the numbers and ranges of the text; false when a number is too long,
// unless `saturate` reads every such number as the last page a list holds.
bool ReadIntervals(const std::string& text, std::vector<TPageInterval>& out,
                   bool saturate = false) {
  int64_t pending = -1;   // the last lone number, which a "-" may extend
  int64_t rangeStart = -1;
  int64_t number = 0;
  int digits = 0;
  auto endNumber = [&]() {
    if (digits == 0) return;
    if (rangeStart >= 0) {
      if (number < rangeStart) {  // a backward range names just its two ends
        out.push_back({number, number});
      } else {
        out.back().Last = number;
      }
      rangeStart = -1;
      pending = -1;  // a closed range is not extended by a further "-"
    } else {
      out.push_back({number, number});
      pending = number;
    }
    number = 0;
    digits = 0;
  };
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (++digits > ppMaxPageDigits) {
        if (!saturate) return false;
        number = ppMaxListedPages;
        continue;
      }
      number = number * 10 + (c - '0');
      continue;
    }
    endNumber();
    if (c == '-' && pending >= 0 && rangeStart < 0) rangeStart = pending;
  }
  endNumber();
  return true;
}

// The sorted, distinct pages of the intervals; none when they name too many.
std::vector<int> ExpandIntervals(std::vector<TPageInterval> intervals) {
  std::sort(intervals.begin(), intervals.end(),
            [](const TPageInterval& a, const TPageInterval& b) { return a.First < b.First; });
  // Merge before expanding, so repeated or huge ranges cost no memory.
  std::vector<TPageInterval> merged;
  int64_t count = 0;
  for (const TPageInterval& r : intervals) {
    if (!merged.empty() && r.First <= merged.back().Last + 1) {
      const int64_t grow = std::max<int64_t>(0, r.Last - merged.back().Last);
      merged.back().Last += grow;
      count += grow;
    } else {
      merged.push_back(r);
      count += r.Last - r.First + 1;
    }
    if (count > ppMaxListedPages) return {};
  }
  std::vector<int> pages;
  pages.reserve(static_cast<std::size_t>(count));
  for (const TPageInterval& r : merged)
    for (int64_t p = r.First; p <= r.Last; ++p) pages.push_back(static_cast<int>(p));
  return pages;
}

}  // namespace

std::vector<int> ppParsePageRange(const std::string& text) {
  std::vector<TPageInterval> intervals;
  if (!ReadIntervals(text, intervals)) return {};
  return ExpandIntervals(intervals);
}

std::vector<int> ppParsePageRangeClipped(const std::string& text) {
  std::vector<TPageInterval> intervals, within;
  ReadIntervals(text, intervals, true);
  for (TPageInterval r : intervals)
    if (r.First <= ppMaxListedPages)
      within.push_back({r.First, std::min<int64_t>(r.Last, ppMaxListedPages)});
  return ExpandIntervals(within);
}

void ppTextToPageList(const std::string& text, TStrings* list) {
  list->Clear();
  for (int page : ppParsePageRangeClipped(text)) list->Add(IntToStr(page));
}

// ---- Calculated texts ----------------------------------------------------------

std::string ppCalcText(TppCalcType kind, const TppCalcValues& values, int languageBase) {
  const int pageNo = values.HasPageValues ? values.PageNo : 1;
  const int pageCount = values.HasPageValues ? values.PageCount : 1;
  const std::string pageWord = ppLoadStr(languageBase + 18);
  const std::string pageSet =
      IntToStr(pageNo) + " " + ppLoadStr(languageBase + 16) + " " + IntToStr(pageCount);
  switch (kind) {
    case ctDate: return DateToStr(Date());
    case ctDateTime: return DateTimeToStr(Now());
    case ctPrintDateTime:
      return DateTimeToStr(values.HasPageValues ? values.PrintDateTime : Now());
    case ctPageCount: return IntToStr(pageCount);
    case ctPageSet: return pageSet;
    case ctPageSetDesc: return pageWord + " " + pageSet;
    case ctPageNo: return IntToStr(pageNo);
    case ctPageNoDesc: return pageWord + " " + IntToStr(pageNo);
    case ctTime: return TimeToStr(Now());
    case ctCustom: return {};
  }
  return {};
}

// ---- Display formatting -----------------------------------------------------------

namespace {

std::string FormatValue(const std::string& fmt, TppDataType dataType, const Variant& value) {
  switch (dataType) {
    case dtDate:
      return fmt.empty() ? DateToStr(value.AsDateTime()) : FormatDateTime(fmt, value.AsDateTime());
    case dtTime:
      return fmt.empty() ? TimeToStr(value.AsDateTime()) : FormatDateTime(fmt, value.AsDateTime());
    case dtDateTime:
      return FormatDateTime(fmt.empty() ? "c" : fmt, value.AsDateTime());
    case dtInteger:
    case dtDouble:
      return fmt.empty() ? FloatToStrF(value.AsDouble(), ffGeneral, 15, 0)
                         : FormatFloat(fmt, value.AsDouble());
    case dtString:
      return fmt.empty() ? value.AsString() : FormatMaskText(fmt, value.AsString());
    default:
      return {};
  }
}

}  // namespace

std::string ppFormat(const std::string& displayFormat, TppDataType dataType,
                     const Variant& value) {
  if (value.IsNull()) return {};
  try {
    return FormatValue(displayFormat, dataType, value);
  } catch (const Exception&) {
    return {};  // a value of another type prints as nothing rather than stopping the report
  }
}

// ---- Fonts ----------------------------------------------------------------------

std::string ppPrinterFontName(const std::string& name) {
  static const std::pair<const char*, const char*> kSubstitutes[] = {
      {"Courier", "Courier New"}, {"MS Serif", "Courier New"}, {"Fixedsys", "Arial"},
      {"Modern", "Arial"},        {"MS Sans Serif", "Arial"},  {"Small Fonts", "Arial"},
      {"System", "Arial"},        {"Terminal", "Arial"}};
  for (const auto& [screen, printer] : kSubstitutes)
    if (name == screen) return printer;
  return name;
}

// ---- Word wrapping -----------------------------------------------------------

namespace {

bool IsWordEnd(char32_t c) { return c == ' ' || c == '\t' || c == '\n'; }

// The word of `text` starting at byte `pos`, delimiter included, as code
// points; `pos` moves past it. Only the word is decoded.
std::u32string NextWord(std::string_view text, std::size_t& pos) {
  std::u32string word;
  while (pos < text.size()) {
    const char32_t c = Utf8Decode(text, pos);
    word.push_back(c);
    if (IsWordEnd(c)) break;
  }
  return word;
}

std::string ToUtf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) Utf8Append(out, c);
  return out;
}

// Drops a trailing line break ("\n" or "\r\n"); true when there was one.
bool TakeLineBreak(std::u32string& word) {
  if (word.empty() || word.back() != '\n') return false;
  word.pop_back();
  if (!word.empty() && word.back() == '\r') word.pop_back();
  return true;
}

// Word wrapping over code points; positions stay code-point indexes.
class TWrapper {
 public:
  TWrapper(const TppWrapRequest& r, TppWrapResult& out) : r_(r), out_(out) {
    dpi_ = r.Dpi > 0 ? r.Dpi : ppScreenPixelsPerInch();
    canvas_ = r.Canvas;
    if (!canvas_) {  // no device: measure on a scratch screen bitmap
      scratch_.SetSize(16, 16);
      canvas_ = scratch_.Canvas();
    }
    if (r.Font) canvas_->Font()->Assign(r.Font);
    const int points = canvas_->Font()->Size();
    canvas_->Font()->SetPixelsPerInch(dpi_);
    canvas_->Font()->SetSize(points);
    widthPx_ = ppMMToPixels(r.Rect.Width(), dpi_);
    for (int32_t stop : r.TabStops) tabs_.push_back(ppMMToPixels(stop, dpi_));
    if (r.LimitLines) {
      int lineHeight = canvas_->TextMetrics().Height + ppMMToPixels(r.Leading, dpi_);
      lineHeight = std::max(lineHeight, 1);  // a zero-height font still takes a row
      maxLines_ = ppMMToPixels(r.Rect.Height(), dpi_) / lineHeight;
      out_.LineHeight = ppToMMThousandths(static_cast<float>(lineHeight), utPrinterPixels, dpi_);
    }
  }

  void Run() {
    const std::string_view text = r_.Text;
    Place pos = Start();
    std::u32string line;
    Place lineStart = pos;  // where a page stopped on this line continues
    while (pos.byte < text.size()) {
      const Place wordStart = pos;
      std::u32string word = NextWord(text, pos.byte);
      pos.cp += word.size();
      const bool lineBreak = TakeLineBreak(word);
      std::erase_if(word, [](char32_t c) { return c == '\t' || c == 0; });
      bool onlyWord = line.empty();
      if (onlyWord) word = TrimLeft32(word);
      line += word;
      if (!onlyWord && Exceeds(line)) {
        line.resize(line.size() - word.size());
        if (!Emit(line)) return Stop(lineStart);
        line = TrimLeft32(word);
        lineStart = wordStart;
        onlyWord = true;
      }
      // An over-long word alone on its line is kept whole, not broken.
      if ((onlyWord && Exceeds(line)) || lineBreak) {
        if (!Emit(line)) return Stop(lineStart);
        line.clear();
        lineStart = pos;
      }
    }
    if (!line.empty() && !Emit(line)) return Stop(lineStart);
    Stop(pos);
  }

 private:
  static std::u32string TrimLeft32(const std::u32string& s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] <= ' ') ++i;
    return s.substr(i);
  }
  bool Exceeds(const std::u32string& line) {
    return ppTextExceedsWidth(canvas_, ToUtf8(line), widthPx_, tabs_);
  }
  bool Full() const { return maxLines_ >= 0 && static_cast<int>(out_.Lines.size()) >= maxLines_; }
  // Adds a line unless the limit is reached; lines are trimmed at the right.
  bool Emit(const std::u32string& line) {
    if (Full()) return false;
    std::u32string s = line;
    while (!s.empty() && s.back() <= ' ') s.pop_back();
    out_.Lines.push_back(ToUtf8(s));
    return true;
  }
  // A code point of the text and the byte where it begins.
  struct Place {
    std::size_t cp = 0, byte = 0;
  };
  // Where wrapping starts: the caller's byte when it gives one (a page going
  // on from where the last one stopped), else found by counting.
  Place Start() const {
    const std::string_view text = r_.Text;
    const std::size_t cp = std::size_t(std::max(r_.StartPos, 0));
    if (r_.StartByte >= 0 && std::size_t(r_.StartByte) <= text.size())
      return {cp, std::size_t(r_.StartByte)};
    const std::size_t byte = Utf8ByteOffset(text, cp);
    return {byte < text.size() ? cp : Utf8Length(text), byte};
  }
  void Stop(const Place& pos) {
    out_.EndPos = static_cast<int>(pos.cp);
    out_.EndByte = static_cast<int64_t>(pos.byte);
  }

  const TppWrapRequest& r_;
  TppWrapResult& out_;
  TBitmap scratch_;
  TCanvas* canvas_ = nullptr;
  int dpi_ = 96;
  int widthPx_ = 0;
  std::vector<int> tabs_;
  int maxLines_ = -1;  // no limit
};

}  // namespace

TppWrapResult ppWordWrap(const TppWrapRequest& request) {
  TppWrapResult result;
  TWrapper(request, result).Run();
  return result;
}

std::string ppGetWord(const std::string& text, int& pos) {
  std::size_t byte = pos < 0 ? text.size() : Utf8ByteOffset(text, std::size_t(pos));
  if (byte >= text.size()) {
    pos = -1;
    return {};
  }
  const std::u32string word = NextWord(text, byte);
  pos += static_cast<int>(word.size());
  if (byte >= text.size()) pos = -1;
  return ToUtf8(word);
}

bool ppTextExceedsWidth(TCanvas* canvas, const std::string& text, int width,
                        const std::vector<int>& tabStops) {
  return GetTabbedTextExtent(canvas, text, tabStops).cx > width;
}

// ---- Tab stops -------------------------------------------------------------------

namespace {

bool ReadStoredTabStop(const std::string& entry, double& value) {
  const std::string local = StringReplace(entry, ".", std::string(1, FormatSettings.DecimalSeparator),
                                          rfReplaceAll);
  return TryStrToFloat(Trim(local), value);
}

}  // namespace

void ppTabStopsToUnits(const TStrings& stored, TppUnitType units, int dpi, TStrings* presented) {
  presented->Clear();
  for (int i = 0; i < stored.Count(); ++i) {
    double value = 0;
    if (!ReadStoredTabStop(stored[i], value)) continue;
    presented->Add(FloatToStrF(ppFromMMThousandths(ppReadCoordinate(value), units, dpi),
                               ffGeneral, 7, 0));
  }
}

void ppTabStopsFromUnits(const TStrings& presented, TppUnitType units, int dpi, TStrings* stored) {
  stored->Clear();
  for (int i = 0; i < presented.Count(); ++i) {
    double value = 0;
    if (!TryStrToFloat(Trim(presented[i]), value)) continue;
    stored->Add(IntToStr(ppToMMThousandths(float(value), units, dpi)));
  }
}

std::vector<int32_t> ppTabStopValues(const TStrings& stored) {
  std::vector<int32_t> values;
  for (int i = 0; i < stored.Count(); ++i) {
    double value = 0;
    if (ReadStoredTabStop(stored[i], value)) values.push_back(ppReadCoordinate(value));
  }
  return values;
}

// ---- Unique names -------------------------------------------------------------------

std::string ppGetUniqueName(TComponent* owner, const std::string& prefix, TClass cls) {
  std::vector<int> used;
  for (int i = 0; owner && i < owner->ComponentCount(); ++i) {
    TComponent* c = owner->Components(i);
    const std::string& name = c->Name();
    if (cls && !c->InheritsFrom(cls)) continue;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    if (const int n = std::stoi(digits); n > 0) used.push_back(n);
  }
  std::sort(used.begin(), used.end());
  int next = 1;
  for (int n : used) {
    if (n == next) ++next;
    else if (n > next) break;
  }
  return prefix + IntToStr(next);
}

std::string ppDefaultNamePrefix(TComponent* owner, TClass cls) {
  const std::string className = cls ? cls->ClassName() : std::string();
  return (owner ? owner->Name() : std::string()) +
         (className.size() > 3 ? className.substr(3) : std::string());
}

// ---- Other helpers -------------------------------------------------------------

std::string ppExtractPath(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ppRemoveChar(const std::string& text, char c) {
  std::string out = text;
  std::erase(out, c);
  return out;
}

double ppAspectScale(double width, double height, double availWidth, double availHeight) {
  if (availWidth <= 0 || availHeight <= 0 || width <= 0 || height <= 0) return 0;
  return std::min(availWidth / width, availHeight / height);
}

std::string ppTempPath() { return GetTempPath(); }

std::string ppTempFileName(const std::string& directory, const std::string& prefix) {
  return GetTempFileName(directory.empty() ? GetTempPath() : directory, prefix);
}
