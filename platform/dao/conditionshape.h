#pragma once
// A row condition's shape: its text with every constant in it (a text, a
// number, a blob) replaced by a parameter, and the constants to bind. Each
// filter and Locate brings a condition of its own values, mostly of a few
// shapes: prepared once per shape, a statement then serves every value,
// where preparing one per text cost far more than the read it serves.

#include <string>
#include <vector>

#include "platform/dao/store.h"

namespace dao {

struct ConditionShape {
  std::string text;          // the condition, a "?" where each constant stood
  std::vector<Cell> values;  // the constants, in the order of their parameters
};

// Reads the constants as SQLite reads them: a quoted text ('' for a quote),
// X'..' bytes, and a number (a whole one that fits 64 bits an integer, any
// other a real). Names, keywords and operators stay as they are. A
// condition that holds a parameter already is left whole, with no values.
ConditionShape ShapeOf(const std::string& condition);

}  // namespace dao
