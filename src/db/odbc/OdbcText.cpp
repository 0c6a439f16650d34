#include "db/odbc/OdbcText.h"

#include "base/Utf16.h"

namespace dsadmin {

SqlWideString ToSqlWide(std::string_view utf8) {
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return SqlWideString(utf16.begin(), utf16.end());
}

std::string FromSqlWide(const SQLWCHAR* text, std::size_t count) {
    return Utf16ToUtf8(std::u16string(text, text + count));
}

std::size_t SqlWideLength(const SQLWCHAR* text, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && text[n] != 0) ++n;
    return n;
}

}  // namespace dsadmin
