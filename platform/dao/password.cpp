#include "platform/dao/password.h"

#include <sodium.h>

#include "platform/dao/daoerrors.h"
#include "platform/dao/store.h"

namespace dao {

namespace {

// The library's interactive limits: about a tenth of a second and 64 MB
// per open on a desktop, which makes guessing from a copied file slow.
constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void StartLibrary() {
  static const bool started = sodium_init() >= 0;
  if (!started) throw TDaoFailure(errReservedError, "The password library could not start.");
}

// A stored value in the hash format; anything else is a password kept as it is.
bool IsHash(const std::string& stored) {
  return crypto_pwhash_str_needs_rehash(stored.c_str(), kOpsLimit, kMemLimit) != -1;
}

}  // namespace

void StorePassword(Connection& c, const std::string& password) {
  StartLibrary();
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), kOpsLimit, kMemLimit) != 0)
    throw TDaoFailure(errReservedError, "Not enough memory to protect the password.");
  Connection::WriteScope scope(c);
  c.Exec("CREATE TABLE IF NOT EXISTS MSysPassword (Password TEXT NOT NULL)");
  c.Exec("DELETE FROM MSysPassword");
  c.Prepare("INSERT INTO MSysPassword VALUES (?)")->Bind(1, std::string(hash)).Step();
  scope.Commit();
}

bool CheckPassword(Connection& c, const std::string& password) {
  if (c.FindTable("MSysPassword") == nullptr) return false;
  std::string stored;
  {
    StatementUse s(c.Cached("SELECT Password FROM MSysPassword"));
    if (!s->Step()) return false;
    stored = s->ColumnText(0);
  }
  StartLibrary();
  if (IsHash(stored)) {
    if (crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) != 0) Fail(errBadPassword);
    return false;
  }
  if (stored != password) Fail(errBadPassword);
  return true;
}

}  // namespace dao
