#include "report/output/pptxtdev.h"

#include <algorithm>
#include <vector>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/printers/printers.h"
#include "report/output/ppforms.h"

std::function<void(TObject*, TppTextFileDevice*, std::string&)> ppSaveTextHandler;

// ---- The file device -----------------------------------------------------------------

namespace {
// Jobs under way beside their target: hidden, and named after their process.
constexpr const char* kPartPrefix = ".vantrel-text-";
}  // namespace

IMPLEMENT_CLASS(TppFileDevice, TppDevice)

TppFileDevice::~TppFileDevice() { DiscardFile(); }

void TppFileDevice::SetFileName(const std::string& name) {
  if (!Busy()) fileName_ = name;
}

void TppFileDevice::FileError() { throw EPrintError("File Error: " + fileName_); }

// The job writes through an atomic file writer: into a file of its own beside
// the target that takes the target's place only at the end, so a cancelled or
// failed job leaves no half file and an older file stays as it was until the
// new one is complete (a device or a pipe at the target is written in place).
// The name is unique and owned by this process, so two jobs never share it
// and the next job removes what a killed program left.
void TppFileDevice::CreateFile() {
  try {
    file_ = std::make_unique<TAtomicFileWriter>(fileName_, kPartPrefix);
  } catch (const Exception&) {
    FileError();
  }
}

void TppFileDevice::WriteBytes(const std::string& bytes) {
  if (!file_) FileError();
  try {
    file_->Write(bytes);
  } catch (const Exception&) {
    CancelJob();
    FileError();
  }
}

void TppFileDevice::CommitFile() {
  if (!file_) return;
  const std::unique_ptr<TAtomicFileWriter> file = std::move(file_);
  try {
    file->Commit();
  } catch (const Exception&) {
    FileError();
  }
}

void TppFileDevice::DiscardFile() { file_.reset(); }

// ---- The text-file device ---------------------------------------------------------------

IMPLEMENT_CLASS(TppTextFileDevice, TppFileDevice)

void TppTextFileDevice::SetFileType(TppFileType type) {
  if (!Busy()) fileType_ = type;
}

void TppTextFileDevice::ClearState() {
  endOfLine_ = lastLineOfPage_ = firstLineOfReport_ = false;
  fieldNo_ = lineNo_ = 0;
  lastLineOfReport_ = firstFieldOfLine_ = firstFieldOfPage_ = false;
}

void TppTextFileDevice::StartJob() {
  if (Busy()) return;
  // The file first: a file that cannot be made leaves the device idle.
  CreateFile();
  TppFileDevice::StartJob();
  ClearState();
}

void TppTextFileDevice::EndJob() {
  ClearState();
  TppFileDevice::EndJob();
  CommitFile();
}

void TppTextFileDevice::CancelJob() {
  ClearState();
  TppFileDevice::CancelJob();
  DiscardFile();
}

void TppTextFileDevice::ReceivePage(TppPage* page) {
  TppFileDevice::ReceivePage(page);
  if (!PageRequested || !Busy()) return;
  ShowProgress(page);
  if (!SkipPage) WritePage(page);
}

void TppTextFileDevice::ShowProgress(const TppPage* page) {
  if (!CancelDialog) return;
  const std::string no = IntToStr(page->AbsolutePageNo);
  std::string text;
  if (PageRequest == prAll)
    text = Format(ppSetMacros(ppLoadStr(page->LanguageIndex + 28)),
                  {no, IntToStr(page->AbsolutePageCount), page->DocumentName, FileName()});
  else
    text = Format(ppSetMacros(ppLoadStr(page->LanguageIndex + 27)),
                  {no, page->DocumentName, FileName()});
  CancelDialog->SetStatusText(text);
}

std::string TppTextFileDevice::Separator() const {
  switch (fileType_) {
    case ftComma: return ",";
    case ftTab: return "\t";
    default: return {};
  }
}

void TppTextFileDevice::WritePage(const TppPage* page) {
  // The saved texts in line order, and by SaveOrder within a line.
  std::vector<std::pair<std::string, TppDrawText*>> saved;
  for (int i = 0; i < page->DrawCommandCount(); ++i) {
    auto* text = dynamic_cast<TppDrawText*>(page->DrawCommands(i));
    if (text && text->BandSave && text->Save)
      saved.push_back({Format("%8d%8d", {text->SaveLineNo, text->SaveOrder}), text});
  }
  if (saved.empty()) return;
  std::stable_sort(saved.begin(), saved.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  const std::string separator = Separator();
  const int32_t lastLineNo = saved.back().second->SaveLineNo;
  firstFieldOfPage_ = true;
  lastLineOfPage_ = false;
  firstLineOfReport_ = page->AbsolutePageNo == 1;
  for (size_t i = 0; i < saved.size();) {
    const int32_t lineNo = saved[i].second->SaveLineNo;
    fieldNo_ = 0;
    firstFieldOfLine_ = true;
    endOfLine_ = false;
    lastLineOfReport_ = page->LastPage && lineNo == lastLineNo;
    std::string line;
    for (; i < saved.size() && saved[i].second->SaveLineNo == lineNo; ++i) {
      TppDrawText* command = saved[i].second;
      const bool lastOfPage = i + 1 == saved.size();
      endOfLine_ = lastOfPage || saved[i + 1].second->SaveLineNo != lineNo;
      if (lastOfPage) lastLineOfPage_ = true;
      std::string text = command->Text;
      if (fileType_ == ftFixedLength) text = ppFitText(text, command->SaveLength, command->Alignment);
      if (ppSaveTextHandler) ppSaveTextHandler(command->Component, this, text);
      firstFieldOfPage_ = false;
      if (firstFieldOfLine_) firstFieldOfLine_ = false;
      else line += separator;
      line += text;
      ++fieldNo_;
    }
    if (!line.empty()) {
      const bool lastOfReport = lastLineOfPage_ && page->LastPage;
      if (!lastOfReport && fileType_ != ftCustom) line += "\r\n";
      WriteBytes(line);
    }
    firstLineOfReport_ = false;
    ++lineNo_;
  }
}

std::string ppFitText(const std::string& text, int length, TAlignment alignment) {
  const int have = int(Utf8Length(text));
  if (have >= length) return have == length ? text : Utf8Copy(text, 1, std::max(length, 0));
  const int pad = length - have;
  switch (alignment) {
    case taRightJustify: return std::string(size_t(pad), ' ') + text;
    case taCenter: return std::string(size_t(pad / 2), ' ') + text + std::string(size_t(pad - pad / 2), ' ');
    default: return text + std::string(size_t(pad), ' ');
  }
}
