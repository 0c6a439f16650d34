#pragma once
// Decodes one TYPE_INFO + value pair as RPC parameters carry them (MS-TDS 2.2.5.4-5,
// 2.2.6.6) into the engine's parameter value: whole numbers, floats, text, or NULL.
// Dates and times become text 'YYYY-MM-DD hh:mm:ss.fff'; decimals with a scale become
// floats; character data is converted to UTF-8 (VARCHAR from Windows-1252, the code page of
// the collation the sandbox announces).

#include <cstdint>
#include <string>
#include <variant>

#include "sandbox/tds/ByteReader.h"

namespace sandbox::tds {

using ParamValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// Reads the type and the value at the reader's position. Throws ProtocolError when the
// bytes are truncated or a length lies, UnsupportedRequest for a type the sandbox does not
// take as a parameter (binary, XML, UDT, sql_variant...).
ParamValue readTypedValue(ByteReader& in);

}  // namespace sandbox::tds
