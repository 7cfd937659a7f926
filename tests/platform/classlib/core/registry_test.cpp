#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/classlib/core/english_settings.h"
#include "platform/classlib/core/failingfiles.h"
#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/registry.h"
#include "platform/classlib/core/regstore.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/core/child_writers.h"

namespace {

// Points the store at a fresh folder for each test.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("VANTREL_REGISTRY_DIR");
    if (old != nullptr) saved_ = old;
    hadOld_ = old != nullptr;
    ::setenv("VANTREL_REGISTRY_DIR", tmp_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_)
      ::setenv("VANTREL_REGISTRY_DIR", saved_.c_str(), 1);
    else
      ::unsetenv("VANTREL_REGISTRY_DIR");
  }

  std::string StoreFile(const char* root = "HKEY_CURRENT_USER") const {
    return tmp_ / (std::string(root) + ".reg");
  }
  // What the file holds once the changes still held in this process are saved.
  std::string FileText(const char* root = "HKEY_CURRENT_USER") const {
    Save(root);
    std::string text;
    ReadWholeFile(StoreFile(root), text);
    return text;
  }
  static void Save(const std::string& root) {
    const std::pair<const char*, HKEY> roots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                                                  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                                                  {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                                                  {"HKEY_USERS", HKEY_USERS}};
    for (auto [name, key] : roots)
      if (root == name) RegFlushKey(key);
  }
  // Saves the held changes and makes the next access parse the file again, as
  // another process would.
  void ForgetCache(const char* root = "HKEY_CURRENT_USER") const {
    Save(root);
    Touch(root);
  }
  void Touch(const char* root) const {
    static long tick = 1000000;
    timespec times[2] = {{++tick, 0}, {tick, 0}};
    ::utimensat(AT_FDCWD, StoreFile(root).c_str(), times, 0);
  }
  // Writes the file as another program would.
  void WriteStore(const std::string& text, const char* root = "HKEY_CURRENT_USER") const {
    std::ofstream(StoreFile(root), std::ios::binary) << text;
    Touch(root);
  }

  TempDir tmp_;

 private:
  std::string saved_;
  bool hadOld_ = false;
};

std::vector<std::string> ToVector(const TStrings& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

}  // namespace

TEST_F(RegistryTest, EveryValueTypeSurvivesTheFile) {
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Test", true));
    reg.WriteString("Text", "plain");
    reg.WriteString("Empty", "");
    reg.WriteString("Tricky", "C:\\path\\\"quoted\" & \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    reg.WriteString("Lines", "first\r\nsecond\ttab");
    reg.WriteExpandString("Expand", "%HOME%\\x \xC3\xA9");
    reg.WriteInteger("Int", -123456);
    reg.WriteInteger("Hexy", 0x1f);
    reg.WriteBool("Yes", true);
    reg.WriteBool("No", false);
    reg.WriteFloat("Pi", 3.141592653589793);
    reg.WriteFloat("Inf", std::numeric_limits<double>::infinity());
    reg.WriteBinaryData("Bytes", binary.data(), static_cast<int>(binary.size()));
    reg.WriteBinaryData("NoBytes", nullptr, 0);
  }
  ForgetCache();
  std::string text = FileText();
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Test]"), std::string::npos);
  EXPECT_NE(text.find("\"Text\"=\"plain\""), std::string::npos);
  EXPECT_NE(text.find("\"Hexy\"=dword:0000001f"), std::string::npos);
  EXPECT_NE(text.find("\"Tricky\"=\"C:\\\\path\\\\\\\"quoted\\\" & "), std::string::npos);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Test", false));
  EXPECT_EQ(reg.ReadString("Text"), "plain");
  EXPECT_EQ(reg.ReadString("Empty"), "");
  EXPECT_EQ(reg.ReadString("Tricky"),
            "C:\\path\\\"quoted\" & \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(reg.ReadString("Lines"), "first\r\nsecond\ttab");
  EXPECT_EQ(reg.ReadString("Expand"), "%HOME%\\x \xC3\xA9");
  EXPECT_EQ(reg.GetDataType("Expand"), rdExpandString);
  EXPECT_EQ(reg.ReadInteger("Int"), -123456);
  EXPECT_EQ(reg.ReadInteger("Hexy"), 31);
  EXPECT_TRUE(reg.ReadBool("Yes"));
  EXPECT_FALSE(reg.ReadBool("No"));
  EXPECT_EQ(reg.ReadFloat("Pi"), 3.141592653589793);
  EXPECT_TRUE(std::isinf(reg.ReadFloat("Inf")));
  std::string back(300, 'x');
  EXPECT_EQ(reg.ReadBinaryData("Bytes", back.data(), 300), 256);
  EXPECT_EQ(back.substr(0, 256), binary);
  EXPECT_EQ(reg.ReadBinaryData("NoBytes", back.data(), 300), 0);
  EXPECT_EQ(reg.ReadBinaryData("Missing", back.data(), 300), 0);
}

