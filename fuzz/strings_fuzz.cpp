// String-list text forms: Text, CommaText and DelimitedText take any input,
// and what CommaText and Text write reads back to the same strings.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/strings.h"

namespace {

std::vector<std::string> Items(const TStrings& list) {
  std::vector<std::string> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list[i]);
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the delimiter and quote of DelimitedText.
  const std::string text = fuzz::Text(data + 2, size - 2);
  TStringList list;
  list.SetText(text);
  TStringList again;
  again.SetText(list.Text());
  fuzz::Require(Items(again) == Items(list), "Text does not read back");
  again.SetCommaText(list.CommaText());
  fuzz::Require(Items(again) == Items(list), "CommaText does not read back");

  list.SetCommaText(text);
  again.SetCommaText(list.CommaText());
  fuzz::Require(Items(again) == Items(list), "CommaText of a parsed text does not read back");

  list.SetDelimiter(static_cast<char>(data[0]));
  list.SetQuoteChar(static_cast<char>(data[1]));
  list.SetDelimitedText(text);
  (void)list.DelimitedText();
  return 0;
}
