#pragma once
// Free routines the whole report engine shares: unit conversion to and from
// the storage unit (Int32 thousandths of a millimetre), the page definition,
// message texts by language, page macros, page ranges, calculated texts,
// printer font substitution, word wrapping and a few file and string helpers.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/core/component.h"
#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/persistent.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/typinfo.h"
#include "platform/classlib/core/variant.h"
#include "platform/classlib/graphics/graphics.h"

DECLARE_ENUM(TppUnitType, utScreenPixels, utInches, utMillimeters, utPrinterPixels,
             utMMThousandths)

DECLARE_ENUM(TppLanguageType, lgCustom, lgDanish, lgDutch, lgEnglish, lgFrench, lgGerman,
             lgItalian, lgPortugueseBrazil, lgPortuguese, lgSpanish, lgSwedish, lgNorwegian,
             lgThai)

DECLARE_ENUM(TppCalcType, ctDate, ctDateTime, ctPrintDateTime, ctPageCount, ctPageSet,
             ctPageSetDesc, ctPageNo, ctPageNoDesc, ctTime, ctCustom)

// The type of a field value as a data pipeline reports it.
DECLARE_ENUM(TppDataType, dtBoolean, dtDate, dtTime, dtDateTime, dtInteger, dtLongint, dtDouble,
             dtString, dtBLOB, dtNotKnown, dtMemo, dtGraphic)

// Which resolution of a device a pixel conversion uses.
enum class TppPixelAxis { Horizontal, Vertical };

// ---- Resolution ----------------------------------------------------------

// Pixels per inch of the screen: the screen's own unless tests set a value
// (0 gives the screen's again), so conversions do not depend on a display.
int ppScreenPixelsPerInch();
void ppSetScreenPixelsPerInch(int dpi);

// ---- Unit conversion ------------------------------------------------------
// `dpi` is the device resolution for utPrinterPixels; 0 means "no printer" and
// takes the screen's, which utScreenPixels always uses.

float ppFromMMThousandths(int32_t value, TppUnitType units, int dpi = 0);
int32_t ppToMMThousandths(float value, TppUnitType units, int dpi = 0);
// Screen pixels to units and back, through thousandths (to pixels truncates).
float ppFromScreenPixels(int pixels, TppUnitType units);
int ppToScreenPixels(float value, TppUnitType units);
// Thousandths to device pixels (truncated), as page layouts measure.
int ppMMToPixels(int32_t value, int dpi);
// Tenths of a millimetre (the printer's paper unit) to units and back.
float ppFromTenthsOfMM(int tenths, TppUnitType units);
int ppToTenthsOfMM(float value, TppUnitType units);
// A stored coordinate written as an integer or a float: the integer, or the
// float rounded half to even (clamped to the Int32 range).
int32_t ppReadCoordinate(double stored);
class TReader;
// Reads such a coordinate (an "mm…" key) from a form stream.
int32_t ppReadMMValue(TReader* reader);

// ---- The page definition --------------------------------------------------

class TppPageDef : public TPersistent {
  DECLARE_CLASS(TppPageDef, TPersistent)
 public:
  TppPageDef() = default;
  void Assign(const TPersistent* source) override;
  bool operator==(const TppPageDef& other) const;

  int32_t mmHeight() const { return mmHeight_; }
  int32_t mmWidth() const { return mmWidth_; }
  int32_t mmMarginLeft() const { return mmMarginLeft_; }
  int32_t mmMarginRight() const { return mmMarginRight_; }
  int32_t mmMarginTop() const { return mmMarginTop_; }
  int32_t mmMarginBottom() const { return mmMarginBottom_; }
  void SetmmHeight(int32_t v) { mmHeight_ = v; }
  void SetmmWidth(int32_t v) { mmWidth_ = v; }
  void SetmmMarginLeft(int32_t v) { mmMarginLeft_ = v; }
  void SetmmMarginRight(int32_t v) { mmMarginRight_ = v; }
  void SetmmMarginTop(int32_t v) { mmMarginTop_ = v; }
  void SetmmMarginBottom(int32_t v) { mmMarginBottom_ = v; }

  // Differences of stored values: 64-bit so extreme values cannot overflow.
  int64_t mmPrintableWidth() const;
  int64_t mmPrintableHeight() const;
  TRect PrintableRect() const;
  int PageWidthPixels() const;
  int PageHeightPixels() const;
  int PrintableWidthPixels() const;

 private:
  int32_t mmHeight_ = 0, mmWidth_ = 0, mmMarginLeft_ = 0, mmMarginRight_ = 0,
          mmMarginTop_ = 0, mmMarginBottom_ = 0;
};

// A font that streams by point size.
class TppFont : public TFont {
  DECLARE_CLASS(TppFont, TFont)
};

// ---- Messages -------------------------------------------------------------

// The string-table id of offset 0 for a language (low 7 bits; unknown: English).
int ppLanguageBase(int language);
// A text of the string table by id; empty for an id it does not hold.
std::string ppLoadStr(int id);
// Every page macro ("<page>", "<pagecount>" ...) replaced by "%s".
std::string ppSetMacros(const std::string& text);