TEST_F(RegistryTest, DataTypesAndSizes) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Sizes", true));
  reg.WriteString("S", "abc");
  reg.WriteString("U", "\xC3\xA9");  // two bytes of UTF-8
  reg.WriteInteger("I", 7);
  reg.WriteFloat("F", 1.5);
  EXPECT_EQ(reg.GetDataSize("S"), 4);
  EXPECT_EQ(reg.GetDataSize("U"), 3);
  EXPECT_EQ(reg.GetDataSize("I"), 4);
  EXPECT_EQ(reg.GetDataSize("F"), 8);
  EXPECT_EQ(reg.GetDataSize("Missing"), -1);
  EXPECT_EQ(reg.GetDataType("S"), rdString);
  EXPECT_EQ(reg.GetDataType("I"), rdInteger);
  EXPECT_EQ(reg.GetDataType("F"), rdBinary);
  EXPECT_EQ(reg.GetDataType("Missing"), rdUnknown);
  TRegDataInfo info;
  EXPECT_TRUE(reg.GetDataInfo("s", info)) << "value names ignore case";
  EXPECT_EQ(info.RegData, rdString);
  EXPECT_EQ(info.DataSize, 4);
  EXPECT_FALSE(reg.GetDataInfo("Missing", info));

  const char multi[] = "a\0b\0";
  ASSERT_EQ(RegSetValueExA(reg.CurrentKey(), "Multi", 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(multi), sizeof multi),
            ERROR_SUCCESS);
  ForgetCache();
  EXPECT_EQ(reg.GetDataType("Multi"), rdUnknown);
  char back[16] = {};
  EXPECT_EQ(reg.ReadBinaryData("Multi", back, sizeof back), static_cast<int>(sizeof multi));
  EXPECT_EQ(std::memcmp(back, multi, sizeof multi), 0);
}

TEST_F(RegistryTest, ReadsRaiseTheLibraryErrors) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Errors", true));
  reg.WriteString("Text", "12");
  reg.WriteInteger("Number", 12);
  reg.WriteBinaryData("Long", "12345678", 8);
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadInteger("Missing"); }),
            "Failed to get data for 'Missing'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadInteger("Text"); }),
            "Invalid data type for 'Text'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadBool("Long"); }),
            "Failed to get data for 'Long'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadString("Number"); }),
            "Invalid data type for 'Number'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadFloat("Number"); }),
            "Invalid data type for 'Number'");
  char small[4];
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadBinaryData("Long", small, 4); }),
            "Invalid data type for 'Long'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadBinaryData("Text", small, 4); }),
            "Invalid data type for 'Text'");
  EXPECT_EQ(reg.ReadString("Missing"), "") << "a missing string reads empty";

  reg.CloseKey();
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteString("x", "y"); }),
            "Failed to set data for 'x'")
      << "no key open";
}

TEST_F(RegistryTest, NamesKeepBlanksAmpersandsQuotesAndSpelling) {
  const std::vector<std::string> names = {"A && B", "  spaced  ", "say \"hi\"", "back\\slash",
                                          "=equals=", "@", "\xC3\x9C" "bersicht", "[x]"};
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Mixed Case Key", true));
    for (const auto& name : names) reg.WriteString(name, "value of " + name);
    reg.WriteString("", "the default");
  }
  ForgetCache();
  EXPECT_NE(FileText().find("\"A && B\"=\"value of A && B\""), std::string::npos);
  EXPECT_NE(FileText().find("@=\"the default\""), std::string::npos);
  EXPECT_NE(FileText().find("\"@\"=\"value of @\""), std::string::npos);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\mixed case key", false));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\mixed case key");
  for (const auto& name : names) EXPECT_EQ(reg.ReadString(name), "value of " + name) << name;
  EXPECT_EQ(reg.ReadString(""), "the default");
  TStringList list;
  reg.GetValueNames(&list);
  std::vector<std::string> expected = names;
  expected.push_back("");
  EXPECT_EQ(ToVector(list), expected);

  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  reg.GetKeyNames(&list);
  EXPECT_EQ(ToVector(list), std::vector<std::string>{"Mixed Case Key"});
  EXPECT_TRUE(reg.ValueExists("") == false);
}

