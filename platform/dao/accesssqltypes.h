#pragma once
// Currency columns keep amounts as ten-thousandths (integers), which stored
// files rely on. This pass reads a statement's expressions with the types of
// the columns they name and says what to write around its tokens so that
// SQLite computes with the amounts a user means:
//   - amounts meet amounts, integers and number literals in the stored form,
//     in integer arithmetic (exact over the whole currency range): Amount * 2
//     = 3 is written "Amount" * 2 = 30000;
//   - amounts meet floating values (Double, Single, Date, text) as amounts:
//     the stored form is divided by 10,000 there;
//   - a value stored into a currency column is written in the stored form,
//     rounded to a whole ten-thousandth;
//   - a query reports which of its result columns are amounts in the stored form.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/dao/accesssql.h"
#include "platform/dao/accesssqltokens.h"

namespace dao::accesssql {

struct CurrencyRewrite {
  std::map<size_t, std::string> before;   // written before token i
  std::map<size_t, std::string> after;    // written after token i
  std::map<size_t, std::string> replace;  // written instead of token i (an empty text drops it)
  std::vector<bool> currencyColumns;      // of a query's result; empty when not known
};

// The position of the declared parameter a name stands for, -1 when none
// (the last declaration of a name counts).
int ParameterIndex(const std::vector<ParameterDecl>& params, const std::string& name);

// Reads the SELECT, INSERT, UPDATE or DELETE in tokens [start, end). Fails
// with syntaxError (errSyntaxInFrom in a FROM list) where the statement is no
// such statement, and with errConversion for a number that meets a currency
// column beyond the currency range.
CurrencyRewrite TypeCurrency(const std::vector<Token>& t, size_t start, size_t end,
                             const std::vector<ParameterDecl>& params, const TableLookupFn& tables, int syntaxError);

}  // namespace dao::accesssql
