#pragma once
// The database login box and the password box: small modal forms that
// database components show when a connection needs a user name or password
// and the program gave no handler of its own. Like every modal form they go
// through the dialogs' responder while one is installed.

#include <string>

// Asks for the user name and password of the named database, offering
// `userName`; on OK both are filled with what was typed. False when cancelled
// (both are then left as they were).
bool LoginDialog(const std::string& databaseName, std::string& userName, std::string& password);

// Asks for a password; on OK `password` holds what was typed. False when cancelled.
bool PasswordDialog(std::string& password);

// Texts of the two boxes as users see them.
namespace logintext {
inline constexpr const char* LoginCaption = "Database Login";
inline constexpr const char* DatabaseLabel = "Database:";
inline constexpr const char* UserNameLabel = "&User Name:";
inline constexpr const char* PasswordLabel = "&Password:";
inline constexpr const char* PasswordCaption = "Enter password";
inline constexpr const char* PasswordPrompt = "&Password:";
}  // namespace logintext
