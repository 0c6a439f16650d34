#pragma once
// Runs a SELECT: without FROM it evaluates literals, @@globals and built-in functions into
// one row; with FROM it reads one catalog view (CatalogViews) of the current or a named
// database, keeps the rows whose columns match every WHERE condition (text compares without
// regard to case or trailing blanks), sorts by ORDER BY, applies TOP and projects the select
// list. The caller holds the instance lock. Throws SqlError: 207, 208, 245, 263, 911, 137,
// 174, or kNotSupported for reading user tables.

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
    // A value without a row: literal, @@global or function; fills `column` with its type.
    Cell evaluate(const Expr& e, Column& column);
    Cell global(const std::string& name, Column& column);
    Cell function(const Expr& e, Column& column);
    void filter(ResultSet& rows, const std::vector<Condition>& where);
    bool matches(const Cell& cell, const Column& column, const Condition& cond, const Cell& value,
                 bool unicode);
    void order(ResultSet& rows, const Select& select);
    ResultSet project(const ResultSet& rows, const Select& select);

    Instance& instance_;
    const SessionFacts& session_;
};

}  // namespace sandbox::sql
