#pragma once
// Initialisation files: "[Section]" lines followed by "Name=Value" lines.
// Section and key names ignore case; names and values are trimmed of blanks, and a
// value enclosed in matching quotes reads without them. Comment lines (";") and the
// layout of the file are kept when it is changed.

#include <string>
#include <vector>

#include "platform/classlib/core/datetime.h"
#include "platform/classlib/core/exceptions.h"

class TStrings;

namespace classlib_detail {
// Replaces the contents of strings with texts, notifying once (for the settings classes).
void FillStrings(TStrings* strings, const std::vector<std::string>& texts);
}  // namespace classlib_detail

DECLARE_EXCEPTION(EIniFileException, Exception)

class TCustomIniFile : public TObject {
  DECLARE_CLASS(TCustomIniFile, TObject)
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string& FileName() const { return fileName_; }

  virtual std::string ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) = 0;
  virtual void WriteString(const std::string& section, const std::string& ident,
                           const std::string& value) = 0;
  // Decimal, or hexadecimal after "0x" or "$"; anything else gives the default.
  virtual int ReadInteger(const std::string& section, const std::string& ident, int defaultValue);
  virtual void WriteInteger(const std::string& section, const std::string& ident, int value);
  // Stored as "1" and "0"; any integer other than 0 reads as true.
  virtual bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  virtual void WriteBool(const std::string& section, const std::string& ident, bool value);
  // Numbers, dates and times as text in the global format settings; a text that does
  // not convert gives the default.
  virtual double ReadFloat(const std::string& section, const std::string& ident,
                           double defaultValue);
  virtual void WriteFloat(const std::string& section, const std::string& ident, double value);
  virtual TDateTime ReadDate(const std::string& section, const std::string& ident,
                             TDateTime defaultValue);
  virtual TDateTime ReadDateTime(const std::string& section, const std::string& ident,
                                 TDateTime defaultValue);
  virtual TDateTime ReadTime(const std::string& section, const std::string& ident,
                             TDateTime defaultValue);
  virtual void WriteDate(const std::string& section, const std::string& ident, TDateTime value);
  virtual void WriteDateTime(const std::string& section, const std::string& ident,
                             TDateTime value);
  virtual void WriteTime(const std::string& section, const std::string& ident, TDateTime value);

  // Key names of the section, in file order.
  virtual void ReadSection(const std::string& section, TStrings* strings) = 0;
  virtual void ReadSections(TStrings* strings) = 0;
  // "name=value" lines of the section.
  virtual void ReadSectionValues(const std::string& section, TStrings* strings) = 0;
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;
  // Writes what is still held in memory (nothing is, for TIniFile).
  virtual void UpdateFile() = 0;
  virtual bool SectionExists(const std::string& section);
  virtual bool ValueExists(const std::string& section, const std::string& ident);

 private:
  std::string fileName_;
};

// An initialisation file on disk. Every read sees the file as it is now; every
// write changes the file at once (replacing it whole, so that a failure never
// leaves half a file). Names that would break the file's structure (line breaks,
// "=" in a key, "]" in a section) raise EIniFileException, as does a file that
// cannot be written ("Unable to write to <file>").
class TIniFile : public TCustomIniFile {
  DECLARE_CLASS(TIniFile, TCustomIniFile)
 public:
  explicit TIniFile(const std::string& fileName) : TCustomIniFile(fileName) {}

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident,
                   const std::string& value) override;
  void ReadSection(const std::string& section, TStrings* strings) override;
  void ReadSections(TStrings* strings) override;
  void ReadSectionValues(const std::string& section, TStrings* strings) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  void UpdateFile() override {}
  // A section exists when its "[Section]" line does, even without keys.
  bool SectionExists(const std::string& section) override;
};
