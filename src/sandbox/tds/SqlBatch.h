#pragma once
// SQL batch request (MS-TDS 2.2.6.7): ALL_HEADERS (TDS 7.2+) followed by UCS-2LE text that
// runs to the end of the message.

#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::tds {

// Skips ALL_HEADERS at the reader's start when `tdsVersion` is 7.2 or later; returns the
// offset of the data after them. Throws ProtocolError when the total length lies.
std::size_t skipAllHeaders(std::string_view payload, std::uint32_t tdsVersion);

// The batch text as UTF-8. Throws ProtocolError on a malformed header block or an odd
// number of text bytes.
std::string parseSqlBatch(std::string_view payload, std::uint32_t tdsVersion);

// A batch payload with the transaction-descriptor header both clients send (tests).
std::string encodeSqlBatch(std::string_view sql);
// The ALL_HEADERS block alone (22 bytes, descriptor 0, one outstanding request).
std::string encodeAllHeaders();

}  // namespace sandbox::tds
