#pragma once
// Text conversions at the protocol edge. Inside the sandbox text is UTF-8; on the wire it is
// UCS-2LE (really UTF-16LE: characters outside the BMP travel as surrogate pairs) or, for
// VARCHAR/CHAR values, bytes in the code page of the collation (Windows-1252 here).

#include <string>
#include <string_view>

namespace sandbox::tds {

// UTF-8 to UTF-16LE bytes. Malformed UTF-8 sequences become U+FFFD.
std::string utf8ToUcs2(std::string_view utf8);

// UTF-16LE bytes to UTF-8. An odd trailing byte is dropped; unpaired surrogates become U+FFFD.
std::string ucs2ToUtf8(std::string_view ucs2);

// Windows-1252 bytes to UTF-8 (the five unassigned bytes map to the C1 controls, as Windows
// does).
std::string cp1252ToUtf8(std::string_view bytes);

}  // namespace sandbox::tds
