#include "report/output/pptxtdev.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/classlib/core/write_targets.h"
#include "platform/classlib/printers/printers.h"
#include "report/output/ppforms.h"

namespace {

struct Saved {
  int line;
  int order;
  std::string text;
  TAlignment alignment = taLeftJustify;
  int length = 0;
  bool save = true;
};

// A report of pages of saved texts behind a publisher, written to a scratch file.
class ReportTextFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("vantrel-txt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    device.SetFileName((dir / "out.txt").string());
    publisher.OnPageRequest = [this](TObject*, TppPageRequestType, TStrings*, int) {
      for (size_t p = 0; p < pages.size(); ++p) {
        TppPage page;
        page.AbsolutePageNo = page.PageNo = int(p) + 1;
        page.AbsolutePageCount = int(pages.size());
        page.FirstPage = p == 0;
        page.LastPage = p + 1 == pages.size();
        page.FinalPage = !draftPages;
        page.FirstPassPage = draftPages;
        page.DocumentName = "Defects";
        for (const Saved& s : pages[p]) {
          auto* text = new TppDrawText;
          text->Text = s.text;
          text->BandSave = true;
          text->Save = s.save;
          text->SaveLineNo = s.line;
          text->SaveOrder = s.order;
          text->SaveLength = s.length;
          text->Alignment = s.alignment;
          text->SetPage(&page);
        }
        publisher.ReceivePage(&page);
        if (int(p) + 1 == cancelAfter) return publisher.CancelJob();
      }
    };
    device.SetPublisher(&publisher);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Run(TppFileType type) {
    device.SetFileType(type);
    device.RequestPages();
    std::ifstream in(device.FileName(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  std::filesystem::path dir;
  TppPublisher publisher;
  TppTextFileDevice device;
  std::vector<std::vector<Saved>> pages;
  bool draftPages = false;
  int cancelAfter = 0;  // the page after which the job is cancelled (0: none)
};

TEST_F(ReportTextFile, FileTypesByteForByte) {
  // Two band instances on page 1 (their lines out of order on the page), one on page 2.
  pages = {{{7, 2, "A"}, {7, 1, "B"}, {3, 1, "x\xc3\xa4"}, {3, 2, "y", taLeftJustify, 0, false}},
           {{9, 1, "last"}, {9, 2, ""}}};
  struct Case {
    TppFileType type;
    std::string bytes;
  };
  const Case cases[] = {
      {ftComma, "x\xc3\xa4\r\nB,A\r\nlast,"},
      {ftTab, "x\xc3\xa4\r\nB\tA\r\nlast\t"},
      {ftCustom, "x\xc3\xa4" "BAlast"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.type), c.bytes) << c.type;
}

TEST_F(ReportTextFile, FixedLengthsCountCharacters) {
  pages = {{{1, 1, "ab", taLeftJustify, 5},
            {1, 2, "ab", taRightJustify, 5},
            {1, 3, "ab", taCenter, 5},
            {1, 4, "abcdefg", taCenter, 5},
            {1, 5, "\xc3\xa4\xc3\xb6", taLeftJustify, 3},
            {1, 6, "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f", taRightJustify, 3}}};
  EXPECT_EQ(Run(ftFixedLength),
            "ab   " "   ab" " ab  " "abcde" "\xc3\xa4\xc3\xb6 " "\xc3\xa4\xc3\xb6\xc3\xbc");
}

TEST_F(ReportTextFile, OnSaveSeesThePositionAndMayChangeTheText) {
  pages = {{{1, 1, "a"}, {1, 2, "b"}}, {{2, 1, "c"}}};
  std::vector<std::string> seen;
  const auto components = ppSaveTextHandler;
  ppSaveTextHandler = [&](TObject*, TppTextFileDevice* d, std::string& text) {
    seen.push_back(text + ":" + std::to_string(d->FieldNo()) + std::to_string(d->LineNo()) +
                   (d->EndOfLine() ? "E" : "") + (d->FirstLineOfReport() ? "F" : "") +
                   (d->LastLineOfReport() ? "L" : ""));
    text = "<" + text + ">";
  };
  EXPECT_EQ(Run(ftComma), "<a>,<b>\r\n<c>");
  ppSaveTextHandler = components;
  EXPECT_EQ(seen, (std::vector<std::string>{"a:00F", "b:10EF", "c:01EL"}));
}

TEST_F(ReportTextFile, WithheldPagesShowProgressAndWriteNothing) {
  pages = {{{1, 1, "a"}}, {{2, 1, "b"}}};
  draftPages = true;
  TppCustomCancelDialog dialog(nullptr);
  device.CancelDialog = &dialog;
  EXPECT_EQ(Run(ftComma), "");
  EXPECT_EQ(dialog.StatusText(), "Printing page 2 of 2 for report Defects on the " +
                                     device.FileName());
  draftPages = false;
  device.ResetPageRequest();
  device.PageRequest = prOnePage;
  EXPECT_EQ(Run(ftComma), "a\r\n");
  EXPECT_EQ(dialog.StatusText(),
            "Printing page 1 for report Defects on the " + device.FileName());
}

// The job writes beside the target: until it ends well, an older file stays
// as it was and no half-written file is seen; a good end replaces it.
TEST_F(ReportTextFile, OnlyAFinishedJobReplacesTheFile) {
  pages = {{{1, 1, "a"}}, {{2, 1, "b"}}, {{3, 1, "c"}}};
  auto listed = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      names.push_back(e.path().filename().string());
    return names;
  };
  std::ofstream(device.FileName()) << "old";
  bool sawPart = false;
  device.OnPageReceive = [&](TObject*, TppPage*) {
    sawPart = sawPart || listed().size() == 2;  // the target and the job's file
  };
  cancelAfter = 2;
  EXPECT_EQ(Run(ftComma), "old");
  EXPECT_TRUE(sawPart);
  EXPECT_FALSE(device.Busy());
  EXPECT_EQ(listed(), std::vector<std::string>{"out.txt"});
  cancelAfter = 0;
  EXPECT_EQ(Run(ftComma), "a\r\nb\r\nc");
  EXPECT_EQ(listed(), std::vector<std::string>{"out.txt"});
  // A job cancelled before its file had any page makes no file at all.
  std::filesystem::remove(device.FileName());
  cancelAfter = 1;
  pages[0].clear();
  Run(ftComma);
  EXPECT_TRUE(listed().empty());
}

// The finished file has a new file's mode, readable by others under the
// usual umask like any export, and only it is left in the folder.
TEST_F(ReportTextFile, AFinishedFileIsReadableByOthers) {
  pages = {{{1, 1, "a"}}};
  EXPECT_EQ(Run(ftComma), "a");
  const auto perms = std::filesystem::status(device.FileName()).permissions();
  using P = std::filesystem::perms;
  EXPECT_EQ(perms & (P::owner_read | P::group_read | P::others_read),
            P::owner_read | P::group_read | P::others_read);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

// Whatever stands at the file name: a device or a pipe takes the text in place,
// a link is followed, an older file keeps its permission bits, a new one gets
// the umask's, and a device that cannot take it fails the job.
TEST_F(ReportTextFile, TheTargetIsWrittenAsWhatItIs) {
  pages = {{{1, 1, "a"}}, {{2, 1, "b"}}};
  device.SetFileType(ftComma);
  write_targets::ExpectSoundTargets(
      write_targets::FailsByRaising<EPrintError>([&](const std::string& path) {
        device.SetFileName(path);
        device.RequestPages();
      }),
      [](const std::string& bytes) { return bytes == "a\r\nb"; }, ".txt");
}

// A full disk, as a file-size limit: writes past it fail with EFBIG.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  sighandler_t previous_;
};

TEST_F(ReportTextFile, FileErrorsEndTheJobAndNeverPassAsDone) {
  pages = {{{1, 1, "abc"}}, {{2, 1, "def"}}};
  device.SetPublisher(nullptr);
  struct Case {
    std::string fileName;
    bool started;  // the file was made and a later write failed
  };
  const Case cases[] = {{(dir / "missing" / "out.txt").string(), false},
                        {(dir / "full.txt").string(), true}};
  for (const Case& c : cases) {
    TppTextFileDevice failing;
    int starts = 0, cancels = 0;
    failing.OnStartJob = [&](TObject*) { ++starts; };
    failing.OnCancelJob = [&](TObject*) { ++cancels; };
    failing.SetFileName(c.fileName);
    failing.SetPublisher(&publisher);
    TFileSizeLimit full(4);
    try {
      failing.RequestPages();
      ADD_FAILURE() << c.fileName;
    } catch (const EPrintError& e) {
      EXPECT_EQ(e.Message(), "File Error: " + c.fileName);
    }
    EXPECT_FALSE(failing.Busy());
    EXPECT_FALSE(std::filesystem::exists(c.fileName));  // nothing half-written is left
    EXPECT_EQ(starts, c.started ? 1 : 0);
    EXPECT_EQ(cancels, c.started ? 1 : 0);
    failing.SetPublisher(nullptr);
  }
}

}  // namespace
