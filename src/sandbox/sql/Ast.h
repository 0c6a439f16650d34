#pragma once
// The statements the parser produces. Names are unescaped UTF-8 as written.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "sandbox/Engine.h"

namespace sandbox::sql {

// [server.][database.][schema.]name; `text` is the name as the client wrote it, joined by '.'.
struct ObjectName {
    std::vector<std::string> parts;  // 1 to 3 parts, the object's own name last
    std::string text;
    const std::string& name() const { return parts.back(); }
    std::string schema() const { return parts.size() >= 2 ? parts[parts.size() - 2] : ""; }
    std::string database() const { return parts.size() >= 3 ? parts[parts.size() - 3] : ""; }
};

struct FileSpec {
    std::string logicalName;
    std::string fileName;                   // empty when no FILENAME was given
    std::optional<std::int64_t> sizeKb;     // SIZE, when given
    std::optional<std::int64_t> maxSizeKb;  // MAXSIZE, when given and not UNLIMITED
};

struct CreateDatabase {
    std::string name;
    std::vector<FileSpec> dataFiles;
    std::vector<FileSpec> logFiles;
};

struct DropDatabase {
    std::vector<std::string> names;
    bool ifExists = false;
};

struct UseDatabase {
    std::string name;
};

struct TypeName {
    std::string schema;             // as written before a '.' ("dbo" in dbo.FooBar), or empty
    std::string name;               // as written ("VarChar")
    std::vector<std::string> args;  // digits or "max", in the order written
};

struct ColumnDef {
    std::string name;
    TypeName type;
    bool identity = false;
    bool primaryKey = false;
    std::string keyName;           // CONSTRAINT name of a column PRIMARY KEY, or empty
    std::optional<bool> nullable;  // NULL / NOT NULL when written
};

struct CreateTable {
    ObjectName table;
    std::vector<ColumnDef> columns;
    std::vector<std::vector<std::string>> tableKeys;  // PRIMARY KEY (a, b) clauses
    std::string keyName;  // CONSTRAINT name of the first table PRIMARY KEY clause, or empty
};

struct DropTable {
    std::vector<ObjectName> tables;
    bool ifExists = false;
};

struct CreateSchema {
    std::string name;
};

struct SetOption {
    std::string option;  // upper case: "LANGUAGE", "ANSI_NULLS", "TRANSACTION ISOLATION LEVEL" ...
    std::string value;
};

struct Expr {
    // Unary: "-", "+", "NOT"; Binary: "+", "-", "*", "/", "%", "=", "<>", "<", ">", "<=",
    // ">=", "AND", "OR"; IsNull: "IS NULL", "IS NOT NULL" (one argument).
    enum class Kind { Literal, Column, Global, Function, Unary, Binary, IsNull };
    Kind kind = Kind::Literal;
    Cell value;                         // Literal
    ColumnType type = ColumnType::Int;  // Literal
    bool unicode = false;               // Literal text: N'...'
    std::string name;                   // Column, Global (@@VERSION), Function (DB_NAME), operator
    std::vector<Expr> args;             // Function arguments, operands
    std::string written;                // the operator as written, for messages
    std::int32_t line = 1;
    int height = 1;  // levels of the tree below and including this node

    // True for conditions (comparisons, AND, OR, NOT, IS NULL), which only WHERE takes.
    bool isCondition() const {
        if (kind == Kind::IsNull) return true;
        if (kind == Kind::Unary) return name == "NOT";
        return kind == Kind::Binary && name != "+" && name != "-" && name != "*" && name != "/" &&
               name != "%";
    }
};

struct SelectItem {
    bool star = false;
    Expr expr;
    std::string alias;  // empty: the column's own name, or no name
};

struct OrderItem {
    std::string column;  // empty when ordered by position
    int position = 0;    // 1-based select-list position
    bool descending = false;
};

struct Select {
    std::optional<std::int64_t> top;
    std::vector<SelectItem> items;
    std::optional<ObjectName> from;
    std::optional<Expr> where;
    std::vector<OrderItem> orderBy;
};

// DECLARE @name int[, ...] (the whole-number types only); a variable lives until the batch
// ends and starts as NULL.
struct Declare {
    std::vector<std::pair<std::string, ColumnType>> variables;  // names with '@', upper case
};

// An argument of EXECUTE: [@name =] a constant.
struct ProcArgument {
    std::string name;  // with its '@', or empty for a positional one
    Cell value;        // a constant (NULL as monostate)
};

// EXEC[UTE] [@status =] procedure [arguments]: the system procedures the sandbox knows.
struct Execute {
    std::string statusVariable;  // with its '@', upper case, or empty
    ObjectName procedure;
    std::vector<ProcArgument> arguments;
};

struct Statement {
    std::int32_t line = 1;
    std::variant<CreateDatabase, DropDatabase, UseDatabase, CreateTable, DropTable, CreateSchema,
                 SetOption, Select, Declare, Execute>
        body;
};

}  // namespace sandbox::sql
