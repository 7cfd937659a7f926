#pragma once
// The text-file device: every published page becomes lines of a text file,
// one line per saved band instance, made of its saved texts in SaveOrder.
// The file is UTF-8 with CR LF between lines and none after the last one.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/core/atomicfile.h"
#include "report/output/ppdevice.h"

DECLARE_ENUM(TppFileType, ftComma, ftTab, ftFixedLength, ftCustom)

// A device that writes a file; the name cannot change while a job runs.
class TppFileDevice : public TppDevice {
  DECLARE_CLASS(TppFileDevice, TppDevice)
 public:
  using TppDevice::TppDevice;
  ~TppFileDevice() override;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name);

 protected:
  // Opens the job's file; EPrintError "File Error: <name>" when it cannot.
  void CreateFile();
  // Writes all bytes; a short write closes the file, cancels the job and
  // raises EPrintError "File Error: <name>", so a full disk never passes as done.
  void WriteBytes(const std::string& bytes);
  // A finished job's file takes the target's place (EPrintError when it
  // cannot); a stopped one is thrown away.
  void CommitFile();
  void DiscardFile();
  bool FileOpen() const { return file_ != nullptr; }

 private:
  [[noreturn]] void FileError();
  std::string fileName_;
  std::unique_ptr<TAtomicFileWriter> file_;
};

class TppTextFileDevice : public TppFileDevice {
  DECLARE_CLASS(TppTextFileDevice, TppFileDevice)
 public:
  using TppFileDevice::TppFileDevice;

  void StartJob() override;
  void EndJob() override;
  void CancelJob() override;
  void ReceivePage(TppPage* page) override;

  TppFileType FileType() const { return fileType_; }
  void SetFileType(TppFileType type);

  // What a page being written offers OnSave handlers.
  bool EndOfLine() const { return endOfLine_; }
  bool LastLineOfPage() const { return lastLineOfPage_; }
  bool FirstLineOfReport() const { return firstLineOfReport_; }
  int32_t FieldNo() const { return fieldNo_; }
  int32_t LineNo() const { return lineNo_; }
  bool LastLineOfReport() const { return lastLineOfReport_; }
  bool FirstFieldOfLine() const { return firstFieldOfLine_; }
  bool FirstFieldOfPage() const { return firstFieldOfPage_; }

 private:
  void ClearState();
  void ShowProgress(const TppPage* page);
  void WritePage(const TppPage* page);
  std::string Separator() const;

  TppFileType fileType_ = ftComma;
  bool endOfLine_ = false, lastLineOfPage_ = false, firstLineOfReport_ = false;
  int32_t fieldNo_ = 0, lineNo_ = 0;
  bool lastLineOfReport_ = false, firstFieldOfLine_ = false, firstFieldOfPage_ = false;
};

// A text fitted to `length` characters: cut to its first `length`, or padded
// with blanks as the alignment places it (centred: the odd blank goes after).
std::string ppFitText(const std::string& text, int length, TAlignment alignment);

// The text components' OnSave: set by the component side, called for every
// saved text with the device, and may change the text.
extern std::function<void(TObject* component, TppTextFileDevice* device, std::string& text)>
    ppSaveTextHandler;