// A name is one in every case of its letters: each pair the case-blind
// comparisons join, whatever their lengths.
TEST_F(RegistryTest, NamesMatchInEveryCaseOfTheirLetters) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Ơn Straße", true));
    reg.WriteString("ΣΑΣ \u212Aey", "one");
  }
  ForgetCache();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\ơN STRAẞE", false));
  EXPECT_EQ(reg.ReadString("σας key"), "one");
  reg.WriteString("Σας KEY", "two");  // the same value, written over
  TStringList list;
  reg.GetValueNames(&list);
  EXPECT_EQ(ToVector(list), std::vector<std::string>{"ΣΑΣ \u212Aey"});
  EXPECT_EQ(reg.ReadString("ΣΑΣ \u212Aey"), "two");
  EXPECT_FALSE(reg.KeyExists("\\Software\\ƠN STRASSE")) << "ß is no double s";
}

TEST_F(RegistryTest, KeysNestCreateDeleteAndExist) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\Nope", false));
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_TRUE(reg.CreateKey("Software\\Corvane Software\\Vantrel 2.00\\Settings\\Toolbar\\Main"));
  EXPECT_TRUE(reg.KeyExists("software\\CORVANE SOFTWARE\\vantrel 2.00"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Corvane Software\\Vantrel 2.00\\Settings\\Toolbar"));
  EXPECT_FALSE(reg.KeyExists("Software\\Corvane Software\\Vantrel 3.00"));

  ASSERT_TRUE(reg.OpenKey("Software\\Corvane Software", false));
  EXPECT_TRUE(reg.HasSubKeys());
  ASSERT_TRUE(reg.OpenKey("Vantrel 2.00", false)) << "relative to the open key";
  EXPECT_EQ(reg.CurrentPath(), "Software\\Corvane Software\\Vantrel 2.00");
  EXPECT_TRUE(reg.KeyExists("Settings"));
  ASSERT_TRUE(reg.OpenKey("Settings\\Other", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Corvane Software\\Vantrel 2.00\\Settings\\Other");
  EXPECT_FALSE(reg.HasSubKeys());
  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  EXPECT_EQ(reg.CurrentPath(), "Software");

  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("Software\\Corvane Software\\Vantrel 2.00\\Settings", false));
  reg.WriteInteger("Value", 1);
  TRegKeyInfo info;
  ASSERT_TRUE(reg.GetKeyInfo(info));
  EXPECT_EQ(info.NumSubKeys, 2);
  EXPECT_EQ(info.NumValues, 1);
  EXPECT_EQ(info.MaxSubKeyLen, 7);
  TStringList list;
  reg.GetKeyNames(&list);
  EXPECT_EQ(ToVector(list), (std::vector<std::string>{"Other", "Toolbar"}));

  EXPECT_TRUE(reg.DeleteKey("\\Software\\Corvane Software\\Vantrel 2.00"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\Corvane Software\\Vantrel 2.00\\Settings\\Toolbar"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Corvane Software"));
  EXPECT_FALSE(reg.DeleteKey("\\Software\\Corvane Software\\Vantrel 2.00"));
  EXPECT_THROW(reg.WriteInteger("Value", 2), ERegistryException)
      << "the open key was deleted under it";
  ForgetCache();
  EXPECT_EQ(FileText().find("Vantrel 2.00"), std::string::npos);
  EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Corvane Software]"), std::string::npos)
      << "empty keys are kept";
}

TEST_F(RegistryTest, RootKeysAreSeparateFiles) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Morva\\Access\\Aliases\\Bugs", true));
  reg.WriteString("PhysicalName", "/data/bugs.mdb");
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_EQ(reg.CurrentKey(), nullptr) << "changing the root closes the key";
  ASSERT_TRUE(reg.OpenKey("\\.txt", true));
  reg.WriteString("", "txtfile");
  reg.SetRootKey(HKEY_USERS);
  EXPECT_TRUE(reg.OpenKey("x", true));
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.KeyExists("\\Software\\Morva"));

  EXPECT_NE(FileText("HKEY_LOCAL_MACHINE").find("[HKEY_LOCAL_MACHINE\\Software\\Morva\\Access\\Aliases\\Bugs]"),
            std::string::npos);
  EXPECT_NE(FileText("HKEY_CLASSES_ROOT").find("[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"txtfile\""),
            std::string::npos);
  EXPECT_NE(FileText("HKEY_USERS").find("[HKEY_USERS\\x]"), std::string::npos);
  EXPECT_FALSE(FileExists(StoreFile()));
}

