#include "platform/dao/accesssqltokens.h"

#include <cctype>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"

namespace dao::accesssql {

namespace {

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (static_cast<unsigned char>(c) & 0x80);
}

}  // namespace

std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    Token t;
    t.start = i;
    if (c == '[' || c == '`') {
      char close = c == '[' ? ']' : '`';
      size_t end = s.find(close, i + 1);
      if (end == std::string::npos) Fail(errSyntaxInExpression, s.substr(i));
      t.kind = Tok::Name;
      t.text = s.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (c == '\'' || c == '"') {
      t.kind = Tok::String;
      size_t j = i + 1;
      for (;;) {
        if (j >= s.size()) Fail(errSyntaxInExpression, s.substr(i));
        if (s[j] == c) {
          if (j + 1 < s.size() && s[j + 1] == c) {  // doubled quote
            t.text += c;
            j += 2;
            continue;
          }
          break;
        }
        t.text += s[j++];
      }
      i = j + 1;
    } else if (c == '#') {
      size_t end = s.find('#', i + 1);
      if (end == std::string::npos) Fail(errSyntaxInExpression, s.substr(i));
      t.kind = Tok::Date;
      t.text = s.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      t.kind = Tok::Number;
      size_t j = i;
      while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
          j = k;
          while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        }
      }
      t.text = s.substr(i, j - i);
      i = j;
    } else if (IsWordChar(c)) {
      t.kind = Tok::Word;
      size_t j = i;
      while (j < s.size() && IsWordChar(s[j])) ++j;
      t.text = s.substr(i, j - i);
      i = j;
    } else {
      t.kind = Tok::Punct;
      std::string two = s.substr(i, 2);
      if (two == "<>" || two == "<=" || two == ">=" || two == "!=") {
        t.text = two;
        i += 2;
      } else {
        t.text = std::string(1, c);
        ++i;
      }
    }
    out.push_back(std::move(t));
  }
  Token end;
  end.start = s.size();
  out.push_back(end);
  return out;
}

bool Is(const Token& t, const char* word) { return t.kind == Tok::Word && SameText(t.text, word); }
bool IsPunct(const Token& t, const char* p) { return t.kind == Tok::Punct && t.text == p; }

const std::set<std::string>& Keywords() {
  static const std::set<std::string> k = {
      "SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "LIKE", "IN", "IS", "NULL", "BETWEEN",
      "ORDER", "BY", "GROUP", "HAVING", "ASC", "DESC", "AS", "DISTINCT", "INSERT", "INTO",
      "VALUES", "UPDATE", "SET", "DELETE", "JOIN", "INNER", "LEFT", "RIGHT", "OUTER", "ON",
      "UNION", "ALL", "EXISTS", "XOR", "EQV", "COUNT", "SUM", "AVG", "MIN", "MAX"};
  return k;
}

const Token& TokenCursor::Peek(size_t ahead) const {
  static const Token none;
  return pos_ + ahead < end_ ? t_[pos_ + ahead] : none;
}

bool TokenCursor::Accept(const char* word) {
  if (!Is(Peek(), word)) return false;
  ++pos_;
  return true;
}

bool TokenCursor::AcceptPunct(const char* p) {
  if (!IsPunct(Peek(), p)) return false;
  ++pos_;
  return true;
}

}  // namespace dao::accesssql
