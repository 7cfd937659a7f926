#pragma once
// Putting compiled filters on a table's engine cursor: the expression filter of
// the library's tables and the per-record callback filters behind their OnFilter
// events. The engine calls go through IwwFilterEngine, so the installer serves
// any table whose cursor the engine filters.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datactrls/wwfilter.h"
#include "dbengine/engineerrors.h"
#include "dbengine/filters.h"
#include "platform/classlib/db/dbtypes.h"

class TBaseTable;
class TDataSet;

using TwwFilterHandle = TFilterListItem*;

// The engine calls that add, activate, deactivate and drop a filter on one
// table's cursor; each answers the engine's result code.
class IwwFilterEngine {
 public:
  virtual ~IwwFilterEngine() = default;
  virtual bool CursorOpen() const = 0;
  virtual DBIResult AddFilter(std::intptr_t clientData, std::uint16_t priority, bool canAbort,
                              const void* expression, TFilterCallback callback,
                              TwwFilterHandle& handle) = 0;
  virtual DBIResult ActivateFilter(TwwFilterHandle handle) = 0;
  virtual DBIResult DeactivateFilter(TwwFilterHandle handle) = 0;
  virtual DBIResult DropFilter(TwwFilterHandle handle) = 0;
};

// The filter calls straight on an engine cursor.
class TwwCursorFilterEngine : public IwwFilterEngine {
 public:
  explicit TwwCursorFilterEngine(TBaseTable* cursor) : cursor_(cursor) {}
  bool CursorOpen() const override { return cursor_ != nullptr; }
  DBIResult AddFilter(std::intptr_t clientData, std::uint16_t priority, bool canAbort,
                      const void* expression, TFilterCallback callback,
                      TwwFilterHandle& handle) override;
  DBIResult ActivateFilter(TwwFilterHandle handle) override;
  DBIResult DeactivateFilter(TwwFilterHandle handle) override;
  DBIResult DropFilter(TwwFilterHandle handle) override;

 private:
  TBaseTable* cursor_;
};

// The constant kind a field of this type gives the right side of its operator.
TwwFilterConstKind wwFilterConstKindOf(TFieldType dataType);
// Field lookup of the compiler over a dataset's fields (names without regard to case).
TwwFilterFieldLookup wwDataSetFieldLookup(TDataSet* dataSet);

// Shows the compiler's warnings ("Field not found in Table. " ...); the program
// sets it to its message box. Unset, warnings are not shown.
extern TwwFilterWarning wwFilterWarningHandler;

// Compiles expressions over one dataset's fields and keeps the last block
// built, so each installer compiles with its own table.
class TwwFilterBlockBuilder {
 public:
  explicit TwwFilterBlockBuilder(TDataSet* dataSet) : wwFilterDataSet(dataSet) {}

  // A new blob for the expression over wwFilterDataSet's fields, or nullptr when
  // it does not parse; it stays valid until wwFreeFilterBlock or the next build.
  const void* wwBuildFilterBlock(const std::string& expression);
  void wwFreeFilterBlock();

  TDataSet* wwFilterDataSet;

 private:
  std::vector<std::uint8_t> block_;
};

// Installs the expression as the table's filter (an empty one removes it). A
// closed table without force only clears the handle (the filter is installed
// when it opens). When the expression does not compile the current filter and
// its handle stay as they are and the result is false; when the engine refuses
// the new filter no filter remains and the handle is cleared.
bool wwApplyFilterExpression(const std::string& expression, TDataSet* table,
                             IwwFilterEngine& engine, TwwFilterHandle& handle, bool force);
// Deactivates and drops the filter when the handle is set, then clears it.
void wwRemoveFilter(IwwFilterEngine& engine, TwwFilterHandle& handle);
// Replaces the current filter by a per-record callback (none: just removes it)
// with the dataset as client data. False when there is no open cursor or the
// engine refuses.
bool wwInstallCallbackFilter(TFilterCallback callback, TDataSet* dataSet, IwwFilterEngine& engine,
                             TwwFilterHandle& handle);