TEST_F(RegistryTest, ReadOnlyOpenRefusesEveryWrite) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Locked\\Child", true));
    reg.WriteString("Keep", "me");
  }
  std::string before = FileText();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Locked\\Child"));
  EXPECT_EQ(reg.Access(), KEY_ALL_ACCESS) << "the object's access is unchanged";
  EXPECT_EQ(reg.ReadString("Keep"), "me");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteString("Keep", "changed"); }),
            "Failed to set data for 'Keep'");
  EXPECT_THROW(reg.WriteInteger("New", 1), ERegistryException);
  EXPECT_FALSE(reg.DeleteValue("Keep"));
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.CreateKey("Below"); }),
            "Failed to create key Below");
  EXPECT_FALSE(reg.OpenKey("Below", true));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Locked"));
  EXPECT_FALSE(reg.DeleteKey("Child"));
  EXPECT_EQ(FileText(), before);

  TRegistry reader(KEY_READ);
  ASSERT_TRUE(reader.OpenKey("Software\\Locked\\Child", true)) << "an existing key opens";
  EXPECT_THROW(reader.WriteString("Keep", "x"), ERegistryException);
  EXPECT_EQ(FileText(), before);
  // The access asked for applies to the opened key; making a missing one is the root's right.
  ASSERT_TRUE(reader.OpenKey("\\Software\\Locked\\Other", true));
  EXPECT_THROW(reader.WriteString("Keep", "x"), ERegistryException);
}

TEST_F(RegistryTest, IniFileSectionsOverSubKeys) {
  const std::string key = "Software\\Corvane Software\\Vantrel 2.00\\Settings";
  {
    TRegIniFile ini(key);
    EXPECT_EQ(ini.CurrentPath(), key);
    EXPECT_EQ(ini.FileName(), key);
    EXPECT_EQ(ini.ReadString("Options", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("No Such Section", "X", 42), 42);
    ini.WriteString("Settings", "DatabaseLocation", "/data/DB/Vantrel.MDB");
    ini.WriteInteger("Options", "WindowTop", -100);
    ini.WriteBool("Options", "ConfirmDeletes", true);
    ini.WriteBool("Column Visible", "Title && Name", false);
    ini.WriteString("Column Visible", "Area", "1");
  }
  TRegIniFile ini(key);
  EXPECT_EQ(ini.ReadString("settings", "databaselocation", ""), "/data/DB/Vantrel.MDB");
  EXPECT_EQ(ini.ReadInteger("Options", "WindowTop", 0), -100);
  EXPECT_TRUE(ini.ReadBool("Options", "ConfirmDeletes", false));
  EXPECT_FALSE(ini.ReadBool("Column Visible", "Title && Name", true));

  // Numbers are decimal text, so other programs and older layouts read them.
  ASSERT_TRUE(ini.OpenKey("\\" + key + "\\Options", false));
  EXPECT_EQ(ini.GetDataType("WindowTop"), rdString);
  EXPECT_EQ(ini.ReadString("WindowTop"), "-100");
  ini.WriteString("Hex", "0x1F");
  ini.WriteString("Dollar", "$10");
  ini.WriteString("Junk", "12abc");
  ini.WriteInteger("Dword", 7);
  ini.WriteBinaryData("Blob", "ab", 2);
  ASSERT_TRUE(ini.OpenKey("\\" + key, false));
  EXPECT_EQ(ini.ReadInteger("Options", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Options", "Dollar", 0), 16);
  EXPECT_EQ(ini.ReadInteger("Options", "Junk", -5), -5);
  EXPECT_EQ(ini.ReadInteger("Options", "Dword", 0), 7);
  EXPECT_EQ(ini.ReadInteger("Options", "Blob", 3), 3);
  EXPECT_EQ(ini.ReadString("Options", "Dword", "d"), "d") << "no text: the default";

  TStringList list;
  ini.ReadSections(&list);
  EXPECT_EQ(ToVector(list), (std::vector<std::string>{"Column Visible", "Options", "Settings"}));
  ini.ReadSection("Column Visible", &list);
  EXPECT_EQ(ToVector(list), (std::vector<std::string>{"Title && Name", "Area"}));
  ini.ReadSectionValues("Column Visible", &list);
  EXPECT_EQ(ToVector(list), (std::vector<std::string>{"Title && Name=0", "Area=1"}));
  EXPECT_EQ(list.Values("Title && Name"), "0");
  ini.ReadSection("Missing", &list);
  EXPECT_EQ(list.Count(), 0);

  ini.DeleteKey("Column Visible", "Area");
  ini.ReadSection("Column Visible", &list);
  EXPECT_EQ(ToVector(list), std::vector<std::string>{"Title && Name"});
  ini.EraseSection("Column Visible");
  ini.ReadSections(&list);
  EXPECT_EQ(ToVector(list), (std::vector<std::string>{"Options", "Settings"}));

  ini.WriteString("", "AtTop", "x");
  EXPECT_EQ(ini.ReadString("", "AtTop", ""), "x") << "an empty section is the key itself";

  // Several Booleans at once read as one at a time would, whatever is stored.
  const std::vector<std::string> idents = {"Hex", "Dollar", "Junk", "Dword", "Blob", "WindowTop", "nONE"};
  ini.WriteString("Options", "Zero", "0");
  for (const char* section : {"Options", "Missing"})
    for (bool fallback : {false, true}) {
      std::vector<bool> one;
      for (const std::string& ident : idents) one.push_back(ini.ReadBool(section, ident, fallback));
      EXPECT_EQ(ini.ReadBools(section, idents, fallback), one) << section << fallback;
    }
  EXPECT_EQ(ini.ReadBools("Options", {"Zero", "Junk"}, true), (std::vector<bool>{false, true}));
}

TEST_F(RegistryTest, DamagedStoreIsReportedWithLineAndLeftIntact) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n"
       "\"Good\"=\"x\"\r\n\"Bad\"=dword:xyz\r\n",
       "line 5"},
      {"garbage\r\n", "line 1"},
      {"Windows Registry Editor Version 5.00\n\"Orphan\"=\"x\"\n", "line 2"},
      {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software]\n", "line 2"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software]\n\"Open=\"x\n",
       "line 3"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,0g\n", "line 3"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,\\\n", "line 3"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n", "line 2"},
  };
  for (const auto& [content, line] : cases) {
    WriteStore(content);
    TRegistry reg;
    std::string message = MessageOf<ERegistryException>([&] { reg.OpenKey("Software", true); });
    EXPECT_NE(message.find(StoreFile()), std::string::npos) << message;
    EXPECT_NE(message.find(line), std::string::npos) << message;
    EXPECT_THROW(reg.CreateKey("\\New"), ERegistryException);
    EXPECT_THROW(TRegIniFile("Software\\X").WriteString("S", "a", "b"), ERegistryException);
    EXPECT_EQ(FileText(), content) << "a damaged file is never written over";
  }
}

