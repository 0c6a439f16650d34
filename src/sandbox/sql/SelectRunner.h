#pragma once
// Runs a SELECT: without FROM it evaluates the select list into one row; with FROM it reads
// one catalog view (CatalogViews) of the current or a named database, keeps the rows for
// which the WHERE condition is true (Evaluator; text compares without regard to case or
// trailing blanks), sorts by ORDER BY, applies TOP and projects the select list. The caller
// holds the instance lock. Throws SqlError: 208, 263, 911, Evaluator's errors, or
// kNotSupported for reading user tables.

#include "sandbox/Engine.h"
#include "sandbox/sql/Ast.h"
#include "sandbox/sql/Instance.h"
#include "sandbox/sql/SessionFacts.h"

namespace sandbox::sql {

class SelectRunner {
  public:
    SelectRunner(Instance& instance, const SessionFacts& session)
        : instance_(instance), session_(session) {}
    ResultSet run(const Select& select);

  private:
    // `onlyName`: the rows of a table view may be limited to tables of that name.
    ResultSet source(const ObjectName& from, const std::optional<std::string>& onlyName);
    void filter(ResultSet& rows, const Expr& where);
    void order(ResultSet& rows, const Select& select);
    ResultSet project(const ResultSet& rows, const Select& select);

    Instance& instance_;
    const SessionFacts& session_;
};

}  // namespace sandbox::sql
