#pragma once
// A column's type reduced to what a check compares: the type's name as the server reports it
// (lower case, synonyms resolved), its length for the character and binary types, precision
// and scale for decimal and numeric, the fractional seconds of time, datetime2 and
// datetimeoffset. Text is UTF-8.

#include <string>
#include <vector>

namespace dsadmin {

struct ColumnType {
    std::string name;   // "varchar", "int", ...
    long length = 0;    // characters (bytes for binary types); -1 for (max); 0 when not compared
    int precision = 0;  // decimal and numeric only
    int scale = 0;      // decimal, numeric and the fractional-second types only

    // The type the server makes of a type text as a structure file writes it ("VarChar(20)",
    // "Decimal(10,2)", "Char", "float(10)"): the defaults of SQL Server apply to what the text
    // leaves out (length 1, decimal(18,0), seven fractional digits, float(24) and less is real).
    // A text it cannot read keeps its name in lower case and compares by that name alone.
    static ColumnType FromModel(const std::string& typeText);

    // The type from what sys.types and sys.columns report (max_length in bytes, -1 for max).
    static ColumnType FromServer(const std::string& typeName, long maxLength, int precision,
                                 int scale);

    // The names of the facts that differ: "type" alone when the names differ, else any of
    // "length", "precision", "scale".
    std::vector<std::string> differencesFrom(const ColumnType& other) const;

    // As SQL Server writes it: "varchar(20)", "nvarchar(max)", "decimal(10,2)", "int".
    std::string text() const;
};

}  // namespace dsadmin