TEST_F(RegistryTest, ReadsHandWrittenFiles) {
  WriteStore(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
      "; a comment\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Hand]\n"
      "\"Long\"=hex:01,02,03,\\\n"
      "  04,05\n"
      "  \"Indented\" = \"yes\"  \n"
      "\"Path\"=hex(2):25,00,41,00,25,00,e9,00,00,00\n"
      "\"Small\"=dword:1\n"
      "\"Blank\"=hex: \\\n"
      "   \n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Hand\\]\n"
      "\"Again\"=\"merged\"\n"
      "\"small\"=dword:00000002\n");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Hand", false));
  char bytes[8];
  EXPECT_EQ(reg.ReadBinaryData("Long", bytes, 8), 5);
  EXPECT_EQ(std::string(bytes, 5), std::string("\x01\x02\x03\x04\x05"));
  EXPECT_EQ(reg.ReadString("Indented"), "yes");
  EXPECT_EQ(reg.ReadString("Path"), "%A%\xC3\xA9");
  EXPECT_EQ(reg.ReadInteger("Small"), 2) << "a later line replaces an earlier one";
  EXPECT_EQ(reg.ReadString("Again"), "merged");
  EXPECT_EQ(reg.ReadBinaryData("Blank", bytes, 8), 0) << "continued over a line of blanks";

  // A change rewrites the file in the canonical form.
  reg.WriteString("Added", "1");
  std::string text = FileText();
  EXPECT_EQ(text.find(';'), std::string::npos);
  EXPECT_NE(text.find("\"Path\"=hex(2):25,00,41,00,25,00,e9,00,00,00"), std::string::npos);
  EXPECT_NE(text.find("\"Small\"=dword:00000002"), std::string::npos);
}

// A long binary value as exported files write it, continued over 100,000
// lines: read whole, and the line after it as a value of its own. (Reading is
// linear in the file's length: bench/registry_bench.cpp measures it.)
TEST_F(RegistryTest, AValueContinuedOverManyLinesIsReadWhole) {
  constexpr int kLines = 100000, kPerLine = 8;
  std::string file =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Long]\r\n\"Value\"=hex:";
  std::string expected;
  for (int line = 0; line < kLines; ++line) {
    for (int i = 0; i < kPerLine; ++i) {
      const unsigned byte = unsigned(line * kPerLine + i) * 7 % 251;
      expected += static_cast<char>(byte);
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02x", byte);
      file += hex;
      if (line < kLines - 1 || i < kPerLine - 1) file += ',';
    }
    if (line < kLines - 1) file += "\\\r\n  ";
  }
  file += "\r\n\"After\"=dword:00000007\r\n";
  WriteStore(file);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Long", false));
  std::string read(expected.size() + 1, '\0');
  ASSERT_EQ(reg.ReadBinaryData("Value", read.data(), static_cast<int>(read.size())), int(expected.size()));
  read.resize(expected.size());
  EXPECT_TRUE(read == expected) << "the bytes differ from byte "
                                << std::mismatch(read.begin(), read.end(), expected.begin()).first - read.begin();
  EXPECT_EQ(reg.ReadInteger("After"), 7);
}

