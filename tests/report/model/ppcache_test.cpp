#include "report/model/ppcache.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "platform/classlib/printers/printers.h"

namespace {

// A record as the report's classes lay theirs out: little-endian, reserved bytes 0.
#pragma pack(push, 1)
struct TTestRecord {
  int32_t Value;
  uint8_t Flag;
  uint8_t Reserved[3];
};
#pragma pack(pop)
static_assert(sizeof(TTestRecord) == 8);

// Generation state of one object: its value, saved and restored per page.
class TTestState : public TppCacheable {
 public:
  explicit TTestState(int32_t recordSize) { SetRecordSize(recordSize); }
  void SaveToCache(int pageNo) override {
    std::vector<uint8_t> buffer(size_t(RecordSize()), 0);
    TTestRecord r{Value, 1, {0, 0, 0}};
    std::memcpy(buffer.data(), &r, sizeof r);
    WriteCacheRecord(pageNo, buffer.data());
  }
  void RestoreFromCache(int pageNo) override {
    std::vector<uint8_t> buffer(size_t(RecordSize()), 0);
    ReadCacheRecord(pageNo, buffer.data());
    TTestRecord r;
    std::memcpy(&r, buffer.data(), sizeof r);
    Value = r.Value;
  }
  int32_t Value = 0;
};

class TTestOwner : public TppCacheOwner {
 public:
  std::vector<TppCacheable*> CacheObjects() override { return objects; }
  void StopGeneration() override { ++stops; }
  std::vector<TppCacheable*> objects;
  int stops = 0;
};

class ReportCache : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("report-cache-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    const char* old = std::getenv("TMPDIR");
    oldTmp = old ? old : "";
    setenv("TMPDIR", dir.c_str(), 1);
    owner.objects = {&a, &b, &c};
    manager = std::make_unique<TppCacheManager>(&owner);
    manager->BuildCache();
  }
  void TearDown() override {
    manager.reset();
    if (oldTmp.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", oldTmp.c_str(), 1);
    std::filesystem::remove_all(dir);
  }
  void Save(int page) {
    a.Value = page * 10 + 1;
    b.Value = page * 10 + 2;
    c.Value = page * 10 + 3;
    manager->SavePageState(page);
  }
  std::vector<int32_t> Restore(int page) {
    a.Value = b.Value = c.Value = -1;
    manager->RestorePageState(page);
    return {a.Value, b.Value, c.Value};
  }
  int CacheFiles() const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      n += e.path().filename().string().rfind("cch", 0) == 0;
    return n;
  }
  TTestState a{8}, b{16}, c{8};  // a and c share a stream
  TTestOwner owner;
  std::unique_ptr<TppCacheManager> manager;
  std::filesystem::path dir;
  std::string oldTmp;
};

TEST_F(ReportCache, RecordsOfOneSizeShareAStreamAndInterleavePerPage) {
  EXPECT_EQ(manager->StreamCount(), 2);
  EXPECT_EQ(a.CacheStream(), c.CacheStream());
  EXPECT_EQ(c.RecordIndex(), 1);
  EXPECT_EQ(a.RecordsPerPage(), 2);
  EXPECT_EQ(b.RecordsPerPage(), 1);
  Save(0);
  Save(1);
  EXPECT_EQ(manager->HighestPageSaved(), 1);
  TStream* shared = a.CacheStream();
  ASSERT_EQ(shared->Size(), 32);
  // Page 1, record 1 (c): bytes (1 * 2 + 1) * 8 on, value 13 little-endian, then flag 1, zeros.
  uint8_t bytes[8];
  shared->Seek(24, soFromBeginning);
  shared->ReadBuffer(bytes, 8);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 8), (std::vector<uint8_t>{13, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(Restore(0), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Restore(1), (std::vector<int32_t>{11, 12, 13}));
}

TEST_F(ReportCache, UnsavedPagesRestoreZerosAndObjectsComeAndGo) {
  EXPECT_EQ(Restore(0), (std::vector<int32_t>{0, 0, 0}));  // before any save
  {
    TTestState late(8);
    late.SetCacheManager(manager.get());
    EXPECT_EQ(manager->Objects().size(), 4u);
  }  // a freed object leaves the manager
  EXPECT_EQ(manager->Objects().size(), 3u);
  manager.reset();  // a freed manager leaves its objects
  EXPECT_EQ(a.CacheManager(), nullptr);
  EXPECT_EQ(a.CacheStream(), nullptr);
}

TEST_F(ReportCache, AnOutOfOrderSaveLandsUnderItsOwnPage) {
  Save(3);
  Save(1);
  EXPECT_EQ(a.CacheStream()->Size(), 4 * 2 * 8);
  EXPECT_EQ(Restore(3), (std::vector<int32_t>{31, 32, 33}));
  EXPECT_EQ(Restore(1), (std::vector<int32_t>{11, 12, 13}));
  EXPECT_EQ(Restore(2), (std::vector<int32_t>{0, 0, 0}));  // the gap is zeros
  EXPECT_EQ(Restore(0), (std::vector<int32_t>{0, 0, 0}));
}

TEST_F(ReportCache, TheMemoryCapMovesTheCacheToFilesThatClearCacheDeletes) {
  EXPECT_EQ(manager->MemoryCap(), int64_t{64} << 20);
  manager->SetMemoryCap(100);  // two pages take 64 bytes, three 96, four 128
  for (int page = 0; page < 6; ++page) Save(page);
  EXPECT_EQ(manager->Mode(), 1);
  EXPECT_EQ(CacheFiles(), 2);  // one per record size
  for (int page = 0; page < 6; ++page)
    EXPECT_EQ(Restore(page), (std::vector<int32_t>{page * 10 + 1, page * 10 + 2, page * 10 + 3}));
  manager->Reset();
  EXPECT_EQ(CacheFiles(), 2);  // file mode lasts: the rebuilt cache is on files again
  manager->ClearCache();
  EXPECT_EQ(CacheFiles(), 0);
  EXPECT_EQ(manager->TempFileNames().Count(), 0);
}

TEST_F(ReportCache, AFailedWriteInFileModeStopsWithMessage284) {
  manager->SetMemoryCap(0);
  Save(0);
  ASSERT_EQ(manager->Mode(), 1);
  // Let the files grow no further: writes past the limit fail with EFBIG.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = old;
  limited.rlim_cur = 32;
  setrlimit(RLIMIT_FSIZE, &limited);
  std::string message;
  try {
    Save(5);
  } catch (const EPrintError& e) {
    message = e.Message();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(message, "Not enough disk space to print report.");
  EXPECT_EQ(owner.stops, 1);
  EXPECT_EQ(Restore(0), (std::vector<int32_t>{1, 2, 3}));  // what was saved stays
}

}  // namespace
