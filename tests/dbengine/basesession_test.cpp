#include "dbengine/basesession.h"

#include <gtest/gtest.h>

#include "dbengine/memtable.h"
#include "dbengine/rightsregistry.h"
#include "platform/classlib/core/registry.h"
#include "testengine.h"

using namespace testing_engine;
using dbengine_detail::SlotText;

namespace {

struct SessionTest : ::testing::Test {
  TScratchRegistry scratch;
  TMorvaCollection sessions;
  TTestSession* session = new TTestSession(nullptr, &sessions, "Default", "/net/dir");

  void WriteAlias(const std::string& name, const std::string& path, const std::string& description = "") {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Morva\\Access\\Aliases\\" + name, true));
    reg.WriteString("PhysicalName", path);
    if (!description.empty()) reg.WriteString("Description", description);
  }
  void AddConfig(const std::string& name, const std::string& path) {
    TFieldDesc d = MakeField(1, "PATH", fldtype::ZString, 0, static_cast<std::uint16_t>(path.size() + 1));
    session->ConfigRecordExists(name.c_str(), 1, &d, path.c_str());
  }
  std::vector<std::string> ListNames(std::vector<std::string>* paths = nullptr) {
    TBaseTable* list = nullptr;
    session->OpenAliasList(list);
    std::vector<std::string> names;
    TDatabaseDesc row{};
    UntilTheEnd([&] {
      list->GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&row), nullptr);
      names.push_back(SlotText(row.Name));
      if (paths) paths->push_back(SlotText(row.PhysicalPath));
    });
    session->FreeListCursor(list);
    EXPECT_EQ(list, nullptr);
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(SessionTest, NamesWithAPathPartAreResolvedAsPaths) {
  TDatabaseDesc desc{};
  session->ResolveAlias("orders.db", desc, 1);
  EXPECT_EQ(SlotText(desc.Name), "PATH");
  EXPECT_EQ(SlotText(desc.Text), "PATH");
  EXPECT_EQ(SlotText(desc.PhysicalPath), "orders.db\\");
  EXPECT_EQ(SlotText(desc.DriverType), "STANDARD");
  session->SetKeepPath(true);
  session->ResolveAlias("/srv/db/Vantrel.MDB", desc, 1);
  EXPECT_EQ(SlotText(desc.PhysicalPath), "/srv/db/Vantrel.MDB");
}

TEST_F(SessionTest, UnknownAliasesFailWithTheirName) {
  TDatabaseDesc desc{};
  EXPECT_EQ(EngineFailure([&] { session->ResolveAlias("nosuch", desc, 0); }),
            (TEngineFailure{dberr::UnknownDb, "nosuch"}));
  EXPECT_EQ(session->ListCollection()->Count(), 0);  // the list cursor is freed
}

TEST_F(SessionTest, AliasesComeFromTheRegistryThenTheConfiguration) {
  WriteAlias("A", "D:\\Data", "First");
  WriteAlias("B", "/srv/b");
  AddConfig("\\DATABASES\\C\\DB INFO", "/srv/c");
  AddConfig("\\DATABASES\\X\\DB OPEN", "/srv/x");
  std::vector<std::string> paths;
  EXPECT_EQ(ListNames(&paths), (Names{"A", "B", "C"}));
  EXPECT_EQ(paths, (Names{"D:\\Data\\", "/srv/b/", "/srv/c"}));
  session->SetKeepPath(true);
  paths.clear();
  ListNames(&paths);
  EXPECT_EQ(paths[0], "D:\\Data");

  TDatabaseDesc desc{};
  session->ResolveAlias("a", desc, 0);
  EXPECT_EQ(SlotText(desc.Name), "A");
  EXPECT_EQ(SlotText(desc.Text), "First");
  EXPECT_EQ(SlotText(desc.DriverType), "STANDARD");
  session->ResolveAlias("c", desc, 1);
  EXPECT_EQ(SlotText(desc.DriverType), "MORVA");
}

TEST_F(SessionTest, WithoutAnAliasesKeyOnlyConfigurationRowsAreListed) {
  EXPECT_EQ(ListNames(), Names{});
  AddConfig("\\DATABASES\\ORDERS\\DB INFO", "/o");
  EXPECT_EQ(ListNames(), Names{"ORDERS"});
}

TEST_F(SessionTest, ConfigurationRecords) {
  AddConfig("\\DATABASES\\C\\DB INFO", "/first");
  AddConfig("\\DATABASES\\C\\DB INFO", "/second");  // exists: left unchanged
  std::uint16_t count = 0;
  const TFieldDesc* descs = nullptr;
  const std::uint8_t* values = nullptr;
  session->GetConfigRecord("\\DATABASES\\C\\DB INFO", count, descs, values);
  EXPECT_EQ(count, 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(values), "/first");
  EXPECT_EQ(EngineCode([&] { session->GetConfigRecord("\\X", count, descs, values); }), dberr::Eof);
  EXPECT_EQ(EngineCode([&] { session->CheckConfigRecord("\\DATABASES\\C"); }), 0);
  EXPECT_EQ(EngineCode([&] { session->CheckConfigRecord("ZZZ"); }), dberr::Eof);

  TFieldDesc d = MakeField(1, "PATH", fldtype::ZString, 0, 7);
  session->UpdateConfigRecord("\\DATABASES\\C\\DB INFO", 1, &d, "/third");
  session->GetConfigRecord("\\DATABASES\\C\\DB INFO", count, descs, values);
  EXPECT_STREQ(reinterpret_cast<const char*>(values), "/third");
  EXPECT_EQ(EngineFailure([&] { session->UpdateConfigRecord("\\NONE", 1, &d, "/x"); }),
            (TEngineFailure{dberr::RecNotFound, "\\NONE"}));
  session->DeleteConfigRecord("\\DATABASES\\C\\DB INFO");
  EXPECT_EQ(session->ConfigRecords()->Count(), 0);
  EXPECT_EQ(EngineCode([&] { session->DeleteConfigRecord("\\DATABASES\\C\\DB INFO"); }), dberr::RecNotFound);
}

TEST(ParamText, QuotedValuesKeepSeparators) {
  std::vector<std::pair<std::string, std::string>> pairs;
  ParseParamText("PATH:\"C:\\a;b:c\";OPEN MODE:\"READ\";junk;X:\"\"",
                 [&](const std::string& n, const std::string& v) { pairs.emplace_back(n, v); });
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0], std::make_pair(std::string("PATH"), std::string("C:\\a;b:c")));
  EXPECT_EQ(pairs[1], std::make_pair(std::string("OPEN MODE"), std::string("READ")));
  EXPECT_EQ(pairs[2], std::make_pair(std::string("X"), std::string("")));
}

