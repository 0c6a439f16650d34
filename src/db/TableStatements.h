#pragma once
// The structure file's two queries and the CREATE TABLE text built from a table's rows.
// Shared by the create and modify runs. Text is UTF-8.

#include <string>

#include "db/Recordset.h"
#include "db/Value.h"

namespace dsadmin {

// The table list: one row per distinct ftable of ds.
inline constexpr const char* kTableListQuery = "select distinct ftable from ds";

// "select * from ds where ftable='" + tableName + "'", the name appended as it stands (Null
// adds nothing; a quote in it is not doubled, so the query then fails).
std::string TableRowsQuery(const Value& tableName);

// "CREATE TABLE " name " (" then per row: fname " " flb, "(" flong ")" when flb is exactly
// "VarChar", " IDENTITY(1,1)" when fauto equals 1, " PRIMARY KEY" when findex equals 1;
// the definitions joined by "," and closed by ")". Moves rows to its first row and walks it
// to the end; rows must be open. Throws DbError ("Type mismatch") for a flag that is a text
// reading as no number, and for a missing field.
std::string GetCreateTableStr(const Value& tableName, Recordset& rows);

}  // namespace dsadmin
