#pragma once
// Query-by-example texts turned into Access SQL. The Access driver has no
// example engine of its own, so a statement allocated with the example
// language hands its text here before it is prepared.
//
// What is translated: one table; check marks (Check, CheckPlus,
// CheckDescending); conditions =, <, >, <=, >=, not, like, ".." and "@"
// wildcards, blank, today, and several conditions of one cell joined with ","
// (all must hold); several rows meaning any of them. Everything else is
// refused with an engine error naming the construct, never run as something
// else.

#include <cstdint>
#include <string>

#include "dbengine/engineerrors.h"

// The statement language of an example text (the SQL language is 2).
constexpr std::uint16_t kQbeLanguage = 1;
// Statement properties the example language accepts: auxiliary tables and
// blanks counted as zero. Neither changes a single-table selection.
constexpr std::uint32_t kQbeAuxTablesProperty = 0x00060026;
constexpr std::uint32_t kQbeBlankAsZeroProperty = 0x00060023;
// The engine's "query feature not implemented" code, raised for constructs
// the translation does not cover; the error's context names the construct.
constexpr DBIResult kQbeNotTranslated = 0x2E6C;

// The answer table the text's "ANSWER:" line names; empty without one and
// for an answer in the private directory (":PRIV:..."), which is the
// statement's result alone and no table of the database.
std::string QbeAnswerName(const std::string& qbe);

// The SQL selection of the example text; raises EMorvaEngineError with
// kQbeNotTranslated for what it cannot translate.
std::string TranslateQbeToSql(const std::string& qbe);
