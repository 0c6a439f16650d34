#pragma once
// Jet's column type codes, as a Jet 4 file declares each column: one list for the reader
// (db/jet, through libmdb) and the writer (jetwriter). The notes say how the reader hands each
// out; the writer writes Boolean, Byte, Integer, Long, Double, DateTime, Binary, Text, Ole
// and Memo.

#include <cstdint>

namespace dsadmin {

enum class JetType : std::uint8_t {
    Boolean = 0x01,   // Yes/No: read as bool, never Null
    Byte = 0x02,      // read as integer 0..255
    Integer = 0x03,   // 16-bit, read as integer
    Long = 0x04,      // 32-bit, read as integer
    Money = 0x05,     // read as floating (the stored value / 10000)
    Single = 0x06,    // read as floating
    Double = 0x07,    // read as floating
    DateTime = 0x08,  // read as Date
    Binary = 0x09,    // read as text: "0x" followed by upper-case hex digits
    Text = 0x0A,      // read as UTF-8 text
    Ole = 0x0B,       // read as Null (OLE objects are not decoded)
    Memo = 0x0C,      // read as UTF-8 text
    Guid = 0x0F,      // read as text {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    Numeric = 0x10,   // read as floating
    Other = 0xFF,     // any other code: read as Null
};

}  // namespace dsadmin