TEST_F(RegistryTest, SeesChangesMadeByOthers) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Shared", true));
  reg.WriteString("Value", "mine");
  EXPECT_EQ(reg.ReadString("Value"), "mine");
  RegFlushKey(reg.CurrentKey());
  // Another program replaces the file (same size, so only the identity tells).
  const std::string theirs =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Shared]\r\n\"Value\"=\"ours\"\r\n";
  WriteFileAtomically(StoreFile(), theirs);
  EXPECT_EQ(reg.ReadString("Value"), "ours");
  // A change held now stays seen here while the other program writes again, and the
  // save keeps the other program's content.
  reg.WriteString("Second", "2");
  WriteFileAtomically(StoreFile(), theirs + "\"Third\"=\"3\"\r\n");
  EXPECT_EQ(reg.ReadString("Second"), "2");
  EXPECT_EQ(reg.ReadString("Third"), "3");
  RegFlushKey(reg.CurrentKey());
  EXPECT_EQ(FileText(),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Shared]\r\n\"Value\"=\"ours\"\r\n\"Third\"=\"3\"\r\n"
            "\"Second\"=\"2\"\r\n\r\n");
}

// An object's changes reach the file together: when it is freed, at CloseKey with
// LazyWrite off, or at RegFlushKey. Until then every reader in this process sees them.
TEST_F(RegistryTest, AnObjectsChangesAreSavedTogether) {
  auto onDisk = [&] {
    std::string text;
    ReadWholeFile(StoreFile(), text);
    return text;
  };
  {
    TRegIniFile ini("Software\\Batch");
    ini.WriteString("S", "a", "1");
    ini.WriteInteger("S", "b", 2);
    ini.EraseSection("Gone");
    EXPECT_EQ(onDisk(), "") << "nothing saved yet";
    TRegistry other;
    ASSERT_TRUE(other.OpenKey("Software\\Batch\\S", false));
    EXPECT_EQ(other.ReadString("a"), "1");
    EXPECT_EQ(ini.ReadInteger("S", "b", 0), 2);
  }
  EXPECT_NE(onDisk().find("[HKEY_CURRENT_USER\\Software\\Batch\\S]\r\n\"a\"=\"1\"\r\n\"b\"=\"2\""),
            std::string::npos);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Batch\\S", false));
  reg.DeleteValue("a");
  EXPECT_NE(onDisk().find("\"a\""), std::string::npos);
  RegFlushKey(reg.CurrentKey());
  EXPECT_EQ(onDisk().find("\"a\""), std::string::npos);
  reg.SetLazyWrite(false);
  reg.WriteString("c", "3");
  reg.CloseKey();
  EXPECT_NE(onDisk().find("\"c\"=\"3\""), std::string::npos);
}

// A held change meets a file damaged meanwhile: the save is refused and leaves the file
// as it is. The object that ends unsaved tells the user, once, and its change is
// dropped: nothing here pretends that it was saved.
TEST_F(RegistryTest, AHeldChangeThatCannotBeSavedIsToldAndDropped) {
  std::vector<std::string> told;
  const regstore::SaveFailureHandler old =
      regstore::SetSaveFailureHandler([&](const std::string& message) { told.push_back(message); });
  auto ini = std::make_unique<TRegIniFile>("Software\\Held");
  ini->WriteString("S", "kept", "yes");
  const std::string damaged = "garbage\r\n";
  WriteStore(damaged);
  std::string message = MessageOf<ERegistryException>([&] { RegFlushKey(ini->CurrentKey()); });
  EXPECT_NE(message.find("line 1"), std::string::npos) << message;
  ini.reset();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].starts_with("The settings could not be saved: ")) << told[0];
  EXPECT_NE(told[0].find("line 1"), std::string::npos) << told[0];
  std::string text;
  ReadWholeFile(StoreFile(), text);
  EXPECT_EQ(text, damaged);
  WriteStore("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n");
  TRegIniFile after("Software\\Held");
  EXPECT_EQ(after.ReadString("S", "kept", "dropped"), "dropped");
  text = FileText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Other]"), std::string::npos);
  EXPECT_EQ(text.find("kept"), std::string::npos);
  regstore::SetSaveFailureHandler(old);
}

