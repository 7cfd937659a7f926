#pragma once
// The password of a database file. MSysPassword keeps one salted hash of it
// (a memory-hard one, so a copied file does not give the password away);
// the password itself is never stored nor read back. Files of earlier
// versions keep the password itself: they open with it, and their next
// writable open replaces it by the hash.

#include <string>

namespace dao {

class Connection;

// Stores the hash of `password` as the file's password (a write).
void StorePassword(Connection& c, const std::string& password);

// 3031 when the file has a password and `password` is not it. True when the
// file keeps the password itself, to be replaced by StorePassword.
bool CheckPassword(Connection& c, const std::string& password);

}  // namespace dao
