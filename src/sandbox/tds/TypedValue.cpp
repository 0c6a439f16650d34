#include "sandbox/tds/TypedValue.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sandbox/tds/Cells.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {
namespace {

enum : std::uint8_t {
    kNull = 0x1F,
    kInt1 = 0x30,
    kBit = 0x32,
    kInt2 = 0x34,
    kInt4 = 0x38,
    kDateTim4 = 0x3A,
    kFlt4 = 0x3B,
    kMoney = 0x3C,
    kDateTime = 0x3D,
    kFlt8 = 0x3E,
    kMoney4 = 0x7A,
    kInt8 = 0x7F,
    kIntN = 0x26,
    kDateN = 0x28,
    kTimeN = 0x29,
    kDateTime2N = 0x2A,
    kDateTimeOffsetN = 0x2B,
    kDecimalN = 0x6A,
    kNumericN = 0x6C,
    kBitN = 0x68,
    kFltN = 0x6D,
    kMoneyN = 0x6E,
    kDateTimN = 0x6F,
    kText = 0x23,
    kNText = 0x63,
    kBigVarChar = 0xA7,
    kBigChar = 0xAF,
    kNVarChar = 0xE7,
    kNChar = 0xEF,
};

std::uint64_t readLe(ByteReader& in, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::uint64_t(in.u8()) << (8 * i);
    return v;
}

std::int64_t signExtend(std::uint64_t v, std::size_t n) {
    if (n >= 8) return static_cast<std::int64_t>(v);
    std::uint64_t sign = std::uint64_t{1} << (8 * n - 1);
    return static_cast<std::int64_t>((v ^ sign) - sign);
}

ParamValue integer(ByteReader& in, std::size_t n) {
    if (n != 1 && n != 2 && n != 4 && n != 8)
        throw ProtocolError("integer of " + std::to_string(n) + " bytes");
    std::uint64_t v = readLe(in, n);
    return n == 1 ? std::int64_t(v) : signExtend(v, n);  // tinyint is unsigned
}

ParamValue floating(ByteReader& in, std::size_t n) {
    if (n == 4) {
        auto bits = static_cast<std::uint32_t>(readLe(in, 4));
        float f;
        std::memcpy(&f, &bits, 4);
        return double(f);
    }
    if (n != 8) throw ProtocolError("float of " + std::to_string(n) + " bytes");
    std::uint64_t bits = readLe(in, 8);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

ParamValue money(ByteReader& in, std::size_t n) {
    if (n == 4) return double(signExtend(readLe(in, 4), 4)) / 10000.0;
    if (n != 8) throw ProtocolError("money of " + std::to_string(n) + " bytes");
    std::uint64_t hi = readLe(in, 4);
    std::uint64_t lo = readLe(in, 4);
    return double(static_cast<std::int64_t>((hi << 32) | lo)) / 10000.0;
}

ParamValue dateTime(ByteReader& in, std::size_t n) {
    if (n == 4) {
        std::uint16_t days = in.u16le();
        std::uint16_t minutes = in.u16le();
        return formatDateTime({days, std::uint32_t(minutes) * 60 * 300});
    }
    if (n != 8) throw ProtocolError("datetime of " + std::to_string(n) + " bytes");
    auto days = static_cast<std::int32_t>(in.u32le());
    return formatDateTime({days, in.u32le()});
}

ParamValue decimal(ByteReader& in, std::size_t n, std::uint8_t scale) {
    if (n < 5 || n > 17) throw ProtocolError("decimal of " + std::to_string(n) + " bytes");
    bool positive = in.u8() == 1;
    unsigned __int128 magnitude = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) magnitude |= (unsigned __int128)in.u8() << (8 * i);
    if (scale == 0 && magnitude <= (unsigned __int128)INT64_MAX) {
        auto v = static_cast<std::int64_t>(magnitude);
        return positive ? v : -v;
    }
    double d = double(magnitude) / std::pow(10.0, scale);
    return positive ? d : -d;
}

// Time of day as DATETIME2/TIME carry it: 3..5 bytes of 10^-scale second units.
std::string timeOfDay(ByteReader& in, std::uint8_t scale) {
    std::size_t n = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    double seconds = double(readLe(in, n)) / std::pow(10.0, scale);
    auto whole = static_cast<unsigned>(seconds);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%06.3f", whole / 3600, whole / 60 % 60,
                  seconds - whole + whole % 60);
    return buf;
}