// Settings saved on a full disk: the user is told once, however many objects fail
// to save, and again only after a save has succeeded; nothing unsaved is seen as
// saved, and no temporary file stays behind.
TEST_F(RegistryTest, ASaveOnAFullDiskIsToldOnceAndNothingPretends) {
  std::vector<std::string> told;
  const regstore::SaveFailureHandler old =
      regstore::SetSaveFailureHandler([&](const std::string& message) { told.push_back(message); });
  { TRegIniFile("Software\\Full").WriteString("S", "v", "old"); }
  auto saveOnFullDisk = [&](const std::string& value) {
    TFailingFiles full(tmp_.Path(), TFileCall::Write, 1, ENOSPC);
    TRegIniFile ini("Software\\Full");
    ini.WriteString("S", "v", value);
    ini.WriteString("S", "w", value);
  };
  saveOnFullDisk("new");
  saveOnFullDisk("newer");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].starts_with("The settings could not be saved: ")) << told[0];
  EXPECT_NE(told[0].find("No space left on device"), std::string::npos) << told[0];
  TRegIniFile reader("Software\\Full");
  EXPECT_EQ(reader.ReadString("S", "v", ""), "old");
  EXPECT_EQ(reader.ReadString("S", "w", "none"), "none");
  EXPECT_EQ(FileText().find("new"), std::string::npos);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tmp_.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));

  { TRegIniFile("Software\\Full").WriteString("S", "v", "saved"); }
  saveOnFullDisk("lost");
  EXPECT_EQ(told.size(), 2u) << "a new failure after a save is told again";
  EXPECT_EQ(TRegIniFile("Software\\Full").ReadString("S", "v", ""), "saved");
  regstore::SetSaveFailureHandler(old);
}

// Each step of a settings save failing leaves the file as it was.
TEST_F(RegistryTest, EveryStepOfASaveMayFail) {
  { TRegIniFile("Software\\Steps").WriteString("S", "v", "old"); }
  const std::string before = FileText();
  for (TFileCall call : {TFileCall::Open, TFileCall::Write, TFileCall::Sync, TFileCall::Rename}) {
    bool raised = false;
    std::string left;  // the file just after the failure
    const int runs = FailEachCall(
        tmp_.Path(), call,
        [&] {
          raised = false;
          TRegistry reg;
          reg.SetLazyWrite(false);
          try {
            if (reg.OpenKey("Software\\Steps\\S", false)) reg.WriteString("v", "new");
            reg.CloseKey();
          } catch (const ERegistryException&) {
            raised = true;
            ReadWholeFile(StoreFile(), left);
          }
        },
        [&](int n) {
          EXPECT_TRUE(raised) << int(call) << " #" << n;
          EXPECT_EQ(left, before) << int(call) << " #" << n;
        });
    EXPECT_GE(runs, 1) << int(call);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Steps\\S", false));
    EXPECT_EQ(reg.ReadString("v"), "new") << "the run past the last failure saves";
    reg.WriteString("v", "old");
  }
}

// Three ways of writing race: each value saved at once through a key handle, an object
// saving every ten values, and an object saving once when freed.
TEST_F(RegistryTest, TwoProcessesWritingTogetherLoseNothing) {
  constexpr int kWriters = 3;
  constexpr int kWrites = 150;
  auto name = [](int w, int i) { return "w" + std::to_string(w) + "_" + std::to_string(i); };
  auto write = [&](int w) {
    if (w == 0) {
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
      for (int i = 0; i < kWrites; ++i) {
        DWORD data = static_cast<DWORD>(i);
        if (RegSetValueExA(key, name(w, i).c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&data), 4) != ERROR_SUCCESS)
          return false;
      }
      return RegCloseKey(key) == ERROR_SUCCESS;
    }
    TRegistry reg;
    if (!reg.OpenKey("Software\\Race", true)) return false;
    for (int i = 0; i < kWrites; ++i) {
      reg.WriteInteger(name(w, i), i);
      if (i % 10 == 0) reg.CreateKey("\\Software\\Race\\K" + name(w, i));
      if (reg.ReadInteger(name(w, i)) != i) return false;  // its own held change
      if (w == 1 && i % 10 == 9) RegFlushKey(reg.CurrentKey());
    }
    return true;
  };
  // Meanwhile this process reads: it must always find a whole file.
  int reads = 0, failures = 0;
  auto read = [&] {
    try {
      TRegistry reader;
      if (reader.OpenKey("Software\\Race", false)) reader.ValueExists("w0_0");
      ++reads;
    } catch (const ERegistryException&) {
      ++failures;
    }
  };
  EXPECT_EQ(RunChildWriters(kWriters, write, read), std::vector<int>(kWriters, 0));
  EXPECT_EQ(failures, 0);
  EXPECT_GT(reads, 10);
  ForgetCache();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Race", false));
  TStringList names;
  reg.GetValueNames(&names);
  EXPECT_EQ(names.Count(), kWriters * kWrites);
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kWrites; ++i) EXPECT_EQ(reg.ReadInteger(name(w, i)), i);
  reg.GetKeyNames(&names);
  EXPECT_EQ(names.Count(), (kWriters - 1) * kWrites / 10);
  TSearchRec rec;
  EXPECT_NE(FindFirst(tmp_ / ".HKEY*", faAnyFile, rec), 0) << "no temporary files left behind";
}