// ---- Page ranges ----------------------------------------------------------

// Upper bounds that keep a typed page list small: a longer number, or a list
// naming more pages, is not a page list anyone meant, so it gives nothing.
constexpr int ppMaxPageDigits = 8;
constexpr int ppMaxListedPages = 99999;

// The sorted, distinct page numbers a text such as "1,3,5-12" names.
std::vector<int> ppParsePageRange(const std::string& text);
// The same, except that pages beyond the longest list are cut to it (so
// "1-2000000000" names pages 1 to 99999): the print job then tells which
// pages the report has.
std::vector<int> ppParsePageRangeClipped(const std::string& text);
// The clipped pages as decimal strings into `list` (cleared first).
void ppTextToPageList(const std::string& text, TStrings* list);

// ---- Calculated texts -----------------------------------------------------

// The values a calculated text shows; without page values (design time) page
// numbers and counts show as 1 and the print time is now.
struct TppCalcValues {
  bool HasPageValues = false;
  int PageNo = 1;
  int PageCount = 1;
  TDateTime PrintDateTime;
};
std::string ppCalcText(TppCalcType kind, const TppCalcValues& values, int languageBase);

// ---- Display formatting ------------------------------------------------------

// A field value as text components show it: dates and times with the
// display format or the system's, numbers with it as a float format (else
// 15 significant digits), strings through it as an edit mask. Null, a value
// that does not convert, and other types give an empty text.
std::string ppFormat(const std::string& displayFormat, TppDataType dataType,
                     const Variant& value);

// ---- Fonts ----------------------------------------------------------------

// The printer font that replaces a screen-only font name.
std::string ppPrinterFontName(const std::string& name);

// ---- Word wrapping --------------------------------------------------------

struct TppWrapRequest {
  // Not copied: it must outlive the call. Only the part wrapped is read, so a
  // page of a long text costs what it holds.
  std::string_view Text;
  TRect Rect;                   // thousandths of a millimetre
  TCanvas* Canvas = nullptr;    // measures at the canvas font's resolution
  int Dpi = 0;                  // the measuring device's resolution (0: screen)
  const TFont* Font = nullptr;  // set on the canvas before measuring
  int StartPos = 0;             // 0-based code point where wrapping starts
  // The byte where StartPos begins, when the caller knows it from an earlier
  // EndByte (-1: found by counting the code points before it).
  int64_t StartByte = -1;
  std::vector<int32_t> TabStops;  // thousandths
  bool LimitLines = false;      // stop when the rectangle's height is full
  int32_t Leading = 0;          // thousandths added to each line's height
};

struct TppWrapResult {
  std::vector<std::string> Lines;
  int EndPos = 0;            // 0-based code point where a next page continues
  int64_t EndByte = 0;       // the byte where EndPos begins (the text's size at its end)
  int32_t LineHeight = 0;    // thousandths (only with LimitLines)
};

TppWrapResult ppWordWrap(const TppWrapRequest& request);
// The next word of a text from a 0-based code point: up to and including the
// next blank, TAB or LF. `pos` moves past it, -1 at the end.
std::string ppGetWord(const std::string& text, int& pos);
bool ppTextExceedsWidth(TCanvas* canvas, const std::string& text, int width,
                        const std::vector<int>& tabStops = {});

// ---- Tab stops ---------------------------------------------------------------
// Stored tab stops are decimal thousandths of a mm; components present them
// in their Units (general format, 7 digits). A stored "." is read as the
// current decimal separator; entries that are not numbers are dropped.

void ppTabStopsToUnits(const TStrings& stored, TppUnitType units, int dpi, TStrings* presented);
void ppTabStopsFromUnits(const TStrings& presented, TppUnitType units, int dpi, TStrings* stored);
// Stored tab stops as numbers, for wrapping and drawing.
std::vector<int32_t> ppTabStopValues(const TStrings& stored);

// ---- Unique names ----------------------------------------------------------

// The prefix followed by the smallest positive number that no component of
// `owner` of class `cls` (or a descendant) uses with that prefix.
std::string ppGetUniqueName(TComponent* owner, const std::string& prefix, TClass cls);
// The owner's name followed by the class name without its first three
// characters ("Report1" + "TppLabel" gives "Report1Label").
std::string ppDefaultNamePrefix(TComponent* owner, TClass cls);

// ---- Other helpers --------------------------------------------------------

// The directory part of a path, up to and including the last "\" or "/".
std::string ppExtractPath(const std::string& path);
std::string ppRemoveChar(const std::string& text, char c);
// The scale that fits (width, height) into (availWidth, availHeight) keeping
// the aspect ratio; 0 when an available size is not positive.
double ppAspectScale(double width, double height, double availWidth, double availHeight);
std::string ppTempPath();
// A new temporary file in `directory` (the temporary folder when empty).
std::string ppTempFileName(const std::string& directory, const std::string& prefix);
