#pragma once
// The tokens of an Access SQL statement, shared by the translator's passes.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace dao::accesssql {

enum class Tok { End, Word, Name, String, Number, Date, Punct };

struct Token {
  Tok kind = Tok::End;
  std::string text;   // word, name (unbracketed), string contents, number, date text, punctuation
  size_t start = 0;   // byte offset in the statement
};

// The statement's tokens, always closed by one of kind End (so a look one
// token ahead of any other is safe); an unclosed name, string or date fails
// with a DAO syntax error.
std::vector<Token> Tokenize(const std::string& s);

bool Is(const Token& t, const char* word);       // the word, any case
bool IsPunct(const Token& t, const char* p);
const std::set<std::string>& Keywords();          // upper case

// Reads tokens [pos, end) one at a time; at and past the end it sees an End token.
class TokenCursor {
 public:
  TokenCursor(const std::vector<Token>& t, size_t pos, size_t end) : t_(t), pos_(pos), end_(end) {}

  bool AtEnd() const { return pos_ >= end_; }
  const Token& Peek(size_t ahead = 0) const;
  bool Accept(const char* word);
  bool AcceptPunct(const char* p);

 protected:
  const std::vector<Token>& t_;
  size_t pos_;
  size_t end_;
};

}  // namespace dao::accesssql
