#include "platform/dao/accesssqltypes.h"

#include <utility>

#include "platform/classlib/core/strutils.h"
#include "platform/dao/daoerrors.h"

namespace dao::accesssql {

namespace {

// What a value is, as far as amounts go. Amount: ten-thousandths, an integer;
// AmountReal: ten-thousandths that may carry a fraction (averages, shares).
enum class Val { Other, Null, Integer, Real, Literal, Amount, AmountReal };

bool Scaled(Val v) { return v == Val::Amount || v == Val::AmountReal; }

// Expressions and subqueries nest at most this deep: far beyond what anyone
// writes, and bounded so that hostile text cannot exhaust the stack of this
// recursive reader.
constexpr int kMaxNesting = 200;

// The stored form of an amount is ten-thousandths.
const char* const kUnscale = "/ 10000.0 )";
const char* const kScale = "* 10000 )";

struct Expr {
  size_t first = 0;
  size_t last = 0;
  Val val = Val::Other;
  bool primary = false;  // one operand: wrapping it needs no parentheses of its own
  bool spanned = true;   // false for the columns of a * (nothing to write around)
};

// One item of a select list: an expression, or the columns a * brings.
struct Item {
  std::string name;          // the column's name where it has one (alias or column)
  std::vector<Expr> columns;  // one for an expression
  bool known = true;          // false: a * over a table the catalogue does not know
};

struct TableRef {
  std::string name;
  std::string alias;
  bool known = false;
  TableDef def;
};

struct Scope {
  std::vector<TableRef> tables;
  const Scope* outer = nullptr;
};

Val ValOfType(int type) {
  switch (type) {
    case dbCurrency: return Val::Amount;
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong: return Val::Integer;
    case dbSingle:
    case dbDouble:
    case dbDate: return Val::Real;
    default: return Val::Other;
  }
}

int TypeOfVal(Val v) {
  switch (v) {
    case Val::Amount:
    case Val::AmountReal: return dbCurrency;
    case Val::Integer: return dbLong;
    case Val::Real: return dbDouble;
    default: return dbText;
  }
}

// Words that shape a statement and so never name a column.
bool Reserved(const Token& k) {
  if (k.kind != Tok::Word) return false;
  std::string u = UpperCase(k.text);
  if (u == "COUNT" || u == "SUM" || u == "AVG" || u == "MIN" || u == "MAX") return false;  // only when called
  return Keywords().count(u) || u == "MOD" || u == "IMP";
}

bool IsNameToken(const Token& k) { return k.kind == Tok::Name || (k.kind == Tok::Word && !Reserved(k)); }

// A number literal that SQLite keeps as an integer.
bool IntegralLiteral(const std::string& text) {
  if (text.empty() || text.size() > 18) return false;  // 18 digits always fit 64 bits
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

class Typer : TokenCursor {
 public:
  Typer(const std::vector<Token>& t, size_t start, size_t end, const std::vector<ParameterDecl>& params,
        const TableLookupFn& lookup, int error)
      : TokenCursor(t, start, end), params_(params), lookup_(lookup), error_(error) {}

  CurrencyRewrite Statement() {
    if (Is(Peek(), "SELECT")) {
      Results(Query(nullptr));
    } else if (Is(Peek(), "INSERT")) {
      Insert();
    } else if (Is(Peek(), "UPDATE")) {
      Update();
    } else {
      Delete();
    }
    if (!AtEnd()) Fail(error_, Peek().text);
    return std::move(rw_);
  }

 private:
  // Counts one level of nesting while it lives.
  class Nesting {
   public:
    explicit Nesting(Typer& typer) : typer_(typer) {
      if (++typer_.depth_ > kMaxNesting) Fail(typer_.error_, "nested too deeply");
    }
    ~Nesting() { --typer_.depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Typer& typer_;
  };

  // ---- tokens ----
  void Expect(const char* word, int error) {
    if (!Accept(word)) Fail(error, Peek().text);
  }
  void ExpectPunct(const char* p, int error) {
    if (!AcceptPunct(p)) Fail(error, Peek().text);
  }
  std::string TakeName(int error) {
    if (!IsNameToken(Peek())) Fail(error, Peek().text);
    return t_[pos_++].text;
  }

  // ---- catalogue ----
  TableRef Table(const std::string& name) {
    TableRef ref;
    ref.name = ref.alias = name;
    ref.known = lookup_ && lookup_(name, ref.def);
    return ref;
  }

  static int FieldType(const TableRef& table, const std::string& column) {
    if (!table.known) return 0;
    int i = table.def.FieldIndex(column);
    return i < 0 ? 0 : table.def.fields[static_cast<size_t>(i)].type;
  }

  static const TableRef* FindTable(const Scope& scope, const std::string& qualifier) {
    for (const Scope* s = &scope; s; s = s->outer)
      for (const TableRef& table : s->tables)
        if (SameText(table.alias, qualifier) || SameText(table.name, qualifier)) return &table;
    return nullptr;
  }

  // The type of a column named with or without its table; 0 when unknown.
  static int ColumnType(const Scope& scope, const std::string& qualifier, const std::string& column) {
    if (!qualifier.empty()) {
      const TableRef* table = FindTable(scope, qualifier);
      return table ? FieldType(*table, column) : 0;
    }
    for (const Scope* s = &scope; s; s = s->outer)
      for (const TableRef& table : s->tables)
        if (int type = FieldType(table, column)) return type;
    return 0;
  }

  // ---- writing around values ----
  // Writes pre and post around the value, which is parenthesized first unless
  // it is one operand. Inner values are wrapped before outer ones, so an outer
  // opening goes first and an outer closing last.
  void Wrap(const Expr& e, const std::string& pre, const std::string& post) {
    if (!e.spanned) return;
    std::string open = e.primary ? pre : pre + " (";
    std::string close = e.primary ? post : ") " + post;
    std::string& before = rw_.before[e.first];
    before = before.empty() ? open : open + " " + before;
    std::string& after = rw_.after[e.last];
    after = after.empty() ? close : after + " " + close;
  }

  // The value as an amount in the stored form.
  void ToAmount(Expr& e) {
    switch (e.val) {
      case Val::Literal: return ScaleLiteral(e);
      case Val::Integer:
      case Val::Real:
      case Val::Other:
        Wrap(e, "(", kScale);
        e.val = e.val == Val::Integer ? Val::Amount : Val::AmountReal;
        e.primary = true;
        break;
      default: break;
    }
  }

  // A literal is written in the stored form exactly; beyond the currency
  // range no stored form exists.
  void ScaleLiteral(Expr& e) {
    const std::string& text = t_[e.last].text;
    bool negative = e.first != e.last && IsPunct(t_[e.first], "-");
    std::int64_t raw = 0;
    if (StoredCurrency(text, raw)) {
      rw_.replace[e.last] = std::to_string(raw);
    } else if (negative && StoredCurrency("-" + text, raw)) {
      // The smallest amount has no positive counterpart: it takes its sign along.
      rw_.replace[e.first] = "";
      rw_.replace[e.last] = std::to_string(raw);
    } else {
      Fail(errConversion, text);
    }
    e.val = Val::Amount;
  }

  // The value as the amount itself, where it meets a floating value or text.
  void ToPlain(Expr& e) {
    if (!Scaled(e.val)) {
      if (e.val == Val::Literal) e.val = LiteralVal(e);
      return;
    }
    Wrap(e, "(", kUnscale);
    e.val = Val::Real;
    e.primary = true;
  }

  Val LiteralVal(const Expr& e) const { return IntegralLiteral(t_[e.last].text) ? Val::Integer : Val::Real; }

  // Values that meet (compared, alternatives, one column of a union) are brought
  // to one form: amounts when every one can be an amount exactly, else plain values.
  Val Unify(std::vector<Expr*> values) {
    bool scaled = false, exact = true, real = false;
    for (Expr* e : values) {
      scaled = scaled || Scaled(e->val);
      exact = exact && (e->val == Val::Amount || e->val == Val::AmountReal || e->val == Val::Literal ||
                        e->val == Val::Integer || e->val == Val::Null);
      real = real || e->val == Val::AmountReal;
    }
    if (!scaled) return Plain(values);
    for (Expr* e : values) exact ? ToAmount(*e) : ToPlain(*e);
    if (!exact) return Plain(values);
    return real ? Val::AmountReal : Val::Amount;
  }

  // The common type of plain values.
  Val Plain(const std::vector<Expr*>& values) {
    Val v = Val::Null;
    for (Expr* e : values) {
      Val x = e->val == Val::Literal ? LiteralVal(*e) : e->val;
      if (x == Val::Null) continue;
      if (v == Val::Null || v == x)
        v = x;
      else if ((v == Val::Integer || v == Val::Real) && (x == Val::Integer || x == Val::Real))
        v = Val::Real;
      else
        v = Val::Other;
    }
    return v;
  }

  // A value stored into a column of this type (0: unknown).
  void Store(Expr& e, int type) {
    if (type == dbCurrency) {
      ToAmount(e);
      if (e.val == Val::AmountReal) {
        Wrap(e, "CAST ( round (", ") AS INTEGER )");
        e.val = Val::Amount;
      }
    } else if (type != 0) {
      ToPlain(e);
    }
  }

  // ---- statements ----
  // A query's amounts come back in the stored form, whole ten-thousandths.
  void Results(std::vector<Item> items) {
    for (Item& item : items) {
      if (!item.known) {
        rw_.currencyColumns.clear();
        return;
      }
      for (Expr& e : item.columns) {
        if (e.val == Val::AmountReal) Store(e, dbCurrency);
        rw_.currencyColumns.push_back(Scaled(e.val));
      }
    }
  }

  void Insert() {
    Expect("INSERT", error_);
    Expect("INTO", error_);
    TableRef target = Table(TakeName(error_));
    std::vector<int> types;
    if (AcceptPunct("(")) {
      do types.push_back(FieldType(target, TakeName(error_)));
      while (AcceptPunct(","));
      ExpectPunct(")", error_);
    } else {
      for (const FieldDef& f : target.def.fields) types.push_back(f.type);
    }
    auto typeAt = [&](size_t i) { return i < types.size() ? types[i] : 0; };
    if (Accept("VALUES")) {
      ExpectPunct("(", error_);
      Scope none;
      size_t i = 0;
      do {
        Expr e = Value(none);
        Store(e, typeAt(i++));
      } while (AcceptPunct(","));
      ExpectPunct(")", error_);
    } else if (Is(Peek(), "SELECT")) {
      size_t i = 0;
      for (Item& item : Query(nullptr)) {
        if (!item.known) break;  // positions past it are unknown
        for (Expr& e : item.columns) Store(e, typeAt(i++));
      }
    } else {
      Fail(error_, Peek().text);
    }
  }

  void Update() {
    Expect("UPDATE", error_);
    Scope scope;
    scope.tables.push_back(Table(TakeName(error_)));
    Expect("SET", error_);
    do {
      std::string qualifier, column = TakeName(error_);
      if (AcceptPunct(".") || AcceptPunct("!")) qualifier = std::exchange(column, TakeName(error_));
      ExpectPunct("=", error_);
      Expr e = Value(scope);
      Store(e, ColumnType(scope, qualifier, column));
    } while (AcceptPunct(","));
    if (Accept("WHERE")) Condition(scope);
  }

  // DELETE [*|t.*|t] FROM ...: the target list is implied by FROM.
  void Delete() {
    Expect("DELETE", error_);
    while (!AtEnd() && !Is(Peek(), "FROM")) ++pos_;
    Expect("FROM", error_);
    Scope scope;
    FromList(scope);
    if (Accept("WHERE")) Condition(scope);
  }

  // SELECT ... {UNION [ALL] SELECT ...} [ORDER BY ...]
  std::vector<Item> Query(const Scope* outer) {
    Scope scope;
    std::vector<Item> items = Select(outer, scope);
    bool compound = false;
    while (Accept("UNION")) {
      compound = true;
      Accept("ALL");
      Scope other;
      std::vector<Item> more = Select(outer, other);
      MatchColumns(items, more);
    }
    if (Accept("ORDER")) {
      Expect("BY", error_);
      Scope results;  // a union is ordered by its result columns, which need no change
      do {
        Value(compound ? results : scope);
        if (!Accept("ASC")) Accept("DESC");
      } while (AcceptPunct(","));
    }
    return items;
  }

  // The columns of a later part of a union take the form of the first part's.
  void MatchColumns(const std::vector<Item>& first, std::vector<Item>& later) {
    std::vector<Val> firstVals;
    for (const Item& item : first) {
      if (!item.known) return;
      for (const Expr& e : item.columns) firstVals.push_back(e.val);
    }
    size_t i = 0;
    for (Item& item : later) {
      if (!item.known) return;
      for (Expr& e : item.columns) {
        if (i >= firstVals.size()) return;
        if (Scaled(firstVals[i])) Store(e, dbCurrency);
        if (!Scaled(firstVals[i]) && Scaled(e.val)) ToPlain(e);
        ++i;
      }
    }
  }

  std::vector<Item> Select(const Scope* outer, Scope& scope) {
    Expect("SELECT", error_);
    if (!Accept("DISTINCT") && !Accept("DISTINCTROW")) Accept("ALL");
    if (Accept("TOP")) {
      if (Peek().kind != Tok::Number) Fail(errSyntaxInExpression, Peek().text);
      ++pos_;
    }
    scope.outer = outer;
    // The list names columns of the tables FROM brings: FROM is read first.
    size_t listStart = pos_;
    size_t from = FindFrom();
    size_t after = pos_;
    if (from != std::string::npos) {
      pos_ = from + 1;
      FromList(scope);
      after = pos_;
      pos_ = listStart;
    }
    std::vector<Item> items = SelectList(scope);
    if (from != std::string::npos) {
      if (pos_ != from) Fail(error_, Peek().text);
      pos_ = after;
    }
    if (Accept("WHERE")) Condition(scope);
    if (Accept("GROUP")) {
      Expect("BY", error_);
      do Value(scope);
      while (AcceptPunct(","));
    }
    if (Accept("HAVING")) Condition(scope);
    return items;
  }

  // The FROM of the select list starting here, outside parentheses; npos when none.
  size_t FindFrom() const {
    int depth = 0;
    for (size_t i = pos_; i < end_; ++i) {
      if (IsPunct(t_[i], "(")) ++depth;
      if (IsPunct(t_[i], ")") && --depth < 0) return std::string::npos;
      if (depth == 0 && Is(t_[i], "FROM")) return i;
      if (depth == 0 && (Is(t_[i], "UNION") || Is(t_[i], "WHERE") || Is(t_[i], "ORDER"))) return std::string::npos;
    }
    return std::string::npos;
  }

  std::vector<Item> SelectList(const Scope& scope) {
    std::vector<Item> items;
    do {
      Item item;
      if (AcceptPunct("*")) {
        for (const TableRef& table : scope.tables) StarColumns(table, item);
      } else if (IsNameToken(Peek()) && (IsPunct(Peek(1), ".") || IsPunct(Peek(1), "!")) && IsPunct(Peek(2), "*")) {
        const TableRef* table = FindTable(scope, Peek().text);
        pos_ += 3;
        if (table)
          StarColumns(*table, item);
        else
          item.known = false;
      } else {
        Expr e = Value(scope);
        if (e.primary && IsNameToken(t_[e.last])) item.name = t_[e.last].text;
        if (Accept("AS")) item.name = TakeName(error_);
        item.columns.push_back(e);
      }
      items.push_back(std::move(item));
    } while (AcceptPunct(","));
    return items;
  }

  static void StarColumns(const TableRef& table, Item& item) {
    if (!table.known) item.known = false;
    for (const FieldDef& f : table.def.fields) {
      Expr e;
      e.val = ValOfType(f.type);
      e.spanned = false;
      item.columns.push_back(e);
    }
  }

  // table [[AS] alias] | (from list) | (SELECT ...) [AS] alias, joined with
  // commas or [INNER|LEFT [OUTER]|RIGHT [OUTER]] JOIN ... ON condition.
  void FromList(Scope& scope) {
    do {
      FromItem(scope);
      while (JoinWord()) {
        FromItem(scope);
        if (Accept("ON")) Condition(scope);
      }
    } while (AcceptPunct(","));
  }

  bool JoinWord() {
    size_t mark = pos_;
    if (Accept("LEFT") || Accept("RIGHT")) Accept("OUTER");
    else Accept("INNER");
    if (Accept("JOIN")) return true;
    pos_ = mark;
    return false;
  }

  void FromItem(Scope& scope) {
    Nesting level(*this);
    if (AcceptPunct("(")) {
      if (Is(Peek(), "SELECT")) {
        TableRef derived = Derived(Query(scope.outer));
        ExpectPunct(")", errSyntaxInFrom);
        Accept("AS");
        derived.name = derived.alias = TakeName(errSyntaxInFrom);
        scope.tables.push_back(std::move(derived));
        return;
      }
      FromList(scope);
      ExpectPunct(")", errSyntaxInFrom);
      return;
    }
    scope.tables.push_back(Table(TakeName(errSyntaxInFrom)));
    if (Accept("AS") || IsNameToken(Peek())) scope.tables.back().alias = TakeName(errSyntaxInFrom);
  }

  // A subquery in FROM acts as a table of its result columns.
  static TableRef Derived(const std::vector<Item>& items) {
    TableRef ref;
    ref.known = true;
    for (const Item& item : items) {
      if (!item.known || item.columns.size() != 1) {
        ref.known = ref.known && item.known;
        continue;
      }
      FieldDef f;
      f.name = item.name;
      f.type = TypeOfVal(item.columns[0].val);
      ref.def.fields.push_back(f);
    }
    return ref;
  }

  // ---- expressions, by Access's precedence ----
  Expr Condition(const Scope& scope) { return Value(scope); }

  Expr Value(const Scope& scope) {
    Nesting level(*this);
    Expr e = AndLevel(scope);
    while (Accept("OR") || Accept("XOR") || Accept("EQV") || Accept("IMP")) e = Logical(e, AndLevel(scope));
    return e;
  }

  Expr AndLevel(const Scope& scope) {
    Expr e = NotLevel(scope);
    while (Accept("AND")) e = Logical(e, NotLevel(scope));
    return e;
  }

  Expr NotLevel(const Scope& scope) {
    Nesting level(*this);
    size_t first = pos_;
    if (!Accept("NOT")) return Predicate(scope);
    Expr e = NotLevel(scope);
    return Logical(Expr{first, e.last}, e);
  }

  static Expr Logical(const Expr& a, const Expr& b) { return Expr{a.first, b.last, Val::Integer}; }

  Expr Predicate(const Scope& scope) {
    Expr a = Concat(scope);
    for (;;) {
      size_t mark = pos_;
      bool negated = Accept("NOT");
      if (IsComparison(Peek()) && !negated) {
        ++pos_;
        Expr b = Concat(scope);
        Unify({&a, &b});
        a = Logical(a, b);
      } else if (Accept("BETWEEN")) {
        Expr low = Concat(scope);
        Expect("AND", error_);
        Expr high = Concat(scope);
        Unify({&a, &low, &high});
        a = Logical(a, high);
      } else if (Accept("IN")) {
        a = InList(scope, a);
      } else if (Accept("LIKE")) {
        a = PlainOperation(a, Concat(scope), Val::Integer);
      } else if (!negated && Accept("IS")) {
        Accept("NOT");
        size_t last = pos_;
        Expect("NULL", error_);
        a = Logical(a, Expr{last, last});
      } else {
        pos_ = mark;
        return a;
      }
    }
  }

  static bool IsComparison(const Token& k) {
    return k.kind == Tok::Punct && (k.text == "=" || k.text == "<>" || k.text == "<" || k.text == ">" ||
                                    k.text == "<=" || k.text == ">=" || k.text == "!=");
  }

  Expr InList(const Scope& scope, Expr a) {
    ExpectPunct("(", error_);
    std::vector<Expr> list;
    if (Is(Peek(), "SELECT")) {
      std::vector<Item> items = Query(&scope);
      if (items.size() == 1 && items[0].known && items[0].columns.size() == 1) list.push_back(items[0].columns[0]);
    } else {
      do list.push_back(Value(scope));
      while (AcceptPunct(","));
    }
    size_t last = pos_;
    ExpectPunct(")", error_);
    std::vector<Expr*> values{&a};
    for (Expr& e : list) values.push_back(&e);
    Unify(values);
    return Logical(a, Expr{last, last});
  }

  // Operators that take the amounts themselves (text, MOD, powers, LIKE).
  Expr PlainOperation(Expr a, Expr b, Val result) {
    ToPlain(a);
    ToPlain(b);
    return Expr{a.first, b.last, result};
  }

  Expr Concat(const Scope& scope) {
    Expr e = Additive(scope);
    while (AcceptPunct("&")) e = PlainOperation(e, Additive(scope), Val::Other);
    return e;
  }

  Expr Additive(const Scope& scope) {
    Expr e = ModLevel(scope);
    while (IsPunct(Peek(), "+") || IsPunct(Peek(), "-")) {
      ++pos_;
      Expr b = ModLevel(scope);
      Val v = Unify({&e, &b});
      e = Expr{e.first, b.last, v == Val::Null ? Val::Null : v};
    }
    return e;
  }

  Expr ModLevel(const Scope& scope) {
    Expr e = Multiplicative(scope);
    while (Accept("MOD") || AcceptPunct("\\")) e = PlainOperation(e, Multiplicative(scope), Val::Integer);
    return e;
  }

  Expr Multiplicative(const Scope& scope) {
    Expr e = Unary(scope);
    for (;;) {
      if (AcceptPunct("*")) {
        Expr b = Unary(scope);
        e = Times(e, b);
      } else if (AcceptPunct("/")) {
        Expr b = Unary(scope);
        e = Divided(e, b);
      } else {
        return e;
      }
    }
  }

  // An amount times a whole number stays an exact amount; amount times amount
  // has twice the scale; amount times a floating value is a floating value.
  Expr Times(Expr a, Expr b) {
    Expr r{a.first, b.last, Val::Other};
    if (!Scaled(a.val) && !Scaled(b.val)) {
      r.val = Plain({&a, &b});
    } else if (Scaled(a.val) && Scaled(b.val)) {
      Wrap(r, "(", kUnscale);
      r.val = Val::AmountReal;
      r.primary = true;
    } else {
      Expr& amount = Scaled(a.val) ? a : b;
      Expr& other = Scaled(a.val) ? b : a;
      Val o = other.val == Val::Literal ? LiteralVal(other) : other.val;
      if (o == Val::Integer || o == Val::Null) {
        r.val = o == Val::Null ? Val::Null : amount.val;
      } else if (other.val == Val::Literal) {
        r.val = Val::AmountReal;
      } else {
        ToPlain(amount);
        r.val = Val::Real;
      }
    }
    return r;
  }

  // Division is never SQLite's integer division for amounts: the dividend
  // becomes floating first. Amount / amount is a plain ratio.
  Expr Divided(Expr a, Expr b) {
    Expr r{a.first, b.last, Val::Real};
    Val o = b.val == Val::Literal ? LiteralVal(b) : b.val;
    if (Scaled(a.val) && (Scaled(b.val) || o == Val::Integer)) {
      Wrap(a, "(", "* 1.0 )");
      r.val = Scaled(b.val) ? Val::Real : Val::AmountReal;
    } else if (Scaled(a.val) || Scaled(b.val)) {
      ToPlain(a);
      ToPlain(b);
    } else {
      r.val = Plain({&a, &b}) == Val::Other ? Val::Other : Val::Real;
    }
    return r;
  }

  Expr Unary(const Scope& scope) {
    Nesting level(*this);
    size_t first = pos_;
    if (AcceptPunct("-") || AcceptPunct("+")) {
      Expr e = Unary(scope);
      bool literal = e.val == Val::Literal && e.first == e.last;  // a sign only before the number itself
      Val v = e.val == Val::Literal && !literal ? LiteralVal(e) : e.val;
      return Expr{first, e.last, v};
    }
    Expr e = Primary(scope);
    while (AcceptPunct("^")) e = PlainOperation(e, Primary(scope), Val::Real);
    return e;
  }

  Expr Primary(const Scope& scope) {
    size_t first = pos_;
    const Token& k = Peek();
    auto single = [&](Val v) {
      ++pos_;
      return Expr{first, first, v, true};
    };
    switch (k.kind) {
      case Tok::Number: return single(Val::Literal);
      case Tok::String: return single(Val::Other);
      case Tok::Date: return single(Val::Real);
      case Tok::Punct:
        if (k.text == "?") return single(Val::Other);
        if (k.text == "(") return Parenthesized(scope);
        Fail(error_, k.text);
      case Tok::End: Fail(error_, k.text);
      default: break;
    }
    std::string u = k.kind == Tok::Word ? UpperCase(k.text) : std::string();
    if (u == "TRUE" || u == "FALSE" || u == "YES" || u == "NO") return single(Val::Integer);
    if (u == "NULL") return single(Val::Null);
    if (k.kind == Tok::Word && IsPunct(Peek(1), "(")) return Call(scope);
    return Column(scope);
  }

  Expr Parenthesized(const Scope& scope) {
    size_t first = pos_++;
    Expr inner;
    if (Is(Peek(), "SELECT")) {
      std::vector<Item> items = Query(&scope);
      if (items.size() == 1 && items[0].known && items[0].columns.size() == 1) inner = items[0].columns[0];
    } else {
      inner = Value(scope);
    }
    ExpectPunct(")", error_);
    Val v = inner.val;
    return Expr{first, pos_ - 1, v, true};
  }

  Expr Column(const Scope& scope) {
    size_t first = pos_;
    if (int p = ParameterIndex(params_, Peek().text); p >= 0) {
      ++pos_;
      return Expr{first, first, ValOfType(params_[static_cast<size_t>(p)].type), true};
    }
    std::string qualifier, column = TakeName(error_);
    if (AcceptPunct(".") || AcceptPunct("!")) qualifier = std::exchange(column, TakeName(error_));
    return Expr{first, pos_ - 1, ValOfType(ColumnType(scope, qualifier, column)), true};
  }

  Expr Call(const Scope& scope) {
    size_t first = pos_;
    std::string u = UpperCase(t_[pos_].text);
    pos_ += 2;  // name (
    std::vector<Expr> args;
    if (Is(Peek(), "SELECT")) {  // EXISTS (SELECT ...)
      Query(&scope);
      ExpectPunct(")", error_);
      return Expr{first, pos_ - 1, Val::Integer, true};
    }
    if (!AcceptPunct(")")) {
      if (u == "COUNT" && AcceptPunct("*")) {
      } else {
        Accept("DISTINCT");
        do args.push_back(Value(scope));
        while (AcceptPunct(","));
      }
      ExpectPunct(")", error_);
    }
    return Expr{first, pos_ - 1, CallVal(u, args), true};
  }

  // Aggregates and alternatives keep amounts; other functions see the amounts themselves.
  Val CallVal(const std::string& u, std::vector<Expr>& args) {
    std::vector<Expr*> all;
    for (Expr& e : args) all.push_back(&e);
    if (u == "COUNT") return Val::Integer;
    if (u == "NOW" || u == "DATE" || u == "TIME") return Val::Real;
    if ((u == "SUM" || u == "MIN" || u == "MAX" || u == "ABS" || u == "NZ") && !args.empty()) return Unify(all);
    if (u == "AVG" && args.size() == 1) {
      Val v = Unify(all);
      return Scaled(v) ? Val::AmountReal : v == Val::Integer ? Val::Real : v;
    }
    if (u == "IIF" && args.size() == 3) {
      all.erase(all.begin());
      return Unify(all);
    }
    for (Expr* e : all) ToPlain(*e);
    return u == "LEN" || u == "INSTR" ? Val::Integer : Val::Other;
  }

  const std::vector<ParameterDecl>& params_;
  const TableLookupFn& lookup_;
  int error_;
  int depth_ = 0;
  CurrencyRewrite rw_;
};

}  // namespace

int ParameterIndex(const std::vector<ParameterDecl>& params, const std::string& name) {
  int found = -1;
  for (size_t p = 0; p < params.size(); ++p)
    if (AnsiSameText(params[p].name, name)) found = static_cast<int>(p);
  return found;
}

CurrencyRewrite TypeCurrency(const std::vector<Token>& t, size_t start, size_t end,
                             const std::vector<ParameterDecl>& params, const TableLookupFn& tables, int syntaxError) {
  return Typer(t, start, end, params, tables, syntaxError).Statement();
}

}  // namespace dao::accesssql
