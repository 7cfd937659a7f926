#include "app/common/exportformat.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

// `text` with every `from` written as `to`, appended in one pass.
void AppendReplaced(std::string& out, std::string_view text, char from, std::string_view to) {
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out += to;
    start = at + 1;
  }
  out.append(text, start);
}

// The bytes a cell's text cannot keep as they are.
constexpr auto kHtmlSpecial = [] {
  std::array<bool, 256> special{};
  for (unsigned char c : {'&', '<', '>'}) special[c] = true;
  return special;
}();

}  // namespace

void AppendCsvValue(std::string& out, std::string_view value) { AppendReplaced(out, value, '"', "\"\""); }

void AppendCsvRecord(std::string& out, const std::vector<std::string>& values) {
  AppendCsvRecordWith(out, values.size(), [&values](std::size_t i) -> const std::string& { return values[i]; });
}

std::string CsvRecord(const std::vector<std::string>& values) {
  std::string out;
  AppendCsvRecord(out, values);
  return out;
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
  std::string out;
  out.reserve(text.size());
  AppendHtmlCellText(out, text);
  return out;
}

void AppendHtmlCellText(std::string& out, std::string_view text) {
  if (text.empty()) {
    out += "&nbsp;";
    return;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!kHtmlSpecial[c]) continue;
    out.append(text, start, i - start);
    out += c == '&' ? "&amp;" : "_";
    start = i + 1;
  }
  out.append(text, start);
}

std::string HtmlTitleText(const std::string& label) {
  std::string out = label;
  for (char& c : out)
    if (c == '~') c = ' ';
  return out;
}

namespace {

// The head with `scope` in the title ("Program <name>") and, when given, a
// `heading` line of its own under the kind.
std::string HtmlHeadOf(const std::string& scope, const std::string& heading, const std::string& date,
                       const std::string& kindCaption, const std::string& backColour) {
  std::vector<std::string> lines = {
      "<HTML>", "<HEAD>",
      // Without it browsers read the page in a legacy character set.
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">",
      "<TITLE>Vantrel - " + scope + " - " + date + " - " + kindCaption + "</TITLE>",
      "</HEAD>", "", "<BODY BGCOLOR=\"" + backColour + "\">", "",
      "<H1>Vantrel " + kindCaption + "</H1>", ""};
  if (!heading.empty()) lines.insert(lines.end(), {heading, ""});
  lines.insert(lines.end(), {"<H2>Date: " + date + "</H2>", "", "<TABLE BORDER=1 ALIGN=\"left\">", ""});
  std::string out;
  for (const std::string& line : lines) out += line + kCrLf;
  return out;
}

std::string ProgramHeading(const std::string& programName) {
  return "<H2>Program: " + HtmlCellText(programName) + "</H2>";
}

}  // namespace

std::string HtmlHead(const std::string& programName, const std::string& date,
                     const std::string& kindCaption, const std::string& backColour) {
  return HtmlHeadOf("Program " + HtmlCellText(programName), ProgramHeading(programName), date,
                    kindCaption, backColour);
}

std::string HtmlAllProgramsHead(const std::string& date, const std::string& kindCaption,
                                const std::string& backColour) {
  return HtmlHeadOf("All Programs", "", date, kindCaption, backColour);
}

std::string HtmlProgramSection(const std::string& programName) {
  return std::string("<TR>") + kCrLf + "<TD ColSpan=20>" + ProgramHeading(programName) + "</TD>" +
         kCrLf + "</TR>" + kCrLf + kCrLf;
}

void AppendHtmlRow(std::string& out, const std::string& colour,
                   const std::vector<std::string>& cells, bool wide) {
  AppendHtmlRowWith(out, colour, cells.size(), wide,
                    [&cells](std::string& row, std::size_t i) { row += cells[i]; });
}

std::string HtmlRow(const std::string& colour, const std::vector<std::string>& cells, bool wide) {
  std::string out;
  AppendHtmlRow(out, colour, cells, wide);
  return out;
}

std::string HtmlSeparator() {
  return std::string("<TR BGCOLOR=\"#000000\">") + kCrLf + "<TD ColSpan=20>_</TD>" + kCrLf +
         "</TR>" + kCrLf;
}

std::string HtmlEnd(bool allPrograms) {
  if (allPrograms) return std::string("</TABLE>") + kCrLf + "</BODY>" + kCrLf + "</HTML>" + kCrLf + kCrLf;
  return std::string("</TABLE></BODY></HTML>") + kCrLf;
}
