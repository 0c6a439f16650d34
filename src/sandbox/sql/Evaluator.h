#pragma once
// Evaluates the expressions and conditions of a SELECT over one row of a catalog view (or
// over no row, outside FROM): literals, columns, @@globals, built-in functions, arithmetic,
// text concatenation and comparisons, with SQL Server's NULL rules (CONCAT_NULL_YIELDS_NULL
// and ANSI_NULLS on: NULL in arithmetic gives NULL, a comparison with NULL is unknown) and its
// conversions (text meeting a number is converted to the number's type). The caller holds the
// instance lock. Throws SqlError: 207, 137, 174, 245, 402, 8115, 8117, 8134, 536/537.

#include <optional>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/sql/Ast.h"
#include "sandbox/sql/Instance.h"
#include "sandbox/sql/SessionFacts.h"

namespace sandbox::sql {

// What an expression produces: the cell, the facts of its result column (which depend only on
// the expression, never on the values) and, for text, whether it is varchar ('...') rather
// than nvarchar (N'...', catalog text).
struct Value {
    Cell cell;
    Column column;
    bool varchar = false;
};

class Evaluator {
  public:
    Evaluator(Instance& instance, const SessionFacts& session)
        : instance_(instance), session_(session) {}

    // `row` holds the cells of `columns`, or is nullptr outside FROM. A row of NULLs gives the
    // result's column without raising value errors.
    Value value(const Expr& e, const std::vector<Column>& columns, const std::vector<Cell>* row);
    // A condition's truth: true, false, or unknown (nullopt).
    std::optional<bool> test(const Expr& e, const std::vector<Column>& columns,
                             const std::vector<Cell>* row);

  private:
    Value global(const std::string& name);
    Value function(const Expr& e, const std::vector<Column>& columns, const std::vector<Cell>* row);
    Value catalogFunction(const std::string& name, const std::vector<Value>& args);
    Value textFunction(const std::string& name, const std::vector<Value>& args);
    Value arithmetic(const Expr& e, const Value& left, const Value& right);
    Value negate(const Expr& e, const Value& operand);
    std::optional<int> compare(const Value& left, const Value& right);

    Instance& instance_;
    const SessionFacts& session_;
};

}  // namespace sandbox::sql
