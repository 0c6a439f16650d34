#pragma once
// The structure file's two queries and the CREATE TABLE text built from a table's rows.
// Shared by the create and modify runs. Text is UTF-8.

#include <string>
#include <vector>

#include "db/Recordset.h"
#include "db/Value.h"

namespace dsadmin {

// The table list: one row per distinct ftable of ds.
inline constexpr const char* kTableListQuery = "select distinct ftable from ds";

// "select * from ds where ftable='" + tableName + "'", the name appended as it stands (Null
// adds nothing; a quote in it is not doubled, so the query then fails).
std::string TableRowsQuery(const Value& tableName);

// One column as the table's statement defines it.
struct ColumnDefinition {
    std::string name;         // fname as text
    std::string type;         // flb as text, then "(" flong ")" when flb is exactly "VarChar"
    bool identity = false;    // fauto equals 1: " IDENTITY(1,1)"
    bool primaryKey = false;  // findex equals 1: " PRIMARY KEY"
};

// The definitions of a table's rows, in the rows' order. Moves rows to its first row and walks
// it to the end; rows must be open. Throws DbError ("Type mismatch") for a flag that is a text
// reading as no number, and for a missing field.
std::vector<ColumnDefinition> ReadColumnDefinitions(Recordset& rows);

// name " " type, then " IDENTITY(1,1)" and " PRIMARY KEY" when flagged.
std::string ColumnDefinitionText(const ColumnDefinition& column);

// "CREATE TABLE " name " (" then per row: fname " " flb, "(" flong ")" when flb is exactly
// "VarChar", " IDENTITY(1,1)" when fauto equals 1, " PRIMARY KEY" when findex equals 1;
// the definitions joined by "," and closed by ")". Moves rows to its first row and walks it
// to the end; rows must be open. Throws DbError ("Type mismatch") for a flag that is a text
// reading as no number, and for a missing field.
std::string GetCreateTableStr(const Value& tableName, Recordset& rows);

}  // namespace dsadmin
