#pragma once
// The tables a JetWriter puts into a new Jet 4 file: names, columns and column types.

#include <string>
#include <vector>

namespace dsadmin::jet {

// The column types the writer supports, with the Access names they show as.
enum class JetColumnType {
    Text,      // Text(n), n = 1..255 characters (UTF-16 code units)
    Long,      // Long Integer, 32-bit signed
    Integer,   // Integer, 16-bit signed
    Byte,      // Byte, 0..255
    Double,    // Double, IEEE 64-bit
    YesNo,     // Yes/No; NULL is stored as No (Jet keeps no NULL for Yes/No)
    DateTime,  // Date/Time, days since 1899-12-30
    Memo,      // Memo, up to 65,535 characters here
};

struct ColumnDef {
    std::string name;  // UTF-8; 1..64 characters, no control characters, none of . ! ` [ ]
    JetColumnType type = JetColumnType::Text;
    int length = 0;  // Text: maximum characters, 1..255; ignored for other types
    friend bool operator==(const ColumnDef&, const ColumnDef&) = default;
};

struct TableDef {
    std::string name;                // same rules as column names; names differ ignoring case
    std::vector<ColumnDef> columns;  // 1..255 columns, names differ ignoring case
};

}  // namespace dsadmin::jet
