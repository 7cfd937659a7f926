// Paper sources from printer description files, as the print service keeps
// them: the bins listed, and the job option a chosen bin becomes. No print
// service is needed: the files are written here.

#include <gtest/gtest.h>

#include <fstream>

#include "platform/classlib/core/temp_dir.h"
#include "platform/classlib/printers/printdevices.h"

using namespace vantrel::printers;

namespace {

// A small description file; `slots` are the InputSlot lines (none: no option).
std::string Description(const std::string& slots) {
  std::string text =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"TEST.PPD\"\n"
      "*Manufacturer: \"Test\"\n*Product: \"(Test)\"\n*ModelName: \"Test Printer\"\n"
      "*ShortNickName: \"Test Printer\"\n*NickName: \"Test Printer\"\n"
      "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n"
      "*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
      "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n"
      "*DefaultPageSize: A4\n*PageSize A4/A4: \"\"\n*CloseUI: *PageSize\n";
  if (!slots.empty())
    text += "*OpenUI *InputSlot/Media Source: PickOne\n*OrderDependency: 10 AnySetup *InputSlot\n"
            "*DefaultInputSlot: Auto\n" + slots + "*CloseUI: *InputSlot\n";
  return text;
}

std::string Write(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.Path() + "/" + name;
  std::ofstream(path) << text;
  return path;
}

std::string Listed(const std::vector<TBinInfo>& bins) {
  std::string out;
  for (const TBinInfo& b : bins) out += std::to_string(b.Number) + ":" + b.Name + " ";
  return out;
}

TEST(DescribedBins, TheInputSlotsBecomeBinsAndAChosenOneAJobOption) {
  TempDir dir;
  const std::string file = Write(dir, "slots.ppd",
                                 Description("*InputSlot Auto/Automatic: \"\"\n"
                                             "*InputSlot Tray1/Tray 1: \"\"\n"
                                             "*InputSlot Manual: \"\"\n"));
  // A choice without a text is shown by its keyword.
  EXPECT_EQ(Listed(DescribedBins(file)), "256:Automatic 257:Tray 1 258:Manual ");
  using TOptions = std::vector<std::pair<std::string, std::string>>;
  const std::pair<int, TOptions> cases[] = {{257, {{"InputSlot", "Tray1"}}},
                                            {258, {{"InputSlot", "Manual"}}},
                                            {256, {{"InputSlot", "Auto"}}},
                                            {0, {}},                 // the printer's choice
                                            {DMBIN_MANUAL, {}},      // not one of the file's
                                            {259, {}}};              // beyond its slots
  for (const auto& [bin, options] : cases) EXPECT_EQ(BinJobOptions(file, bin), options) << bin;
}

TEST(DescribedBins, NoSlotsNoFileOrADamagedFileGiveNoBins) {
  TempDir dir;
  const std::string files[] = {Write(dir, "none.ppd", Description("")),
                               dir.Path() + "/missing.ppd",
                               Write(dir, "garbage.ppd", "not a description\n\x01\x02"), ""};
  for (const std::string& file : files) {
    EXPECT_TRUE(DescribedBins(file).empty()) << file;
    EXPECT_TRUE(BinJobOptions(file, DMBIN_USER).empty()) << file;
  }
  // A printer the service does not know has no description.
  EXPECT_EQ(PrinterDescriptionFile("No such printer 7f3a"), "");
}

}  // namespace
