// The report engine's string table: thirteen language blocks of the same
// offsets (1 to 34 and 100 to 419), each at its language's base. The English
// block is the source; the custom block is English with "X" in front, so a
// text that escaped translation shows; the other blocks hold the English text
// where no translation is known.

#include <algorithm>
#include <iterator>
#include <string_view>

#include "report/data/pputils.h"

namespace {

struct TText {
  int Offset;
  std::string_view Text;
};

// English texts by offset; offsets of the blocks without a text are empty.
constexpr TText kEnglish[] = {
    {1, "100 %"},
    {3, "All"},
    {4, "Calculating page <page> for report <documentname>"},
    {5, "Cancel"},
    {6, "Close"},
    {7, "Copies"},
    {9, "Current Page"},
    {10, "Drawing page <page> of <pagecount> for report <documentname>"},
    {11, "Enter page numbers and/or page ranges separated by commas.  For example, 1,3,5-12."},
    {12, "File"},
    {13, "First Page"},
    {14, "Last Page"},
    {15, "Next Page"},
    {16, "of"},
    {17, "OK"},
    {18, "Page"},
    {19, "Page Range"},
    {20, "Pages"},
    {22, "Print"},
    {23, "Print Preview"},
    {24, "Printing"},
    {25, "Printer"},
    {26, "Print to File"},
    {27, "Printing page <page> for report <documentname> on the <printername>"},
    {28, "Printing page <page> of <pagecount> for report <documentname> on the <printername>"},
    {29, "Prior Page"},
    {30, "Whole Page"},
    {31, "Page Width"},
    {161, "Bring to Front"},
    {177, "Send to Back"},
    {187, "Column Footer"},
    {188, "Column Header"},
    {189, "Detail"},
    {190, "Footer"},
    {191, "Group Footer"},
    {192, "Group Header"},
    {193, "Header"},
    {194, "Summary"},
    {195, "Title"},
    {226, "AutoSize"},
    {227, "BlankWhenZero"},
    {228, "Calculations..."},
    {229, "Center"},
    {230, "DisplayFormat..."},
    {231, "Double"},
    {233, "Lines..."},
    {235, "Picture..."},
    {238, "ReprintOnOverFlow"},
    {239, "ReprintOnSubsequent"},
    {240, "ShiftWithParent"},
    {241, "Single"},
    {243, "Stretch"},
    {244, "StretchWithParent"},
    {245, "SuppressRepeatedValues"},
    {246, "Transparent"},
    {247, "Visible"},
    {248, "WordWrap"},
    {275, "Band height cannot exceed page height."},
    {280, "Could not open DataSet."},
    {281, "Proceeding in NoData mode."},
    {284, "Not enough disk space to print report."},
    {285, "Unable to convert position for column <columnno>."},
    {286, "Unable to find position for column <columnno>."},
    {292, "Controls beyond the new column width will be deleted."},
    {293, "Controls within the column header and column footer will be deleted."},
    {294, "Controls within the column header will be deleted."},
    {295, "Controls within the column footer will be deleted."},
    {296, "Invalid value: Zero height band cannot contain components."},
    {297, "Invalid value: Height of band cannot exceed height of page."},
    {300, "No CustomField assigned!"},
    {301, "No DataField assigned!"},
    {303, "Date"},
    {304, "DateTime"},
    {305, "PrintDateTime"},
    {306, "PageCount"},
    {307, "PageSet"},
    {308, "PageSetDesc"},
    {309, "PageNo"},
    {310, "PageNoDesc"},
    {311, "Time"},
    {312, "Custom"},
    {313, "Count"},
    {314, "Sum"},
    {315, "Minimum"},
    {316, "Maximum"},
    {317, "Average"},
    {328, "Controls beyond the new page width will be deleted."},
    {336, "ShiftRelativeTo..."},
    {342, "Cyclic assignment of ShiftRelativeTo property."},
    {343, "<None>"},
    {370, "ParentHeight"},
    {371, "ParentWidth"},
    {378, "No pages entered."},
    {379, "Please specify file name before continuing."},
    {386, "Position..."},
    {400, "Record not found:"},
    {401, "File not found:"},
    {402, "Error reading template from database."},
    {403, "Field is not a blob field:"},
    {404, "Invalid Template Format"},
    {405, "Ignore the error and continue?"},
    {406, "File is read-only."},
    {408, "Cannot store a template to a field this type."},
    {411, "There are no printers connected to your computer."},
    {412, "MaintainAspectRatio"},
    {415, "PrintPosition exceeds available page space"},
};

// Translations that differ from the English text, by language and offset.
struct TTranslation {
  int Language;
  int Offset;
  std::string_view Text;
};
constexpr TTranslation kTranslations[] = {
    {lgGerman, 4, "Berechne Seite <page> f\u00fcr Report <documentname>"},
};

bool IsTableOffset(int offset) { return (offset >= 1 && offset <= 34) || (offset >= 100 && offset <= 419); }

std::string_view English(int offset) {
  auto it = std::lower_bound(std::begin(kEnglish), std::end(kEnglish), offset,
                             [](const TText& t, int o) { return t.Offset < o; });
  return it != std::end(kEnglish) && it->Offset == offset ? it->Text : std::string_view();
}

}  // namespace

std::string ppLoadStr(int id) {
  for (int language = lgCustom; language <= lgThai; ++language) {
    const int offset = id - ppLanguageBase(language);
    if (!IsTableOffset(offset)) continue;
    for (const TTranslation& t : kTranslations)
      if (t.Language == language && t.Offset == offset) return std::string(t.Text);
    const std::string_view english = English(offset);
    if (english.empty()) return {};
    return language == lgCustom ? "X" + std::string(english) : std::string(english);
  }
  return {};
}
