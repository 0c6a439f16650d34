#pragma once
// The statements the parser produces. Names are unescaped UTF-8 as written.

#include <cstdint>
#include <optional>
#include <string>
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
    std::string fileName;  // empty when no FILENAME was given
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
    std::string name;               // as written ("VarChar")
    std::vector<std::string> args;  // digits or "max", in the order written
};

struct ColumnDef {
    std::string name;
    TypeName type;
    bool identity = false;
    bool primaryKey = false;
    std::optional<bool> nullable;  // NULL / NOT NULL when written
};

struct CreateTable {
    ObjectName table;
    std::vector<ColumnDef> columns;
    std::vector<std::vector<std::string>> tableKeys;  // PRIMARY KEY (a, b) clauses
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
    enum class Kind { Literal, Column, Global, Function };
    Kind kind = Kind::Literal;
    Cell value;                         // Literal
    ColumnType type = ColumnType::Int;  // Literal
    bool unicode = false;               // Literal text: N'...'
    std::string name;                   // Column, Global (@@VERSION), Function (DB_NAME)
    std::vector<Expr> args;             // Function
};

struct SelectItem {
    bool star = false;
    Expr expr;
    std::string alias;  // empty: the column's own name, or no name
};

struct Condition {
    std::string column;
    std::string op;  // "=", "<>", "IS NULL", "IS NOT NULL"
    Expr value;
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
    std::vector<Condition> where;
    std::vector<OrderItem> orderBy;
};

struct Statement {
    std::int32_t line = 1;
    std::variant<CreateDatabase, DropDatabase, UseDatabase, CreateTable, DropTable, CreateSchema,
                 SetOption, Select>
        body;
};

}  // namespace sandbox::sql
