#include "app/common/exportformat.h"

#include <cstdint>

namespace {

std::string Joined(const std::vector<std::string>& parts, const std::string& glue) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += glue;
    out += parts[i];
  }
  return out;
}

std::string Replaced(std::string text, char from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, 1, to);
  return text;
}

}  // namespace

std::string CsvRecord(const std::vector<std::string>& values) {
  std::vector<std::string> quoted;
  quoted.reserve(values.size());
  for (const std::string& v : values) quoted.push_back(Replaced(v, '"', "\"\""));
  return "\"" + Joined(quoted, "\",\"") + "\"" + kCrLf;
}

std::string HtmlColour(TColor colour) {
  static const char* hex = "0123456789ABCDEF";
  const auto rgb = std::uint32_t(ColorToRGB(colour));
  std::string out = "#";
  // The stored value is blue, green, red from the high byte down; the page wants red first.
  for (int shift : {0, 8, 16}) {
    out += hex[(rgb >> (shift + 4)) & 15];
    out += hex[(rgb >> shift) & 15];
  }
  return out;
}

std::string HtmlCellText(const std::string& text) {
  if (text.empty()) return "&nbsp;";
  std::string out = Replaced(text, '&', "&amp;");
  for (char& c : out)
    if (c == '<' || c == '>') c = '_';
  return out;
}

std::string HtmlTitleText(const std::string& label) {
  std::string out = label;
  for (char& c : out)
    if (c == '~') c = ' ';
  return out;
}

std::string HtmlHead(const std::string& programName, const std::string& date,
                     const std::string& kindCaption, const std::string& backColour) {
  const std::string program = HtmlCellText(programName);
  const std::string lines[] = {
      "<HTML>", "<HEAD>",
      // Without it browsers read the page in a legacy character set.
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">",
      "<TITLE>Vantrel - Program " + program + " - " + date + " - " + kindCaption + "</TITLE>",
      "</HEAD>", "", "<BODY BGCOLOR=\"" + backColour + "\">", "",
      "<H1>Vantrel " + kindCaption + "</H1>", "", "<H2>Program: " + program + "</H2>", "",
      "<H2>Date: " + date + "</H2>", "", "<TABLE BORDER=1 ALIGN=\"left\">", ""};
  std::string out;
  for (const std::string& line : lines) out += line + kCrLf;
  return out;
}

std::string HtmlRow(const std::string& colour, const std::vector<std::string>& cells, bool wide) {
  const std::string open = wide ? "<TD COLSPAN=4>" : "<TD>";
  return "<TR BGCOLOR=\"" + colour + "\">" + kCrLf + open +
         Joined(cells, std::string("</TD>") + kCrLf + open) + "</TD>" + kCrLf + "</TR>" + kCrLf +
         kCrLf;
}

std::string HtmlSeparator() {
  return std::string("<TR BGCOLOR=\"#000000\">") + kCrLf + "<TD ColSpan=20>_</TD>" + kCrLf +
         "</TR>" + kCrLf;
}

std::string HtmlEnd(bool allPrograms) {
  if (allPrograms) return std::string("</TABLE>") + kCrLf + "</BODY>" + kCrLf + "</HTML>" + kCrLf + kCrLf;
  return std::string("</TABLE></BODY></HTML>") + kCrLf;
}
