#pragma once
// Recursive-descent parser for the T-SQL the sandbox runs: CREATE/DROP/USE DATABASE,
// CREATE/DROP TABLE, CREATE SCHEMA, SET, SELECT, DECLARE of whole-number variables and
// EXECUTE of a procedure with constant arguments. Statements follow one another with or
// without ';'. The whole batch is parsed before anything runs: the first syntax error
// throws SqlError (102, 156, 137, 191 ... or kNotSupported for T-SQL the sandbox does not
// run) and no statement of the batch runs.

#include <string>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/sql/Ast.h"
#include "sandbox/sql/TokenCursor.h"

namespace sandbox::sql {

class Parser {
  public:
    // Tokenizes (with parameter substitution) and parses one batch.
    static std::vector<Statement> parseBatch(const std::string& sql,
                                             const std::vector<Param>& params);

  private:
    explicit Parser(TokenCursor& cursor) : c_(cursor) {}
    Statement statement();
    Statement create();
    Statement drop();
    CreateDatabase createDatabase();
    std::vector<FileSpec> fileSpecs();
    FileSpec fileSpec();
    std::optional<std::int64_t> fileSize(bool allowUnlimited, bool allowPercent);
    DropDatabase dropDatabase();
    CreateTable createTable();
    void tableElement(CreateTable& table);
    ColumnDef columnDef();
    TypeName typeName();
    void columnOption(ColumnDef& column);
    std::vector<std::string> keyColumns();
    DropTable dropTable();
    CreateSchema createSchema();
    SetOption set();
    std::string setValue();
    Declare declare();
    Execute execute();
    ProcArgument procArgument();

    TokenCursor& c_;
};

}  // namespace sandbox::sql
