#pragma once
// Every statement text the runs send, in one place: to the server (CREATE DATABASE, the
// existence query, CREATE TABLE, the drop statement) and to the structure file (its two
// queries). Text is UTF-8.

#include <string>
#include <string_view>
#include <vector>

#include "db/Recordset.h"
#include "db/Value.h"

namespace dsadmin {

// `text` with every "'" doubled: between quotes it reads back as exactly `text`, and the
// literal always ends where the text ends, whatever the text holds.
std::string DoubleQuotes(std::string_view text);

// "CREATE DATABASE " name " on (name=" name "_dat,FILENAME ='" dataFile "' ,maxsize=unlimited)",
// every "'" in dataFile doubled, so that a folder such as "it's" or "x') DROP DATABASE y --"
// stays inside the literal (the name is a plain identifier and holds none).
std::string CreateDatabaseStatement(const std::string& name, const std::string& dataFile);

// "Drop Database " + name.
std::string DropDatabaseStatement(const std::string& name);

// "select * from sys.tables where name = N'" + table + "'", every "'" of the name doubled: the
// query only ever looks the name up, and as a Unicode literal a name outside the server's
// code page (a Chinese name on a Latin collation) still matches.
std::string TableExistsQuery(const Value& table);

// One column as the table's statement defines it.
struct ColumnDefinition {
    std::string name;         // fname as text
    std::string type;         // flb as text, then "(" flong ")" when flb is exactly "VarChar"
    bool identity = false;    // fauto equals 1: " IDENTITY(1,1)"
    bool primaryKey = false;  // findex equals 1: " PRIMARY KEY"
};

// The definitions of a table's rows, in the rows' order. Moves rows to its first row and walks
// it to the end; rows must be open. Throws DbError ("类型不匹配") for a flag that is a text
// reading as no number, and for a missing field.
std::vector<ColumnDefinition> ReadColumnDefinitions(Recordset& rows);

// name " " type, then " IDENTITY(1,1)" and " PRIMARY KEY" when flagged.
std::string ColumnDefinitionText(const ColumnDefinition& column);

// "CREATE TABLE " name " (" then per row: fname " " flb, "(" flong ")" when flb is exactly
// "VarChar", " IDENTITY(1,1)" when fauto equals 1, " PRIMARY KEY" when findex equals 1;
// the definitions joined by "," and closed by ")". Moves rows to its first row and walks it
// to the end; rows must be open. Throws DbError ("类型不匹配") for a flag that is a text
// reading as no number, and for a missing field.
std::string GetCreateTableStr(const Value& tableName, Recordset& rows);

// The table list: one row per distinct ftable of ds.
inline constexpr const char* kTableListQuery = "select distinct ftable from ds";

// "select * from ds where ftable='" + tableName + "'", each quote in the name doubled (O'Brien
// gives ftable='O''Brien'; Null adds nothing), so every name finds its own rows.
std::string TableRowsQuery(const Value& tableName);

}  // namespace dsadmin
