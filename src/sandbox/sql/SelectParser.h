#pragma once
// Parses SELECT: [TOP n] a select list of *, columns, literals, @@globals and built-in
// functions with aliases; FROM one object; WHERE comparisons joined by AND; ORDER BY.
// Throws SqlError like Parser.

#include "sandbox/sql/Ast.h"
#include "sandbox/sql/TokenCursor.h"

namespace sandbox::sql {

class SelectParser {
  public:
    static constexpr int kMaxNesting = 32;

    explicit SelectParser(TokenCursor& cursor) : c_(cursor) {}
    // The cursor stands on SELECT.
    Select select();

  private:
    std::optional<std::int64_t> top();
    SelectItem item();
    std::string alias();
    Expr expr(int depth);
    Expr literal(bool negative);
    Expr call(const Token& function, int depth);
    std::string columnRef();
    Condition condition();
    OrderItem orderItem();

    TokenCursor& c_;
};

}  // namespace sandbox::sql