ParamValue dateAndTime(ByteReader& in, std::uint8_t type, std::uint8_t scale) {
    std::size_t n = in.u8();
    if (n == 0) return std::monostate{};
    ByteReader value(in.bytes(n));
    std::string time = type != kDateN ? timeOfDay(value, scale) : "";
    std::string date =
        type != kTimeN ? formatDate(static_cast<std::int64_t>(readLe(value, 3))) : "";
    if (type == kDateTimeOffsetN) value.skip(2);  // offset in minutes; the UTC value is kept
    if (!value.atEnd()) throw ProtocolError("date/time value of wrong length");
    if (date.empty()) return time;
    return time.empty() ? date : date + " " + time;
}

std::string text(std::string_view bytes, bool unicode) {
    if (!unicode) return cp1252ToUtf8(bytes);
    if (bytes.size() % 2 != 0) throw ProtocolError("UCS-2 value with an odd byte count");
    return ucs2ToUtf8(bytes);
}

// PLP (MS-TDS 2.2.5.2.3): total length, then chunks ended by a zero-length chunk.
ParamValue plpText(ByteReader& in, bool unicode) {
    std::uint64_t total = in.u64le();
    if (total == ~std::uint64_t{0}) return std::monostate{};
    std::string bytes;
    for (std::uint32_t chunk = in.u32le(); chunk != 0; chunk = in.u32le()) {
        bytes.append(in.bytes(chunk));
    }
    if (total != ~std::uint64_t{0} - 1 && total != bytes.size())
        throw ProtocolError("PLP value length does not match its chunks");
    return text(bytes, unicode);
}

ParamValue shortText(ByteReader& in, bool unicode) {
    std::uint16_t maxLength = in.u16le();
    in.skip(5);  // collation
    if (maxLength == 0xFFFF) return plpText(in, unicode);
    std::uint16_t length = in.u16le();
    if (length == 0xFFFF) return std::monostate{};
    return text(in.bytes(length), unicode);
}

ParamValue longText(ByteReader& in, bool unicode) {
    in.u32le();  // maximum length
    in.skip(5);  // collation
    std::uint32_t length = in.u32le();
    if (length == 0xFFFFFFFF) return std::monostate{};
    return text(in.bytes(length), unicode);
}

// Types whose TYPE_INFO is one length byte and whose value starts with its own length.
ParamValue byteLengthValue(ByteReader& in, std::uint8_t type) {
    std::uint8_t maxLength = in.u8();
    std::uint8_t precisionScale[2] = {0, 0};
    if (type == kDecimalN || type == kNumericN) {
        precisionScale[0] = in.u8();
        precisionScale[1] = in.u8();
    }
    std::size_t n = in.u8();
    if (n == 0) return std::monostate{};
    if (n > maxLength) throw ProtocolError("value longer than its declared type");
    switch (type) {
        case kIntN:
            return integer(in, n);
        case kBitN:
            if (n != 1) throw ProtocolError("bit of " + std::to_string(n) + " bytes");
            return std::int64_t(in.u8() != 0);
        case kFltN:
            return floating(in, n);
        case kMoneyN:
            return money(in, n);
        case kDateTimN:
            return dateTime(in, n);
        default:
            return decimal(in, n, precisionScale[1]);
    }
}

}  // namespace

ParamValue readTypedValue(ByteReader& in) {
    std::uint8_t type = in.u8();
    switch (type) {
        case kNull:
            return std::monostate{};
        case kInt1:
            return integer(in, 1);
        case kBit:
            return std::int64_t(in.u8() != 0);
        case kInt2:
            return integer(in, 2);
        case kInt4:
            return integer(in, 4);
        case kInt8:
            return integer(in, 8);
        case kFlt4:
            return floating(in, 4);
        case kFlt8:
            return floating(in, 8);
        case kMoney:
            return money(in, 8);
        case kMoney4:
            return money(in, 4);
        case kDateTime:
            return dateTime(in, 8);
        case kDateTim4:
            return dateTime(in, 4);
        case kIntN:
        case kBitN:
        case kFltN:
        case kMoneyN:
        case kDateTimN:
        case kDecimalN:
        case kNumericN:
            return byteLengthValue(in, type);
        case kDateN:
            return dateAndTime(in, type, 0);
        case kTimeN:
        case kDateTime2N:
        case kDateTimeOffsetN: {
            std::uint8_t scale = in.u8();
            if (scale > 7) throw ProtocolError("time scale above 7");
            return dateAndTime(in, type, scale);
        }
        case kBigVarChar:
        case kBigChar:
            return shortText(in, false);
        case kNVarChar:
        case kNChar:
            return shortText(in, true);
        case kText:
            return longText(in, false);
        case kNText:
            return longText(in, true);
        default: {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", type);
            throw UnsupportedRequest(
                std::string("The sandbox does not accept parameters of TDS type ") + hex + ".");
        }
    }
}

}  // namespace sandbox::tds
