#pragma once
// What JetReader and its helper program dsadmin-jetreader say to each other over their socket.
//
// The helper keeps the file open and answers requests one after another until its input ends:
//
//   request := "DSQ1" kind str path body             (the file is reopened when path changes)
//     kind 'T': nothing                              (the user tables)
//     kind 'R': str table                            (the whole table)
//     kind 'V': str table, str column                (the column's distinct texts, see below)
//     kind 'W': str table, str column, u32 n, n x str text     (rows by the column's value)
//
// Each answer travels in chunks, u32 length then the bytes, ended by a chunk of length 0:
//
//   answer  := magic kind body trailer
//   magic   := "DSJ1"            trailer := "DSJZ"
//   kind 'E': u8 error code, str detail
//   kind 'T': u32 n, n x str                       (user table names)
//   kind 'R': header, { 'r' ncols x value } end
//   kind 'V': header, { 'r' value } end            (one column)
//   kind 'W': header, n x ( { 'r' ncols x value } 'g' ) end
//   header  := str name, u32 ncols, ncols x (str name, u8 type, u32 size),
//              u32 rows the definition announces (a hint only)
//   end     := 'z' u32 rows sent | 'x' str why the table is damaged
//   value   := u8 tag, then: Int i64 | Float f64 | Text str | Date f64 | nothing
//   str     := u32 byte length, UTF-8 bytes
//
// 'V' sends, in file order, the column's values that are no text (each of them, Null once) and
// the first text of each run of rows with the same case-folded text; its header names the one
// column. 'W' sends, for each text in turn, every row whose value in the column is a text equal to
// it once case-folded, and every row whose value is no text nor Null (the caller compares those),
// in file order. Both read the table once, on the first such request for that column, and keep only
// where each text's rows are: the helper never holds the table's rows.
//
// Numbers are in the machine's own byte order: both ends are built together.

#include <cstdint>

namespace dsadmin::jetwire {

inline constexpr char kRequestMagic[4] = {'D', 'S', 'Q', '1'};
inline constexpr char kMagic[4] = {'D', 'S', 'J', '1'};
inline constexpr char kTrailer[4] = {'D', 'S', 'J', 'Z'};

enum Kind : char {
    kError = 'E',
    kTables = 'T',
    kTable = 'R',
    kDistinct = 'V',
    kWhere = 'W',
};
enum RowMark : char { kRow = 'r', kEnd = 'z', kBroken = 'x', kGroupEnd = 'g' };

enum ErrorCode : std::uint8_t {
    kNotJet = 1,    // libmdb could not open the file or read its catalog
    kNoTable = 2,   // no user table of that name
    kBadTable = 3,  // the table definition could not be read
    kNoColumn = 4,  // no column of that name; the detail is the table's name
};

enum Tag : std::uint8_t {
    kNull = 0,
    kInt = 1,
    kFloat = 2,
    kText = 3,
    kFalse = 4,
    kTrue = 5,
    kDate = 6,
};

}  // namespace dsadmin::jetwire
