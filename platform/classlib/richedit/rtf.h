#pragma once
// Rich text as the memo editors and reports keep it, and its RTF form.
//
// A document is a list of paragraphs; a paragraph is a list of runs of text
// that share one set of character attributes. The reader takes the subset that
// rich edits write — font and colour tables, bold, italic, underline,
// strike-out, sizes, text and highlight colours, protection, alignment, indents,
// tab stops, bullets, \'hh (Windows-1252) and \u characters — and skips every
// other destination. The writer writes that subset, so whatever a user wrote
// reads back the same. Text is UTF-8; a line break inside a paragraph (\line)
// is U+2028, a tab is '\t'.

#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/graphics/colors.h"
#include "platform/classlib/graphics/graphics.h"

struct TRtfCharFormat {
  // "" until a font is named: the editor's default font.
  std::string FontName;
  TFontCharset Charset = DEFAULT_CHARSET;
  TFontPitch Pitch = fpDefault;
  // RTF measures sizes in half points; 24 (12 points) is its default.
  int HalfPoints = 24;
  TFontStyles Style;
  TColor Color = clDefault;     // clDefault: the editor's text colour
  TColor Highlight = clNone;    // clNone: no highlight
  bool Protected = false;

  bool operator==(const TRtfCharFormat&) const = default;
};

enum class TRtfAlignment { Left, Right, Center, Justify };

struct TRtfParaFormat {
  TRtfAlignment Alignment = TRtfAlignment::Left;
  // Indents and tab stops in twips (1/1440 inch), as RTF keeps them.
  int FirstIndent = 0;
  int LeftIndent = 0;
  int RightIndent = 0;
  bool Bullets = false;
  std::vector<int> TabStops;

  bool operator==(const TRtfParaFormat&) const = default;
};

struct TRtfRun {
  std::string Text;
  TRtfCharFormat Format;

  bool operator==(const TRtfRun&) const = default;
};

struct TRtfParagraph {
  TRtfParaFormat Format;
  std::vector<TRtfRun> Runs;

  std::string Text() const;
  bool operator==(const TRtfParagraph&) const = default;
};

struct TRtfDocument {
  std::vector<TRtfParagraph> Paragraphs;

  // The text alone, paragraphs separated by `separator`.
  std::string PlainText(std::string_view separator = "\r\n") const;
  bool operator==(const TRtfDocument&) const = default;
};

// Whether a stored text is RTF: it starts with "{\rtf". Anything else loads as
// plain text.
bool IsRtfText(std::string_view text);

// A stored plain text without its leading byte-order mark, which marks the
// encoding and is no character of the text.
std::string_view MemoTextBody(std::string_view stored);

// The text a memo field holds as its editor shows it, lines separated by
// `separator`: RTF is read for its text, anything else is its own text. Every
// reader of memo fields (exports, reports, find) goes through here, so none
// reads plain text as RTF.
std::string MemoPlainText(std::string_view stored, std::string_view separator = "\r\n");

// Reads RTF. Damaged input (unbalanced groups, huge numbers, deep nesting,
// truncated escapes, random bytes) loads as far as it is readable; the reader
// never throws and its work and memory grow linearly with the input.
TRtfDocument RtfRead(std::string_view rtf);

// The text alone, exactly as RtfRead(rtf).PlainText(separator) gives it, read
// without building the document: formats are passed over, not kept.
std::string RtfPlainText(std::string_view rtf, std::string_view separator = "\r\n");

// Writes the document as RTF that RtfRead reads back equal.
std::string RtfWrite(const TRtfDocument& document);

// A document holding plain text: one paragraph per line ("\r\n", "\n" or "\r"
// end a line), every run in `format`.
TRtfDocument PlainTextDocument(std::string_view text, const TRtfCharFormat& format = {});

// Windows-1252, the code page of \'hh escapes: the character of a byte (bytes
// the code page leaves unassigned stand for themselves), and the byte of a
// character (-1 when the code page has none).
char32_t Cp1252ToUnicode(unsigned char byte);
int UnicodeToCp1252(char32_t cp);
