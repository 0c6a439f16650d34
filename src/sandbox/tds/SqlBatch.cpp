#include "sandbox/tds/SqlBatch.h"

#include "sandbox/tds/ByteReader.h"
#include "sandbox/tds/ByteWriter.h"
#include "sandbox/tds/Login7.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {

std::size_t skipAllHeaders(std::string_view payload, std::uint32_t tdsVersion) {
    if (tdsVersion < kTds72) return 0;
    ByteReader in(payload);
    std::uint32_t total = in.u32le();
    if (total < 4 || total > payload.size())
        throw ProtocolError("ALL_HEADERS length " + std::to_string(total) +
                            " does not fit the request of " + std::to_string(payload.size()) +
                            " bytes");
    // Walk the headers so that lengths that lie are caught, then skip them all.
    while (in.position() < total) {
        std::uint32_t length = in.u32le();
        if (length < 6 || length > total - (in.position() - 4))
            throw ProtocolError("request header length " + std::to_string(length) +
                                " is out of range");
        in.skip(length - 4);
    }
    return total;
}

std::string parseSqlBatch(std::string_view payload, std::uint32_t tdsVersion) {
    std::string_view text = payload.substr(skipAllHeaders(payload, tdsVersion));
    if (text.size() % 2 != 0) throw ProtocolError("SQL batch text has an odd number of bytes");
    return ucs2ToUtf8(text);
}

std::string encodeAllHeaders() {
    ByteWriter out;
    out.u32le(22);
    out.u32le(18);
    out.u16le(2);
    out.u64le(0);
    out.u32le(1);
    return out.take();
}

std::string encodeSqlBatch(std::string_view sql) {
    return encodeAllHeaders() + utf8ToUcs2(sql);
}

}  // namespace sandbox::tds
