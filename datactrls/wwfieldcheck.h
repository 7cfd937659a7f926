#pragma once
// Field checks and shared routines of the data-aware library: text checks by
// field type, the whole-record picture-mask check run before posts, class and
// property tests by name, and small helpers over fields and column lists.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "datactrls/wwfieldsettings.h"
#include "platform/classlib/db/dbtypes.h"

class TComponent;
class TDataSet;
class TField;
class TObject;
class TParam;
class TStrings;

// ---- checks of a text against a type or a field
bool wwIsValidTypeText(TFieldType dataType, const std::string& text);
bool wwIsValidFieldText(TField* field, const std::string& text);
// False for no field; an empty text is false for the numeric, date and time types.
bool wwIsValidFieldInput(TField* field, const std::string& text);
bool wwIsNumericType(TFieldType dataType);     // BCD is not numeric here
bool wwIsSearchableType(TFieldType dataType);  // not bytes, blobs or graphics
// True for an empty text, else only when the text is a complete value of the mask.
bool wwMaskAccepts(const std::string& mask, const std::string& text);

// Before a post: the first field (in field order, read-only ones passed over)
// whose value breaks its picture mask gets the focus, handler hears of it, and
// EDatabaseError with the library's "Invalid characters. Field : " text and the
// field's display name refuses the post.
void wwValidatePictureFields(TDataSet* dataSet, const TwwInvalidValueEvent& handler);

// Writes the field's value into buffer in the engine's native layout and sets the
// parameter (when given) from it: text as its edit value, zero-terminated and cut
// to fit in whole characters; small integer and word 2 bytes, integer 4, float
// and currency 8, Boolean 1 (0 or 255), date the days and time the milliseconds
// of its time stamp (4 bytes), date-time the time stamp's milliseconds (8 bytes);
// memo as text; other types write nothing. Never writes more than bufferSize
// bytes; returns the bytes written (0, and the parameter left alone, when the
// value does not fit).
std::size_t wwFieldValueToBuffer(TField* field, TParam* param, void* buffer, std::size_t bufferSize);

// ---- the grid's column list: FieldName TAB Width TAB Title (title lines split by "~")
// Lines may stop after the width.
struct TwwSelectedLine {
  std::string fieldName;
  int width = -1;  // characters; -1 when the part is missing or not a usable number
  std::string title;
  bool hasTitle = false;  // the line has a third part (which may be empty)
};
// A stored width beyond this many characters is garbage: no screen is that
// wide, and it keeps chars * "0"-width far from overflowing.
constexpr int kwwMaxColumnChars = 1000;
// A corrupted width reads as -1 (the field's own width serves), never as an error.
TwwSelectedLine wwParseSelectedLine(std::string_view line);
std::string wwSelectedLineText(const std::string& fieldName, int width, const std::string& title);
// Every field hidden, then each listed field shown in list order with the
// line's width and title (those the line has).
void wwApplySelectedToFields(TDataSet* dataSet, const TStrings* selected);
void wwFieldsToSelected(TDataSet* dataSet, TStrings* selected);
// The first line of the field (name compared without regard to case).
bool wwFindSelectedEntry(const TStrings* selected, const std::string& fieldName, int& index);
// The field whose label, with every "~" read as a blank, equals label so read.
std::string wwFieldNameFromLabel(TDataSet* dataSet, const std::string& label);

// ---- class and property tests
bool wwInheritsFromName(const TObject* object, const std::string& className);
bool wwIsWwDataSet(const TObject* dataSet);
bool wwIsCalcOrLookup(TField* field);
bool wwNeedsLocalSearch(TField* field);
TObject* wwGetDataSource(TObject* control);
std::string wwGetDataField(TObject* control);
bool wwSetDataSource(TObject* control, TObject* source);
bool wwSetDataField(TObject* control, const std::string& name);
// Option 0 (enabled) of the published "OnFilterOptions".
void wwSetFilterEnabled(TObject* dataSet, bool enabled);
// The bits of the published "OnFilterOptions" (0 when absent); a client dataset
// has option 0 exactly while it is filtered.
std::uint64_t wwGetFilterOptions(TObject* dataSet);
int wwCompareBookmarks(TDataSet* dataSet, TBookmark a, TBookmark b);
// The "path" value (name compared without regard to case) of the engine
// configuration node of the alias's database information; empty when the node
// cannot be opened. The program's one call layer answers, its default session
// started when need be.
std::string wwGetAliasPath(const std::string& alias);

// The first owner up the chain that is a form (class chain holding "TCustomForm"),
// else the last owner; the component itself when it has no owner.
TComponent* wwGetParentForm(TComponent* component);

// ---- small helpers
bool wwIsEditKey(std::uint16_t key);
// The grid's name for wwIsEditKey.
inline bool wwIsCharKey(std::uint16_t key) { return wwIsEditKey(key); }
bool wwIsHighBitSet(std::uint8_t value);
int wwScaleToScreen(int size, int pixelsPerInch);
// The lines joined by a blank (oneLine) or by CR LF.
std::string wwStringsToText(TStrings* lines, bool oneLine);
int wwIndexOfText(TStrings* lines, const std::string& text);
int wwMax(int a, int b);
