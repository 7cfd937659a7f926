// The Access SQL translator: any statement text gives a translation or a DAO
// error. Table T has currency columns Amount and Price beside a long and a
// text column, so the currency passes run over every kind of expression.
#include "fuzz/fuzz_input.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/accesssql.h"
#include "platform/dao/daoerrors.h"

namespace {

bool Catalogue(const std::string& name, dao::TableDef& def) {
  if (!SameText(name, "T")) return false;
  def = dao::TableDef{};
  def.name = "T";
  for (auto [field, type] : {std::pair{"Amount", dao::dbCurrency}, {"Price", dao::dbCurrency},
                             {"Qty", dao::dbLong}, {"Name", dao::dbText}}) {
    dao::FieldDef f;
    f.name = field;
    f.type = type;
    def.fields.push_back(f);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  try {
    dao::TranslateAccessSql(text, Catalogue);
  } catch (const dao::TDaoFailure&) {
  }
  double date;
  dao::ParseAccessDate(text, date);
  std::int64_t raw;
  dao::StoredCurrency(text, raw);
  return 0;
}
