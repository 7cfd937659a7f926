#include "platform/classlib/core/streams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/classlib/core/exceptions.h"
#include "platform/classlib/core/english_settings.h"

namespace fs = std::filesystem;

namespace {

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vantrel_streams_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  fs::path dir_;
};

}  // namespace

TEST(MemoryStreamTest, ReadWriteSeekAndSize) {
  TMemoryStream s;
  s.WriteBuffer("hello world", 11);
  EXPECT_EQ(s.Size(), 11);
  EXPECT_EQ(s.Position(), 11);
  EXPECT_EQ(s.Seek(-5, soFromEnd), 6);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 5);  // only what is left
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(s.Read(buf, 1), 0);
  EXPECT_EQ(s.Seek(-2, soCurrent), 9);
  EXPECT_EQ(s.Seek(0, soFromBeginning), 0);
  EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
  EXPECT_THROW(s.Seek(0, 7), EStreamError);
  EXPECT_EQ(s.Position(), 0);

  // Writing past the end after a seek fills the gap with zeros.
  s.Seek(13, soBeginning);
  s.WriteBuffer("!", 1);
  ASSERT_EQ(s.Size(), 14);
  const char* mem = static_cast<const char*>(s.Memory());
  EXPECT_EQ(mem[11], '\0');
  EXPECT_EQ(mem[12], '\0');
  EXPECT_EQ(mem[13], '!');

  s.SetSize(4);
  EXPECT_EQ(s.Position(), 4);  // clipped to the new end
  EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), 4), "hell");
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

TEST(MemoryStreamTest, ReadBufferAndWriteBufferRaiseTheLibraryErrors) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(1);
  char buf[4];
  EXPECT_EQ(MessageOf<EReadError>([&] { s.ReadBuffer(buf, 3); }), "Stream read error");
  s.SetPosition(0);
  EXPECT_NO_THROW(s.ReadBuffer(buf, 3));

  // A stream that accepts nothing.
  struct TFullStream : TMemoryStream {
    int64_t Write(const void*, int64_t) override { return 0; }
  } full;
  EXPECT_EQ(MessageOf<EWriteError>([&] { full.WriteBuffer("x", 1); }), "Stream write error");
}

TEST(MemoryStreamTest, CopyFromPartAndWholeStream) {
  TStringStream source("0123456789");
  source.SetPosition(3);
  TMemoryStream dest;
  EXPECT_EQ(dest.CopyFrom(&source, 4), 4);
  EXPECT_EQ(source.Position(), 7);
  EXPECT_EQ(std::string(static_cast<const char*>(dest.Memory()), 4), "3456");

  // Count 0 copies everything from the beginning, wherever the source was.
  TStringStream whole;
  EXPECT_EQ(whole.CopyFrom(&source, 0), 10);
  EXPECT_EQ(whole.DataString(), "0123456789");

  EXPECT_EQ(whole.CopyFrom(&source, -4), 0);

  // Asking for more than the source holds is a read error.
  source.SetPosition(8);
  EXPECT_THROW(whole.CopyFrom(&source, 5), EReadError);

  // Copies larger than one internal chunk.
  std::string big(200000, 'x');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  TStringStream bigSource(big), bigDest;
  EXPECT_EQ(bigDest.CopyFrom(&bigSource, 0), 200000);
  EXPECT_EQ(bigDest.DataString(), big);
}

TEST(MemoryStreamTest, StringStreamReadsAndWritesAtThePosition) {
  TStringStream s("abcdef");
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.ReadString(2), "ab");
  s.WriteString("XYZW");  // overwrites and extends
  EXPECT_EQ(s.DataString(), "abXYZW");
  s.WriteString("!");
  EXPECT_EQ(s.DataString(), "abXYZW!");
  s.SetPosition(5);
  EXPECT_EQ(s.ReadString(100), "W!");
  EXPECT_EQ(s.ReadString(100), "");
  EXPECT_EQ(s.ReadString(-3), "");
  EXPECT_TRUE(s.InheritsFrom("TStream"));
}

TEST_F(FileStreamTest, CreateWriteReopenAndRead) {
  std::string path = PathOf("data.bin");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("line one\n", 9);
    EXPECT_EQ(f.Size(), 9);
    EXPECT_EQ(f.FileName(), path);
  }
  {
    TFileStream f(path, fmOpenReadWrite);
    f.Seek(0, soFromEnd);
    f.WriteBuffer("two", 3);
    f.SetSize(10);
    EXPECT_EQ(f.Size(), 10);
    EXPECT_EQ(f.Position(), 10);
  }
  EXPECT_EQ(Contents(path), "line one\nt");
  {
    TFileStream f(path, fmOpenRead);
    char buf[16];
    EXPECT_EQ(f.Read(buf, 16), 10);
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);  // opened for reading only
  }
  // fmCreate empties an existing file.
  { TFileStream f(path, fmCreate); }
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FileStreamTest, MissingFilesAndFoldersGiveClearErrors) {
  std::string missing = PathOf("missing.txt");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream f(missing, fmOpenRead); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
  std::string inMissingFolder = PathOf("no/such/folder/new.txt");
  EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream f(inMissingFolder, fmCreate); }),
            "Cannot create file \"" + inMissingFolder + "\". No such file or directory");
  EXPECT_THROW(TFileStream(dir_.string(), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("", fmOpenRead), EFOpenError);
}

TEST_F(FileStreamTest, ShareModesRefuseConflictingOpens) {
  std::string path = PathOf("shared.txt");
  { TFileStream f(path, fmCreate); f.WriteBuffer("keep", 4); }
  {
    TFileStream exclusive(path, fmOpenReadWrite | fmShareExclusive);
    EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareDenyWrite), EFOpenError);
    // A refused create must not empty the file that the other stream holds.
    EXPECT_THROW(TFileStream(path, fmCreate | fmShareExclusive), EFCreateError);
    EXPECT_EQ(Contents(path), "keep");
    // Opens that deny nothing take no lock.
    EXPECT_NO_THROW(TFileStream(path, fmOpenRead | fmShareDenyNone));
  }
  {
    TFileStream reader1(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_NO_THROW(TFileStream(path, fmOpenRead | fmShareDenyWrite));
    EXPECT_THROW(TFileStream(path, fmOpenReadWrite | fmShareExclusive), EFOpenError);
  }
  // Locks end with their streams.
  EXPECT_NO_THROW(TFileStream(path, fmOpenReadWrite | fmShareExclusive));
}

TEST_F(FileStreamTest, MemoryStreamLoadsAndSavesFiles) {
  std::string path = PathOf("mem.bin");
  TMemoryStream out;
  out.WriteBuffer("a\0b", 3);
  out.SaveToFile(path);
  EXPECT_EQ(Contents(path), std::string("a\0b", 3));

  TMemoryStream in;
  in.WriteBuffer("old content", 11);
  in.LoadFromFile(path);
  EXPECT_EQ(in.Size(), 3);
  EXPECT_EQ(in.Position(), 0);
  EXPECT_EQ(std::string(static_cast<const char*>(in.Memory()), 3), std::string("a\0b", 3));

  EXPECT_THROW(in.LoadFromFile(PathOf("absent")), EFOpenError);
  EXPECT_EQ(in.Size(), 3);  // a failed load keeps the content
}
