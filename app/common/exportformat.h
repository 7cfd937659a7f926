#pragma once
// The texts of the export files: comma-separated records (every field quoted,
// quotes doubled, CR LF at the end) and the pieces of the HTML page, where
// entry and program text is made safe for the markup.

#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/graphics/colors.h"

inline constexpr const char* kCrLf = "\r\n";

// One comma-separated record: each value quoted with its quotes doubled, CR LF
// after; no values give "\"\"". The Append form writes it at the end of `out`.
std::string CsvRecord(const std::vector<std::string>& values);
void AppendCsvRecord(std::string& out, const std::vector<std::string>& values);
// A value inside its record's quotes: the text with its quotes doubled.
void AppendCsvValue(std::string& out, std::string_view value);
// The record of `count` values, the i-th answered by value(i), written as it
// is read: no row of values is gathered first.
template <class Value>
void AppendCsvRecordWith(std::string& out, std::size_t count, Value&& value) {
  out += '"';
  for (std::size_t i = 0; i < count; ++i) {
    if (i) out += "\",\"";
    AppendCsvValue(out, value(i));
  }
  out += '"';
  out += kCrLf;
}

// "#" and the colour's red, green and blue digits (system colours resolved).
std::string HtmlColour(TColor colour);
// Entry or program text in a cell: "&" as "&amp;", "<" and ">" as "_", an
// empty text as "&nbsp;". The Append form writes it at the end of `out`.
std::string HtmlCellText(const std::string& text);
void AppendHtmlCellText(std::string& out, std::string_view text);
// A display label as a title cell: every "~" a blank.
std::string HtmlTitleText(const std::string& label);

// The page head up to the table's opening line; programName is raw text.
std::string HtmlHead(const std::string& programName, const std::string& date,
                     const std::string& kindCaption, const std::string& backColour);
// The head of a page of every program: it names none (its sections do).
std::string HtmlAllProgramsHead(const std::string& date, const std::string& kindCaption,
                                const std::string& backColour);
// The row that opens one program's entries in a page of every program;
// programName is raw text.
std::string HtmlProgramSection(const std::string& programName);
// One table row of ready cell texts, the blank line after it included; wide
// rows span four columns per cell. The Append form writes it at the end of `out`.
std::string HtmlRow(const std::string& colour, const std::vector<std::string>& cells, bool wide);
void AppendHtmlRow(std::string& out, const std::string& colour,
                   const std::vector<std::string>& cells, bool wide);
// The row of `count` cells, the i-th written by cell(out, i) into the row as
// it is read.
template <class Cell>
void AppendHtmlRowWith(std::string& out, const std::string& colour, std::size_t count, bool wide,
                       Cell&& cell) {
  const char* open = wide ? "<TD COLSPAN=4>" : "<TD>";
  out += "<TR BGCOLOR=\"";
  out += colour;
  out += "\">";
  out += kCrLf;
  out += open;
  for (std::size_t i = 0; i < count; ++i) {
    if (i) {
      out += "</TD>";
      out += kCrLf;
      out += open;
    }
    cell(out, i);
  }
  for (const char* tail : {"</TD>", kCrLf, "</TR>", kCrLf, kCrLf}) out += tail;
}
// The black line between entries.
std::string HtmlSeparator();
// The page end: on one line after one program, on three after all programs.
std::string HtmlEnd(bool allPrograms);