TEST_F(SessionTest, AliasesAddedForTheSession) {
  session->AddAlias(nullptr, "TEMP", nullptr, "PATH:\"/srv/temp\";", false);
  EXPECT_EQ(ListNames(), Names{"TEMP"});
  TDatabaseDesc desc{};
  session->ResolveAlias("temp", desc, 0);
  EXPECT_EQ(SlotText(desc.PhysicalPath), "/srv/temp");
  // The path parameter is found wherever it stands.
  session->AddAlias(nullptr, "OTHER", nullptr, "LANGDRIVER:\"x\";PATH:\"/srv/o\"", false);
  session->ResolveAlias("other", desc, 0);
  EXPECT_EQ(SlotText(desc.PhysicalPath), "/srv/o");
  EXPECT_EQ(EngineCode([&] { session->AddAlias(nullptr, "BAD", nullptr, "NOPATH", false); }),
            dberr::InvalidParam);
  // Adding again replaces; deleting removes, and only what the session holds.
  session->AddAlias(nullptr, "TEMP", nullptr, "PATH:\"/srv/new\";", false);
  session->ResolveAlias("TEMP", desc, 0);
  EXPECT_EQ(SlotText(desc.PhysicalPath), "/srv/new");
  session->DeleteAlias(nullptr, "temp");
  EXPECT_EQ(ListNames(), Names{"OTHER"});
  EXPECT_EQ(EngineCode([&] { session->DeleteAlias(nullptr, "TEMP"); }), dberr::UnknownDb);
}

TEST_F(SessionTest, AliasKeysAreWrittenAndRemoved) {
  session->WriteConfigKey("Bugs", "PhysicalName:\"/srv/bugs\";Description:\"a;b\"");
  TRightsRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  reg.SetAccess(KEY_READ);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Morva\\Access\\Aliases\\Bugs", false));
  EXPECT_EQ(reg.ReadString("PhysicalName"), "/srv/bugs");
  EXPECT_EQ(reg.ReadString("Description"), "a;b");
  reg.CloseKey();
  EXPECT_EQ(ListNames(), Names{"Bugs"});
  session->ReadConfigKey("Bugs");
  EXPECT_FALSE(reg.KeyExists("\\Software\\Morva\\Access\\Aliases\\Bugs"));
  session->ReadConfigKey("Bugs");  // absent: nothing happens
}

