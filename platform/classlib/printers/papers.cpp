// The classic paper numbers with their sizes in tenths of a millimetre.

#include <cmath>

#include "platform/classlib/printers/printers.h"

namespace {

struct PaperEntry {
  const char* Name;
  double Width, Height;  // portrait
  bool Inches;           // else millimetres
};

// Indexed by paper number - 1. Empty names are the numbers without a size.
constexpr PaperEntry kPapers[DMPAPER_LAST] = {
    {"Letter", 8.5, 11, true},
    {"Letter Small", 8.5, 11, true},
    {"Tabloid", 11, 17, true},
    {"Ledger", 17, 11, true},
    {"Legal", 8.5, 14, true},
    {"Statement", 5.5, 8.5, true},
    {"Executive", 7.25, 10.5, true},
    {"A3", 297, 420, false},
    {"A4", 210, 297, false},
    {"A4 Small", 210, 297, false},
    {"A5", 148, 210, false},
    {"B4 (JIS)", 250, 354, false},
    {"B5 (JIS)", 182, 257, false},
    {"Folio", 8.5, 13, true},
    {"Quarto", 215, 275, false},
    {"10x14", 10, 14, true},
    {"11x17", 11, 17, true},
    {"Note", 8.5, 11, true},
    {"Envelope #9", 3.875, 8.875, true},
    {"Envelope #10", 4.125, 9.5, true},
    {"Envelope #11", 4.5, 10.375, true},
    {"Envelope #12", 4.75, 11, true},
    {"Envelope #14", 5, 11.5, true},
    {"C size sheet", 17, 22, true},
    {"D size sheet", 22, 34, true},
    {"E size sheet", 34, 44, true},
    {"Envelope DL", 110, 220, false},
    {"Envelope C5", 162, 229, false},
    {"Envelope C3", 324, 458, false},
    {"Envelope C4", 229, 324, false},
    {"Envelope C6", 114, 162, false},
    {"Envelope C65", 114, 229, false},
    {"Envelope B4", 250, 353, false},
    {"Envelope B5", 176, 250, false},
    {"Envelope B6", 176, 125, false},
    {"Envelope Italy", 110, 230, false},
    {"Envelope Monarch", 3.875, 7.5, true},
    {"6 3/4 Envelope", 3.625, 6.5, true},
    {"US Std Fanfold", 14.875, 11, true},
    {"German Std Fanfold", 8.5, 12, true},
    {"German Legal Fanfold", 8.5, 13, true},
    {"B4 (ISO)", 250, 353, false},
    {"Japanese Postcard", 100, 148, false},
    {"9x11", 9, 11, true},
    {"10x11", 10, 11, true},
    {"15x11", 15, 11, true},
    {"Envelope Invite", 220, 220, false},
    {"", 0, 0, false},
    {"", 0, 0, false},
    {"Letter Extra", 9.5, 12, true},
    {"Legal Extra", 9.5, 15, true},
    {"Tabloid Extra", 11.69, 18, true},
    {"A4 Extra", 9.27, 12.69, true},
    {"Letter Transverse", 8.5, 11, true},
    {"A4 Transverse", 210, 297, false},
    {"Letter Extra Transverse", 9.5, 12, true},
    {"Super A", 227, 356, false},
    {"Super B", 305, 487, false},
    {"Letter Plus", 8.5, 12.69, true},
    {"A4 Plus", 210, 330, false},
    {"A5 Transverse", 148, 210, false},
    {"B5 (JIS) Transverse", 182, 257, false},
    {"A3 Extra", 322, 445, false},
    {"A5 Extra", 174, 235, false},
    {"B5 (ISO) Extra", 201, 276, false},
    {"A2", 420, 594, false},
    {"A3 Transverse", 297, 420, false},
    {"A3 Extra Transverse", 322, 445, false},
};

// Inches go through thousandths of a millimetre with the report's factor
// (1 / 0.03937, rounded half to even) and are then cut to tenths, so the
// table agrees with the report's own unit conversion.
int Tenths(double value, bool inches) {
  if (!inches) return int(std::lround(value * 10));
  double thousandths = std::nearbyint(25.4000508001016 * value * 1000);
  return int(thousandths) / 100;
}

const PaperEntry* Entry(int number) {
  if (number < 1 || number > DMPAPER_LAST || kPapers[number - 1].Name[0] == '\0') return nullptr;
  return &kPapers[number - 1];
}

}  // namespace

TSize StandardPaperSize(int number) {
  const PaperEntry* e = Entry(number);
  if (!e) return {0, 0};
  return {Tenths(e->Width, e->Inches), Tenths(e->Height, e->Inches)};
}

std::string StandardPaperName(int number) {
  const PaperEntry* e = Entry(number);
  return e ? e->Name : "";
}
