#include "datactrls/wwfilterinstall.h"

#include <vector>

#include "datactrls/wwfieldcheck.h"
#include "dbengine/basetable.h"
#include "dbengine/ttdataset.h"
#include "platform/classlib/core/strutils.h"
#include "platform/classlib/db/dataset.h"
#include "platform/classlib/db/fields.h"

namespace {
template <class F>
DBIResult EngineResult(F&& call) {
  try {
    call();
    return dberr::None;
  } catch (const EMorvaEngineError& e) {
    return e.ErrorCode;
  }
}
}  // namespace

DBIResult TwwCursorFilterEngine::AddFilter(std::intptr_t clientData, std::uint16_t priority,
                                           bool canAbort, const void* expression,
                                           TFilterCallback callback, TwwFilterHandle& handle) {
  return EngineResult(
      [&] { cursor_->AddFilter(clientData, priority, canAbort, expression, callback, handle); });
}
DBIResult TwwCursorFilterEngine::ActivateFilter(TwwFilterHandle handle) {
  return EngineResult([&] { cursor_->ActivateFilter(handle); });
}
DBIResult TwwCursorFilterEngine::DeactivateFilter(TwwFilterHandle handle) {
  return EngineResult([&] { cursor_->DeactivateFilter(handle); });
}
DBIResult TwwCursorFilterEngine::DropFilter(TwwFilterHandle handle) {
  return EngineResult([&] { cursor_->DropFilter(handle); });
}

TwwFilterConstKind wwFilterConstKindOf(TFieldType dataType) {
  switch (dataType) {
    case ftString: return fckString;
    case ftFloat:
    case ftCurrency: return fckFloat;
    case ftDateTime: return fckDateTime;
    case ftDate: return fckDate;
    case ftTime: return fckTime;
    case ftBoolean: return fckBoolean;
    case ftInteger: return fckInteger;
    case ftBCD: return fckBCD;
    case ftSmallint:
    case ftWord: return fckSmallInt;
    default: return fckField;
  }
}

TwwFilterFieldLookup wwDataSetFieldLookup(TDataSet* dataSet) {
  return [dataSet](const std::string& name, TwwFilterField& info) {
    for (int i = 0; dataSet && i < dataSet->FieldCount(); ++i) {
      TField* field = dataSet->Fields()[i];
      if (!AnsiSameText(field->FieldName(), name)) continue;
      info.ConstKind = wwFilterConstKindOf(field->DataType());
      info.Scale = field->DataType() == ftBCD ? field->Size() : 0;
      return true;
    }
    return false;
  };
}

TwwFilterWarning wwFilterWarningHandler;

const void* TwwFilterBlockBuilder::wwBuildFilterBlock(const std::string& expression) {
  block_ = wwCompileFilterExpression(expression, wwDataSetFieldLookup(wwFilterDataSet),
                                     wwFilterWarningHandler);
  return block_.empty() ? nullptr : block_.data();
}

void TwwFilterBlockBuilder::wwFreeFilterBlock() { std::vector<std::uint8_t>().swap(block_); }

void wwRemoveFilter(IwwFilterEngine& engine, TwwFilterHandle& handle) {
  if (!handle) return;
  engine.DeactivateFilter(handle);
  engine.DropFilter(handle);
  handle = nullptr;
}

bool wwApplyFilterExpression(const std::string& expression, TDataSet* table,
                             IwwFilterEngine& engine, TwwFilterHandle& handle, bool force) {
  if (!table) return false;
  if (!table->Active() && !force) {
    handle = nullptr;
    return true;
  }
  if (expression.empty()) {
    wwRemoveFilter(engine, handle);
    if (table->Active()) table->First();
    return true;
  }
  TwwFilterBlockBuilder builder(table);
  const void* block = builder.wwBuildFilterBlock(expression);
  // A text that does not compile leaves the filter in force, and its handle known.
  if (!block) return false;

  wwRemoveFilter(engine, handle);
  TwwFilterHandle added = nullptr;
  DBIResult result = engine.AddFilter(0, 1, false, block, nullptr, added);
  builder.wwFreeFilterBlock();  // the engine keeps its own copy
  if (result != dberr::None || !added) {
    handle = nullptr;
    return false;
  }
  handle = added;
  engine.ActivateFilter(handle);
  if (table->Active()) table->First();
  return true;
}

namespace {
// A table of the class library (by name: the engine's own tables are none)
// that has an active index starts again at its first record; any other
// dataset re-reads the records around its current one.
void RefreshFiltered(TDataSet* dataSet) {
  if (!dataSet->Active()) return;
  auto* engineDataSet = dynamic_cast<TttBDEDataset*>(dataSet);
  if (engineDataSet && wwInheritsFromName(dataSet, "TTable") && engineDataSet->IndexFieldCount() > 0)
    dataSet->First();
  else
    dataSet->RefreshWindow({});
}
}  // namespace

bool wwInstallCallbackFilter(TFilterCallback callback, TDataSet* dataSet, IwwFilterEngine& engine,
                             TwwFilterHandle& handle) {
  wwRemoveFilter(engine, handle);
  if (!callback) {
    if (dataSet) RefreshFiltered(dataSet);
    return true;
  }
  if (!dataSet || !engine.CursorOpen()) return false;
  TwwFilterHandle added = nullptr;
  DBIResult result = engine.AddFilter(reinterpret_cast<std::intptr_t>(dataSet), 1, false, nullptr,
                                      callback, added);
  if (result != dberr::None || !added) {
    handle = nullptr;
    return false;
  }
  handle = added;
  engine.ActivateFilter(handle);
  RefreshFiltered(dataSet);
  return true;
}
