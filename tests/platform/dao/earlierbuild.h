#pragma once
// Files as earlier builds of the program made and wrote them, made by the
// tests themselves: SQL writes the case-blind indexes in an older order.
// Earlier builds declared text columns with SQLite's built-in NOCASE and
// gave it the fold they had; the present build names its own order
// differently (Connection::kCaseBlindCollation).

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/classlib/core/foldedorder.h"
#include "platform/classlib/core/strutils.h"
#include "platform/dao/store.h"

namespace daotest {

using Collation = int (*)(void*, int, const void*, int, const void*);

// The case-blind orders before: texts compared character by character, a
// byte no character stands for read as U+FFFD, each character folded so.
template <char32_t (*kFold)(char32_t)>
int CompareDecoded(void*, int n1, const void* p1, int n2, const void* p2) {
  const std::string_view a(static_cast<const char*>(p1), n1), b(static_cast<const char*>(p2), n2);
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = kFold(Utf8Decode(a, i));
    const char32_t y = kFold(Utf8Decode(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  return i < a.size() ? 1 : (j < b.size() ? -1 : 0);
}
// Recorded as 0: the small letter of a character's capital, as far as the
// hand-written case tables went. They had no Ơ/ơ, no Kelvin and Angstrom
// signs, no capital sharp s, no final sigma, no Cherokee and no Deseret,
// and folded the ASCII letters as the fold does.
inline char32_t OldFold(char32_t c) {
  const bool unknown = c == 0x1A0 || c == 0x1A1 || c == 0x212A || c == 0x212B || c == 0x1E9E || c == 0x3C2 ||
                       (c >= 0x13A0 && c <= 0x13FD) || (c >= 0xAB70 && c <= 0xABBF) ||
                       (c >= 0x10400 && c <= 0x1044F);
  return unknown ? c : UnicodeFold(c);
}
inline int CompareOldFold(void* x, int n1, const void* p1, int n2, const void* p2) {
  return CompareDecoded<OldFold>(x, n1, p1, n2, p2);
}
// Recorded as 1: every case pair folded, but a stray byte read as U+FFFD.
inline int CompareStrayAsReplacement(void* x, int n1, const void* p1, int n2, const void* p2) {
  return CompareDecoded<UnicodeFold>(x, n1, p1, n2, p2);
}

// Gives a connection of another program that uses SQLite the present
// case-blind order under its name, as a program that knows it would.
inline void KnowCaseBlindOrder(sqlite3* db) {
  sqlite3_create_collation(db, dao::Connection::kCaseBlindCollation, SQLITE_UTF8, nullptr,
                           [](void*, int n1, const void* p1, int n2, const void* p2) {
                             return CompareFoldedText(std::string_view(static_cast<const char*>(p1), n1),
                                                      std::string_view(static_cast<const char*>(p2), n2));
                           });
}

// Runs statements on a file as a program of its own (an earlier build)
// does: with `order` as the collation `name` (its NOCASE).
class OtherProgram {
 public:
  OtherProgram(const std::string& path, Collation order, const char* name = "NOCASE") {
    sqlite3_open(path.c_str(), &db_);
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_create_collation(db_, name, SQLITE_UTF8, nullptr, order);
  }
  ~OtherProgram() { sqlite3_close(db_); }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  // SQLite's message, empty when the statements ran.
  std::string Run(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    std::string out = rc == SQLITE_OK ? "" : message ? message : "failed";
    sqlite3_free(message);
    return out;
  }
  sqlite3* Handle() const { return db_; }
  std::int64_t Number(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
    const std::int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    return n;
  }

 private:
  sqlite3* db_ = nullptr;
};

// Turns a file this build made (nobody has it open) into one the previous
// build left: its text columns and their indexes name the built-in NOCASE,
// their entries in the order `order`, the header records `recorded`, after
// what that build `writes`. SQLite's message, empty when it went well.
inline std::string MakeEarlierBuildFile(const std::string& path, int recorded, Collation order = CompareOldFold,
                                        const std::string& writes = "") {
  OtherProgram earlier(path, order);
  const std::int64_t version = earlier.Number("PRAGMA schema_version");
  return earlier.Run(std::string("BEGIN; PRAGMA writable_schema=ON;"
                                 "UPDATE sqlite_master SET sql = replace(sql, 'COLLATE ") +
                     dao::Connection::kCaseBlindCollation +
                     "', 'COLLATE NOCASE');"
                     "PRAGMA schema_version=" +
                     std::to_string(version + 1) + "; PRAGMA writable_schema=RESET;" + writes +
                     "REINDEX NOCASE; PRAGMA user_version=" + std::to_string(recorded) + "; COMMIT");
}

}  // namespace daotest