TEST_F(RegistryTest, KeyHandleFunctions) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "\\Software\\Morva\\Access", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\morva\\access", 0, nullptr, 0,
                            KEY_READ, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

  const char text[] = "hello";
  ASSERT_EQ(RegSetValueExA(key, "Greeting", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(again, "Greeting", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6),
            ERROR_ACCESS_DENIED);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(again, "Greeting", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 6u);
  char small[3];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(again, "Greeting", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  char buffer[16];
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExA(again, "Greeting", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(RegQueryValueExA(again, "Nothing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExA(key, "Aliases\\Bugs", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key, "Aliases"), ERROR_ACCESS_DENIED) << "it still has a sub-key";
  EXPECT_EQ(RegDeleteKeyA(again, "Aliases\\Bugs"), ERROR_ACCESS_DENIED) << "read-only handle";
  EXPECT_EQ(RegDeleteKeyA(key, "Aliases\\Bugs"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(sub, "X", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS) << "a handle to a deleted key still closes";
  EXPECT_EQ(RegOpenKeyExA(key, "Aliases\\Bugs", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sub, nullptr);

  EXPECT_EQ(RegDeleteValueA(key, "Greeting"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "Greeting"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, DatesAreStoredAsTheirDouble) {
  TDateTime stamp = EncodeDate(2026, 12, 6) + EncodeTime(17, 1, 5, 500);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Dates", true));
  reg.WriteDateTime("Stamp", stamp);
  reg.WriteDate("Day", EncodeDate(1899, 12, 30));
  reg.WriteTime("Clock", EncodeTime(12, 0, 0, 0));
  ForgetCache();
  EXPECT_EQ(reg.ReadDateTime("Stamp").Value, stamp.Value);
  EXPECT_EQ(reg.ReadDate("Day").Value, 0.0);
  EXPECT_EQ(reg.ReadTime("Clock").Value, 0.5);
  EXPECT_EQ(reg.GetDataType("Stamp"), rdBinary);
  EXPECT_EQ(reg.GetDataSize("Stamp"), 8);
  EXPECT_NE(FileText().find("\"Clock\"=hex:00,00,00,00,00,00,e0,3f"), std::string::npos);
  reg.WriteInteger("Int", 1);
  EXPECT_THROW(reg.ReadDate("Int"), ERegistryException);
}

TEST_F(RegistryTest, RenameValueAndLazyWriteFlag) {
  TRegistry reg;
  reg.SetLazyWrite(false);
  EXPECT_FALSE(reg.LazyWrite());
  ASSERT_TRUE(reg.OpenKey("Software\\Rename", true));
  reg.WriteInteger("Old", 5);
  reg.WriteInteger("Taken", 6);
  reg.RenameValue("Old", "Taken");
  EXPECT_EQ(reg.ReadInteger("Old"), 5) << "an existing name is not overwritten";
  reg.RenameValue("Old", "New");
  EXPECT_FALSE(reg.ValueExists("Old"));
  EXPECT_EQ(reg.ReadInteger("New"), 5);
  reg.RenameValue("Missing", "Other");
  EXPECT_FALSE(reg.ValueExists("Other"));
}

TEST(RegistryStoreFolderTest, EnvironmentThenConfigurationFolder) {
  std::string saved = std::getenv("VANTREL_REGISTRY_DIR") ? std::getenv("VANTREL_REGISTRY_DIR") : "";
  std::string savedXdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  ::setenv("VANTREL_REGISTRY_DIR", "/some/where", 1);
  EXPECT_EQ(regstore::StoreFolder(), "/some/where");
  ::unsetenv("VANTREL_REGISTRY_DIR");
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(regstore::StoreFolder(), "/cfg/Vantrel Pro");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(regstore::StoreFolder(), std::string(std::getenv("HOME")) + "/.config/Vantrel Pro");
  if (!saved.empty()) ::setenv("VANTREL_REGISTRY_DIR", saved.c_str(), 1);
  if (!savedXdg.empty()) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}
