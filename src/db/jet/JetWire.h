#pragma once
// What JetReader and its helper program dsadmin-jetreader say to each other.
//
//   request := "DSQ1" kind str path str table     (table empty for 'T')
//
// The helper answers one request and exits:
//
//   answer  := magic kind body trailer
//   magic   := "DSJ1"            trailer := "DSJZ"
//   kind 'E': u8 error code, str detail
//   kind 'T': u32 n, n x str                       (user table names)
//   kind 'R': str name, u32 ncols, ncols x (str name, u8 type, u32 size),
//             u32 rows the definition announces (a hint only),
//             { 'r' ncols x value } ( 'z' u32 rows sent | 'x' str why the table is damaged )
//   value   := u8 tag, then: Int i64 | Float f64 | Text str | Date f64 | nothing
//   str     := u32 byte length, UTF-8 bytes
// Numbers are in the machine's own byte order: both ends are built together.

#include <cstdint>

namespace dsadmin::jetwire {

inline constexpr char kRequestMagic[4] = {'D', 'S', 'Q', '1'};
inline constexpr char kMagic[4] = {'D', 'S', 'J', '1'};
inline constexpr char kTrailer[4] = {'D', 'S', 'J', 'Z'};

enum Kind : char { kError = 'E', kTables = 'T', kTable = 'R' };
enum RowMark : char { kRow = 'r', kEnd = 'z', kBroken = 'x' };

enum ErrorCode : std::uint8_t {
    kNotJet = 1,    // libmdb could not open the file or read its catalog
    kNoTable = 2,   // no user table of that name
    kBadTable = 3,  // the table definition could not be read
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
