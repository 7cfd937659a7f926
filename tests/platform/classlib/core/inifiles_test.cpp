#include <gtest/gtest.h>

#include <fstream>

#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/formatsettings.h"
#include "platform/classlib/core/inifiles.h"
#include "platform/classlib/core/strings.h"
#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/core/child_writers.h"
#include "platform/classlib/core/english_settings.h"

namespace {

std::string ReadText(const std::string& name) {
  std::string text;
  ReadWholeFile(name, text);
  return text;
}

std::vector<std::string> ToVector(const TStrings& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(IniFileTest, ReadsOddlySpacedFilesAndMissingParts) {
  TempDir tmp;
  std::ofstream(tmp / "odd.ini", std::ios::binary)
      << "loose=before any section\n"
         "; comment=not a key\n"
         "  [ Main ]  \n"
         "  Name   =   spaced value   \n"
         "Quoted=\"  keep blanks  \"\n"
         "Single='x'\n"
         "Half=\"open\n"
         "Empty=\n"
         "NoEquals\n"
         "Path=C:\\a=b\n"
         "\n"
         "[second]\r\n"
         "Count=0x1F\r\n"
         "Dollar=$ff\r\n"
         "Bad=12abc\r\n"
         "Big=99999999999\r\n"
         "Neg= -7 \r\n";
  TIniFile ini(tmp / "odd.ini");
  EXPECT_EQ(ini.ReadString("MAIN", "name", "d"), "spaced value");
  EXPECT_EQ(ini.ReadString("Main", "Quoted", "d"), "  keep blanks  ");
  EXPECT_EQ(ini.ReadString("Main", "Single", "d"), "x");
  EXPECT_EQ(ini.ReadString("Main", "Half", "d"), "\"open");
  EXPECT_EQ(ini.ReadString("Main", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Main", "NoEquals", "d"), "d");
  EXPECT_EQ(ini.ReadString("Main", "Path", "d"), "C:\\a=b");
  EXPECT_EQ(ini.ReadString("Main", "; comment", "d"), "d");
  EXPECT_EQ(ini.ReadString("Main", "loose", "d"), "d") << "keys before any section belong to none";
  EXPECT_EQ(ini.ReadString("Missing", "Name", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("Second", "Count", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Second", "Dollar", 0), 255);
  EXPECT_EQ(ini.ReadInteger("Second", "Bad", -1), -1);
  EXPECT_EQ(ini.ReadInteger("Second", "Big", -1), -1);
  EXPECT_EQ(ini.ReadInteger("Second", "Neg", 0), -7);
  EXPECT_TRUE(ini.ReadBool("Second", "Count", false));
  EXPECT_FALSE(ini.ReadBool("Main", "Missing", false));

  TStringList list;
  ini.ReadSections(&list);
  EXPECT_EQ(ToVector(list), (V{"Main", "second"}));
  ini.ReadSection("main", &list);
  EXPECT_EQ(ToVector(list), (V{"Name", "Quoted", "Single", "Half", "Empty", "Path"}));
  ini.ReadSectionValues("second", &list);
  EXPECT_EQ(ToVector(list), (V{"Count=0x1F", "Dollar=$ff", "Bad=12abc", "Big=99999999999", "Neg=-7"}));
  EXPECT_TRUE(ini.SectionExists("SECOND"));
  EXPECT_FALSE(ini.SectionExists("third"));
  EXPECT_TRUE(ini.ValueExists("main", "EMPTY"));
  EXPECT_FALSE(ini.ValueExists("main", "NoEquals"));

  TIniFile none(tmp / "does-not-exist.ini");
  EXPECT_EQ(none.ReadString("a", "b", "c"), "c");
  none.ReadSections(&list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(FileExists(tmp / "does-not-exist.ini")) << "reading creates nothing";
}

TEST(IniFileTest, WritesKeepLayoutAndReadBackExactly) {
  TempDir tmp;
  std::string name = tmp / "app.ini";
  std::ofstream(name, std::ios::binary) << "; settings\n[Window]\nTop=10\n\n[Other]\nX=1\n";
  TIniFile ini(name);
  ini.WriteInteger("window", "TOP", 20);
  ini.WriteInteger("Window", "Left", -5);
  ini.WriteBool("Other", "Flag", true);
  ini.WriteString("New Section", "Text", "  padded  ");
  ini.WriteString("New Section", "Quotes", "\"quoted\"");
  ini.WriteString("New Section", "Plain", "a \"b\" c");
  EXPECT_EQ(ReadText(name),
            "; settings\n[Window]\nTOP=20\nLeft=-5\n\n[Other]\nX=1\nFlag=1\n\n[New Section]\n"
            "Text=\"  padded  \"\nQuotes=\"\"quoted\"\"\nPlain=a \"b\" c\n");
  EXPECT_EQ(ini.ReadInteger("Window", "Top", 0), 20);
  EXPECT_EQ(ini.ReadString("New Section", "Text", ""), "  padded  ");
  EXPECT_EQ(ini.ReadString("New Section", "Quotes", ""), "\"quoted\"");
  EXPECT_EQ(ini.ReadString("New Section", "Plain", ""), "a \"b\" c");
  EXPECT_TRUE(ini.ReadBool("Other", "Flag", false));

  ini.DeleteKey("Window", "left");
  ini.DeleteKey("Window", "Missing");
  ini.EraseSection("OTHER");
  ini.EraseSection("Missing");
  EXPECT_EQ(ReadText(name),
            "; settings\n[Window]\nTOP=20\n\n[New Section]\nText=\"  padded  \"\n"
            "Quotes=\"\"quoted\"\"\nPlain=a \"b\" c\n");

  TIniFile fresh(tmp / "new.ini");
  fresh.WriteString("S", "K", "V");
  EXPECT_EQ(ReadText(tmp / "new.ini"), "[S]\r\nK=V\r\n");
}

TEST(IniFileTest, RefusesWhatWouldBreakTheFileAndReportsWriteFailures) {
  TempDir tmp;
  std::string name = tmp / "x.ini";
  TIniFile ini(name);
  ini.WriteString("S", "K", "V");
  std::string before = ReadText(name);
  EXPECT_THROW(ini.WriteString("S", "K", "two\nlines"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "a=b", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", ";note", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("a]b", "k", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("a\nb", "k", "v"), EIniFileException);
  EXPECT_EQ(ReadText(name), before);

  TIniFile nowhere(tmp / "missing-folder/x.ini");
  EXPECT_EQ(MessageOf<EIniFileException>([&] { nowhere.WriteString("S", "K", "V"); }),
            "Unable to write to " + tmp / "missing-folder/x.ini");

  // A name that cannot be read is never replaced by a new file.
  ASSERT_TRUE(CreateDir(tmp / "folder.ini"));
  TIniFile folder(tmp / "folder.ini");
  EXPECT_EQ(folder.ReadString("S", "K", "d"), "d");
  EXPECT_THROW(folder.WriteString("S", "K", "V"), EIniFileException);
  EXPECT_TRUE(DirectoryExists(tmp / "folder.ini"));
}

TEST(IniFileTest, FloatsAndDatesFollowTheFormatSettings) {
  TFormatSettings saved = FormatSettings;
  FormatSettings = TFormatSettings::English();
  FormatSettings.DecimalSeparator = ',';
  FormatSettings.ShortDateFormat = "dd.mm.yyyy";
  FormatSettings.DateSeparator = '.';
  TempDir tmp;
  TIniFile ini(tmp / "typed.ini");
  ini.WriteFloat("T", "Zoom", 1.25);
  ini.WriteDate("T", "Day", EncodeDate(2024, 2, 29));
  ini.WriteDateTime("T", "Stamp", EncodeDate(2001, 12, 31) + EncodeTime(13, 5, 0, 0));
  ini.WriteTime("T", "Clock", EncodeTime(7, 30, 15, 0));
  ini.WriteString("T", "Junk", "not a number");
  EXPECT_NE(ReadText(tmp / "typed.ini").find("Zoom=1,25"), std::string::npos);
  EXPECT_NE(ReadText(tmp / "typed.ini").find("Day=29.02.2024"), std::string::npos);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("T", "Zoom", 0), 1.25);
  EXPECT_DOUBLE_EQ(ini.ReadDate("T", "Day", 0), EncodeDate(2024, 2, 29));
  EXPECT_NEAR(ini.ReadDateTime("T", "Stamp", 0), EncodeDate(2001, 12, 31) + EncodeTime(13, 5, 0, 0),
              1e-8);
  EXPECT_NEAR(ini.ReadTime("T", "Clock", 0), EncodeTime(7, 30, 15, 0), 1e-8);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("T", "Junk", -1.5), -1.5);
  EXPECT_DOUBLE_EQ(ini.ReadDate("T", "Junk", 3), 3);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("T", "Missing", 2.5), 2.5);
  FormatSettings = saved;
}

TEST(IniFileTest, TwoProcessesWritingTogetherLoseNothing) {
  TempDir tmp;
  const std::string name = tmp / "shared.ini";
  constexpr int kWriters = 2;
  constexpr int kWrites = 60;
  auto codes = RunChildWriters(kWriters, [&](int w) {
    TIniFile ini(name);
    for (int i = 0; i < kWrites; ++i)
      ini.WriteInteger("Race", "w" + std::to_string(w) + "_" + std::to_string(i), i);
    return true;
  });
  EXPECT_EQ(codes, std::vector<int>(kWriters, 0));
  TIniFile ini(name);
  int missing = 0;
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kWrites; ++i)
      if (ini.ReadInteger("Race", "w" + std::to_string(w) + "_" + std::to_string(i), -1) != i)
        ++missing;
  EXPECT_EQ(missing, 0) << "a write lost the other process's changes";
}

TEST(IniFileTest, NamesWithOuterBlanksFindWhatTheyWrote) {
  TempDir tmp;
  TIniFile ini(tmp / "blanks.ini");
  ini.WriteString(" Main ", " Key ", "1");
  ini.WriteString(" Main ", " Key ", "2");
  EXPECT_EQ(ini.ReadString(" Main ", " Key ", "d"), "2");
  EXPECT_EQ(ini.ReadString("Main", "Key", "d"), "2");
  EXPECT_TRUE(ini.SectionExists(" Main "));
  EXPECT_EQ(ReadText(tmp / "blanks.ini"), "[Main]\r\nKey=2\r\n") << "one entry, not one per write";
  ini.DeleteKey("Main ", " Key");
  EXPECT_EQ(ini.ReadString("Main", "Key", "gone"), "gone");
}
