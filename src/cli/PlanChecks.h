#pragma once
// What would make a create or modify run fail part-way, found before its first change: the
// database exists (create) or does not (modify); a column type the server's type catalog does
// not know (sys.types of model for a create, of the database for a modify); a table or column
// name the server cannot take as the statements write it (unquoted). The plans report these,
// and the runs make the same checks and change nothing when one fails. Text is UTF-8.

#include <string>
#include <vector>

#include "db/Connection.h"
#include "runs/RunInput.h"

namespace dsadmin::cli {

struct CheckFailure {
    std::string kind;  // "server" (the database), "model" (a type), "name" (a name)
    std::string text;  // for the operator, naming the table, column and value
};

class PlanChecks {
  public:
    // Reads the structure file as the runs do (input.structureFile, else DSName of
    // input.setupPath) and asks `server` (open on master) about the database `database` and
    // its types. Returns every failure found, in the file's order; empty when none. Throws
    // DbError when the structure file cannot be read or a query fails.
    static std::vector<CheckFailure> Run(const RunInput& input, Connection& server,
                                         const std::string& database, bool creates);

    // Why the server cannot take `name` as a table (`table`) or column name written
    // unquoted, or "" when it can: not a plain identifier, a leading @ (a variable) or, for a
    // table, # (a temporary table), or a reserved word of T-SQL.
    static std::string NameProblem(const std::string& name, bool table);
};

}  // namespace dsadmin::cli
