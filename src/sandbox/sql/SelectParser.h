#pragma once
// Parses SELECT: [TOP n] a select list of *, columns and scalar expressions with aliases; FROM
// one object; WHERE a condition; ORDER BY. Expressions: literals, columns, @@globals, built-in
// functions, unary - and +, * / %, + and - (also text concatenation), parentheses; conditions
// add comparisons (= <> != < > <= >=), IS [NOT] NULL, NOT, AND, OR. A comparison outside
// WHERE is a syntax error, as on SQL Server. T-SQL it recognises but does not run (subqueries,
// CASE, LIKE, IN, aggregates, CAST ...) is kNotSupported, never a syntax error. Throws
// SqlError like Parser.

#include "sandbox/sql/Ast.h"
#include "sandbox/sql/TokenCursor.h"

namespace sandbox::sql {

class SelectParser {
  public:
    static constexpr int kMaxNesting = 32;
    // Elements of a select list at most (1056 beyond).
    static constexpr std::size_t kMaxSelectItems = 4096;

    explicit SelectParser(TokenCursor& cursor) : c_(cursor) {}
    // The cursor stands on SELECT.
    Select select();

  private:
    std::optional<std::int64_t> top();
    SelectItem item();
    std::string alias();
    Expr condition(int depth);
    Expr conjunction(int depth);
    // operand (word operand)*, left to right; each later operand one level deeper.
    Expr chain(const char* word, int depth, Expr (SelectParser::*operand)(int));
    Expr negation(int depth);
    Expr predicate(int depth);
    Expr scalar(int depth);  // a scalar expression: no comparison outside parentheses
    Expr additive(int depth);
    Expr term(int depth);
    // `left op right` for an arithmetic operator; a condition on either side is refused.
    Expr arithmetic(Expr left, const Token& op, Expr right);
    Expr unary(int depth);
    Expr primary(int depth);
    Expr literal(bool negative);
    Expr call(const Token& function, int depth);
    std::string columnRef();
    OrderItem orderItem();
    void checkDepth(int depth) const;

    TokenCursor& c_;
};

}  // namespace sandbox::sql
