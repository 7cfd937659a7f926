#include "platform/classlib/core/inifiles.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/strutils.h"

IMPLEMENT_CLASS(EIniFileException, Exception)
IMPLEMENT_CLASS(TCustomIniFile, TObject)
IMPLEMENT_CLASS(TIniFile, TCustomIniFile)

namespace {

// The file as lines, so that a change keeps everything it does not touch.
struct IniDocument {
  std::vector<std::string> lines;
  std::string lineBreak = "\r\n";

  // A file that is missing or cannot be read reads as empty, except for a change:
  // a file that exists but cannot be read is never written over.
  static IniDocument Load(const std::string& fileName, bool forChange = false) {
    IniDocument doc;
    std::string text;
    if (!ReadWholeFile(fileName, text)) {
      if (forChange && errno != ENOENT)
        throw EIniFileException("Unable to read " + fileName + ": " + std::strerror(errno));
      return doc;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    auto firstBreak = text.find('\n');
    if (firstBreak != std::string::npos && (firstBreak == 0 || text[firstBreak - 1] != '\r'))
      doc.lineBreak = "\n";
    std::size_t start = 0;
    while (start < text.size()) {
      auto end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      doc.lines.push_back(std::move(line));
      start = end + 1;
    }
    return doc;
  }

  void Save(const std::string& fileName) const {
    std::string text;
    for (const auto& line : lines) text += line + lineBreak;
    try {
      WriteFileAtomically(fileName, text);
    } catch (const EInOutError&) {
      throw EIniFileException("Unable to write to " + fileName);
    }
  }

  // The section name when the line is a "[Section]" line.
  static bool IsSection(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    auto close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
  }

  // Name and raw value when the line is a "Name=Value" line.
  static bool IsEntry(const std::string& line, std::string& name, std::string& value) {
    std::string t = TrimLeft(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    auto eq = t.find('=');
    if (eq == std::string::npos) return false;
    name = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
  }

  // Index of the section's "[...]" line; lines.size() when absent.
  // Names are compared without their outer blanks, as they are written and read.
  std::size_t FindSection(const std::string& section) const {
    const std::string wanted = Trim(section);
    std::string name;
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (IsSection(lines[i], name) && AnsiSameText(name, wanted)) return i;
    return lines.size();
  }

  // One past the last line of the section that starts at header.
  std::size_t SectionEnd(std::size_t header) const {
    std::string name;
    std::size_t i = header + 1;
    while (i < lines.size() && !IsSection(lines[i], name)) ++i;
    return i;
  }

  // Index of the key's line in the section; lines.size() when absent.
  std::size_t FindKey(const std::string& section, const std::string& ident) const {
    std::size_t header = FindSection(section);
    if (header == lines.size()) return lines.size();
    const std::string wanted = Trim(ident);
    std::string name, value;
    for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
      if (IsEntry(lines[i], name, value) && AnsiSameText(name, wanted)) return i;
    return lines.size();
  }

  // Calls f(name, value) for every key of the section, in file order.
  template <class F>
  void ForEachEntry(const std::string& section, F&& f) const {
    std::size_t header = FindSection(section);
    if (header == lines.size()) return;
    std::string name, value;
    for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
      if (IsEntry(lines[i], name, value)) f(name, value);
  }
};

// Runs change(doc) on the file's latest lines under the file's lock and saves when it
// reports a change, so two programs writing at once both keep their change. Where no
// lock can be made no write could succeed either; a change that changes nothing still
// succeeds there.
template <class F>
void ChangeDocument(const std::string& fileName, F&& change) {
  std::optional<TFileLockScope> lock;
  try {
    lock.emplace(fileName + ".lock");
  } catch (const EInOutError&) {
  }
  auto doc = IniDocument::Load(fileName, true);
  if (!change(doc)) return;
  if (!lock) throw EIniFileException("Unable to write to " + fileName);
  doc.Save(fileName);
}

// A value in matching quotes reads without them.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// Quotes a value that would not read back as written (outer blanks, outer quotes).
std::string Quoted(const std::string& value) {
  if (value.empty()) return value;
  bool blanks = Trim(value).size() != value.size();
  if (blanks || Unquoted(value) != value) return "\"" + value + "\"";
  return value;
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

void CheckNames(const std::string& fileName, const std::string& section, const std::string& ident) {
  auto refuse = [&](const std::string& what) {
    throw EIniFileException("Cannot write " + what + " to " + fileName);
  };
  if (HasLineBreak(section) || section.find(']') != std::string::npos)
    refuse("the section name '" + section + "'");
  std::string key = Trim(ident);
  if (key.empty() || HasLineBreak(ident) || ident.find('=') != std::string::npos ||
      key[0] == ';' || key[0] == '[')
    refuse("the key name '" + ident + "'");
}

}  // namespace

void classlib_detail::FillStrings(TStrings* strings, const std::vector<std::string>& texts) {
  strings->BeginUpdate();
  try {
    strings->Clear();
    for (const auto& text : texts) strings->Add(text);
  } catch (...) {
    strings->EndUpdate();
    throw;
  }
  strings->EndUpdate();
}

// --- TCustomIniFile ---------------------------------------------------------------------

int TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident,
                                int defaultValue) {
  return StrToIntDef(ReadString(section, ident, ""), defaultValue);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident,
                                  int value) {
  WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident,
                              bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

namespace {

// Reads the text of a key through a Try conversion, falling back to the default.
template <class T, class Convert>
T ReadConverted(TCustomIniFile& ini, const std::string& section, const std::string& ident,
                T defaultValue, Convert&& convert) {
  std::string text = ini.ReadString(section, ident, "");
  T value;
  return !text.empty() && convert(text, value) ? value : defaultValue;
}

}  // namespace

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident,
                                 double defaultValue) {
  return ReadConverted(*this, section, ident, defaultValue,
                       [](const std::string& s, double& v) { return TryStrToFloat(s, v); });
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident,
                                double value) {
  WriteString(section, ident, FloatToStr(value));
}

TDateTime TCustomIniFile::ReadDate(const std::string& section, const std::string& ident,
                                   TDateTime defaultValue) {
  return ReadConverted(*this, section, ident, defaultValue,
                       [](const std::string& s, TDateTime& v) { return TryStrToDate(s, v); });
}

TDateTime TCustomIniFile::ReadDateTime(const std::string& section, const std::string& ident,
                                       TDateTime defaultValue) {
  return ReadConverted(*this, section, ident, defaultValue,
                       [](const std::string& s, TDateTime& v) { return TryStrToDateTime(s, v); });
}

TDateTime TCustomIniFile::ReadTime(const std::string& section, const std::string& ident,
                                   TDateTime defaultValue) {
  return ReadConverted(*this, section, ident, defaultValue,
                       [](const std::string& s, TDateTime& v) { return TryStrToTime(s, v); });
}

void TCustomIniFile::WriteDate(const std::string& section, const std::string& ident,
                               TDateTime value) {
  WriteString(section, ident, DateToStr(value));
}

void TCustomIniFile::WriteDateTime(const std::string& section, const std::string& ident,
                                   TDateTime value) {
  WriteString(section, ident, DateTimeToStr(value));
}

void TCustomIniFile::WriteTime(const std::string& section, const std::string& ident,
                               TDateTime value) {
  WriteString(section, ident, TimeToStr(value));
}

bool TCustomIniFile::SectionExists(const std::string& section) {
  TStringList keys;
  ReadSection(section, &keys);
  return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) {
  TStringList keys;
  ReadSection(section, &keys);
  return keys.IndexOf(ident) >= 0;
}

// --- TIniFile -------------------------------------------------------------------------------

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) {
  auto doc = IniDocument::Load(FileName());
  std::size_t line = doc.FindKey(section, ident);
  if (line == doc.lines.size()) return defaultValue;
  std::string name, value;
  IniDocument::IsEntry(doc.lines[line], name, value);
  return Unquoted(value);
}

void TIniFile::WriteString(const std::string& section, const std::string& ident,
                           const std::string& value) {
  CheckNames(FileName(), section, ident);
  if (HasLineBreak(value))
    throw EIniFileException("Cannot write a line break in the value of '" + ident + "' to " +
                            FileName());
  std::string entry = Trim(ident) + "=" + Quoted(value);
  ChangeDocument(FileName(), [&](IniDocument& doc) {
    std::size_t line = doc.FindKey(section, ident);
    if (line != doc.lines.size()) {
      doc.lines[line] = entry;
    } else {
      std::size_t header = doc.FindSection(section);
      if (header == doc.lines.size()) {
        if (!doc.lines.empty() && !Trim(doc.lines.back()).empty()) doc.lines.push_back("");
        doc.lines.push_back("[" + Trim(section) + "]");
        doc.lines.push_back(entry);
      } else {
        // After the section's last line that is not blank, so blank separators stay below.
        std::size_t at = doc.SectionEnd(header);
        while (at > header + 1 && Trim(doc.lines[at - 1]).empty()) --at;
        doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
      }
    }
    return true;
  });
}

void TIniFile::ReadSection(const std::string& section, TStrings* strings) {
  std::vector<std::string> names;
  IniDocument::Load(FileName()).ForEachEntry(
      section, [&](const std::string& name, const std::string&) { names.push_back(name); });
  classlib_detail::FillStrings(strings, names);
}

void TIniFile::ReadSections(TStrings* strings) {
  auto doc = IniDocument::Load(FileName());
  std::vector<std::string> names;
  std::string name;
  for (const auto& line : doc.lines)
    if (IniDocument::IsSection(line, name)) names.push_back(name);
  classlib_detail::FillStrings(strings, names);
}

void TIniFile::ReadSectionValues(const std::string& section, TStrings* strings) {
  std::vector<std::string> texts;
  IniDocument::Load(FileName()).ForEachEntry(
      section, [&](const std::string& name, const std::string& value) {
        texts.push_back(name + "=" + Unquoted(value));
      });
  classlib_detail::FillStrings(strings, texts);
}

void TIniFile::EraseSection(const std::string& section) {
  ChangeDocument(FileName(), [&](IniDocument& doc) {
    std::size_t header = doc.FindSection(section);
    if (header == doc.lines.size()) return false;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(header),
                    doc.lines.begin() + static_cast<std::ptrdiff_t>(doc.SectionEnd(header)));
    return true;
  });
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  ChangeDocument(FileName(), [&](IniDocument& doc) {
    std::size_t line = doc.FindKey(section, ident);
    if (line == doc.lines.size()) return false;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(line));
    return true;
  });
}

bool TIniFile::SectionExists(const std::string& section) {
  auto doc = IniDocument::Load(FileName());
  return doc.FindSection(section) != doc.lines.size();
}