TEST_F(SessionTest, RightsRegistryOpensRelativeAndAbsoluteKeys) {
  TRightsRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.Access(), KEY_ALL_ACCESS);
  EXPECT_FALSE(reg.OpenKey("\\Software\\Morva", false));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Morva", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Morva");
  ASSERT_TRUE(reg.OpenKey("Access", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Morva\\Access");
  HKEY key = reg.GetKey("\\Software\\Morva");
  EXPECT_NE(key, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(reg.CurrentPath(), "Software\\Morva\\Access");
  EXPECT_TRUE(TRightsRegistry::IsRelative("a\\b"));
  EXPECT_FALSE(TRightsRegistry::IsRelative("\\a"));
}

TEST_F(SessionTest, ConfigurationNodeListsHoldThePath) {
  AddConfig("\\DATABASES\\C\\DB INFO", "/srv/c");
  TBaseTable* list = nullptr;
  session->OpenConfigNodeList(nullptr, 0, 0, "\\DATABASES\\C\\DB OPEN", list);
  ASSERT_NE(list, nullptr);
  std::vector<std::uint8_t> row(list->GetRecordBufferSize());
  list->SetToStart();
  list->GetNextRecord(0, row.data(), nullptr);
  std::vector<char> text(TextSlotBytes(127));
  bool blank = true;
  list->GetField(1, row.data(), text.data(), blank);
  EXPECT_STREQ(text.data(), "PATH");
  list->GetField(4, row.data(), text.data(), blank);
  EXPECT_STREQ(text.data(), "/srv/c");
  std::uint16_t type = 7;
  list->GetField(3, row.data(), &type, blank);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(EngineCode([&] { list->GetNextRecord(0, row.data(), nullptr); }), dberr::Eof);
  EXPECT_EQ(EngineCode([&] { session->OpenConfigNodeList(nullptr, 0, 0, "\\DATABASES\\NONE\\DB INFO", list); }),
            dberr::UnknownDb);
}

TEST_F(SessionTest, DatabasesOpenThroughTheDriver) {
  TBaseDatabase* db = nullptr;
  EXPECT_EQ(EngineCode([&] {
              session->OpenDatabase(nullptr, nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db);
            }),
            dberr::InvalidParam);
  session->OpenDatabase("/srv/bugs.mdb", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(SlotText(session->LastDescription.PhysicalPath), "/srv/bugs.mdb/");
  TBaseTable* c = nullptr;
  db->OpenTable("Orders", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c);
  db->OpenTable("Orders", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c);
  std::uint16_t count = 0;
  session->CountOpenCursors("Orders", count);
  EXPECT_EQ(count, 2);
  session->CountOpenCursors("Nothing", count);
  EXPECT_EQ(count, 0);

  TSessionInfo info;
  session->GetSessionInfo(info);
  EXPECT_EQ(SlotText(info.Name), "Default");
  EXPECT_EQ(info.DatabaseCount, 1);
  EXPECT_EQ(info.CursorCount, 2);
  EXPECT_EQ(SlotText(info.NetworkDirectory), "/net/dir");
  session->SetPrivateDirectory("/private");
  session->GetSessionInfo(info);
  EXPECT_EQ(SlotText(info.PrivateDirectory), "/private");
  EXPECT_EQ(info.Position, 0);
}

TEST_F(SessionTest, PropertiesConversionsAndReservedOperations) {
  std::int32_t value = 0;
  std::uint16_t length = 0;
  session->SetProperty(0x2000C, 42);
  session->GetProperty(0x20003, &value, 4, length);
  EXPECT_EQ(value, 42);
  char dir[300] = {};
  session->GetProperty(0x20002, dir, sizeof dir, length);
  EXPECT_EQ(length, std::strlen(dir) + 1);
  EXPECT_EQ(EngineCode([&] { session->GetProperty(0x20005, dir, 4, length); }), dberr::NotSupported);

  char out[8] = {};
  bool loss = true;
  session->ConvertAnsiToOem(nullptr, "äb", out, 4, loss);
  EXPECT_STREQ(out, "äb");
  EXPECT_FALSE(loss);

  EXPECT_EQ(EngineCode([&] { session->Op45(); }), dberr::DriverLimit);
  EXPECT_EQ(EngineCode([&] { session->Op12(); }), dberr::NotSupported);
  EXPECT_EQ(EngineCode([&] { session->Op70(); }), dberr::NotSupported);
  std::uint8_t record[346];
  session->Op43(record);
  std::int32_t word;
  std::memcpy(&word, record + 4, 4);
  EXPECT_EQ(word, -1);
  EXPECT_EQ(record[8], 0);
  EXPECT_EQ(session->GetDriverName(), "MORVA");
  EXPECT_FALSE(session->GetNetUserName().empty());
  TBaseSession plain(nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(EngineCode([&] { plain.InitRegistryKey(); }), dberr::NotSupported);
}

TEST(ListTables, AListOverNoRowsEndsAtOnce) {
  TBaseListTable empty(nullptr, nullptr, nullptr, 0, 10);
  std::uint8_t row[10];
  EXPECT_EQ(EngineCode([&] { empty.GetNextRecord(0, row, nullptr); }), dberr::Eof);
  const char rows[2][10] = {"one", "two"};
  TBaseListTable two(nullptr, nullptr, rows, 2, 10);
  two.GetNextRecord(0, row, nullptr);
  two.GetNextRecord(0, row, nullptr);
  EXPECT_STREQ(reinterpret_cast<char*>(row), "two");
  EXPECT_EQ(EngineCode([&] { two.GetNextRecord(0, row, nullptr); }), dberr::Eof);
}

}  // namespace
