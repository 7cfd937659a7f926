// The Access SQL translator: any statement text gives a translation or a DAO
// error. Amount and Price are currency columns, so the currency passes run.
#include "fuzz/fuzz_input.h"
#include "platform/dao/accesssql.h"
#include "platform/dao/daoerrors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  const auto columnType = [](const std::string&, const std::string& column) {
    return column == "Amount" || column == "Price" ? dao::dbCurrency : 0;
  };
  try {
    dao::TranslateAccessSql(text, columnType);
  } catch (const dao::TDaoFailure&) {
  }
  double date;
  dao::ParseAccessDate(text, date);
  std::int64_t raw;
  dao::StoredCurrency(text, raw);
  return 0;
}
