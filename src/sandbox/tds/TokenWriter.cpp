#include "sandbox/tds/TokenWriter.h"

#include <cstring>

#include "sandbox/tds/Cells.h"
#include "sandbox/tds/Login7.h"
#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {
namespace {

enum WireType : std::uint8_t {
    kInt1 = 0x30,
    kBit = 0x32,
    kInt2 = 0x34,
    kInt4 = 0x38,
    kDateTime = 0x3D,
    kFloat8 = 0x3E,
    kInt8 = 0x7F,
    kIntN = 0x26,
    kBitN = 0x68,
    kFloatN = 0x6D,
    kDateTimeN = 0x6F,
    kNVarChar = 0xE7,
};

constexpr std::string_view kProgName = "Microsoft SQL Server";

std::uint8_t intWidth(ColumnType t) {
    switch (t) {
        case ColumnType::BigInt:
            return 8;
        case ColumnType::SmallInt:
            return 2;
        case ColumnType::TinyInt:
            return 1;
        default:
            return 4;
    }
}

std::uint8_t fixedIntType(std::uint8_t width) {
    return width == 8 ? kInt8 : width == 2 ? kInt2 : width == 1 ? kInt1 : kInt4;
}

bool isMax(const Column& c) {
    return c.maxChars == 0 || c.maxChars > 4000;
}

}  // namespace

TokenWriter::TokenWriter(std::uint32_t tdsVersion, std::string serverName)
    : version_(tdsVersion), modern_(tdsVersion >= kTds72), serverName_(std::move(serverName)) {}

std::string TokenWriter::take() {
    return out_.take();
}

void TokenWriter::loginAck() {
    out_.u8(kTokenLoginAck);
    out_.u16le(static_cast<std::uint16_t>(10 + 2 * kProgName.size()));
    out_.u8(1);  // SQL_TSQL; FreeTDS treats 0 as a failed login
    out_.u32be(version_);
    out_.bVarchar(kProgName);
    out_.bytes(std::string_view("\x10\x00\x03\xE8", 4));  // 16.0.1000
}

void TokenWriter::envChange(EnvChangeType type, std::string_view newValue,
                            std::string_view oldValue) {
    ByteWriter body;
    body.u8(type);
    body.bVarchar(newValue);
    body.bVarchar(oldValue);
    out_.u8(kTokenEnvChange);
    out_.u16le(static_cast<std::uint16_t>(body.size()));
    out_.bytes(body.data());
}

void TokenWriter::envChangeCollation() {
    out_.u8(kTokenEnvChange);
    out_.u16le(static_cast<std::uint16_t>(3 + kCollation.size()));
    out_.u8(kEnvCollation);
    out_.u8(static_cast<std::uint8_t>(kCollation.size()));
    out_.bytes(kCollation);
    out_.u8(0);
}

void TokenWriter::envChangeResetAck() {
    out_.u8(kTokenEnvChange);
    out_.u16le(3);
    out_.u8(kEnvResetAck);
    out_.u8(0);
    out_.u8(0);
}

void TokenWriter::message(const Message& m) {
    ByteWriter body;
    body.u32le(static_cast<std::uint32_t>(m.number));
    body.u8(m.state);
    body.u8(m.severity);
    body.messageText(m.text);
    body.bVarchar(serverName_);
    body.bVarchar("");
    if (modern_)
        body.u32le(static_cast<std::uint32_t>(m.line));
    else
        body.u16le(static_cast<std::uint16_t>(m.line));
    out_.u8(m.severity <= 10 ? kTokenInfo : kTokenError);
    out_.u16le(static_cast<std::uint16_t>(body.size()));
    out_.bytes(body.data());
}

void TokenWriter::done(TokenType kind, std::uint16_t status, std::uint16_t curCmd,
                       std::uint64_t rows) {
    out_.u8(kind);
    out_.u16le(status);
    out_.u16le(curCmd);
    if (modern_)
        out_.u64le(rows);
    else
        out_.u32le(static_cast<std::uint32_t>(rows));
}

void TokenWriter::returnStatus(std::int32_t value) {
    out_.u8(kTokenReturnStatus);
    out_.u32le(static_cast<std::uint32_t>(value));
}

void TokenWriter::returnValue(std::uint16_t ordinal, std::string_view name, std::int32_t value) {
    out_.u8(kTokenReturnValue);
    out_.u16le(ordinal);
    out_.bVarchar(name);
    out_.u8(0x01);  // output parameter
    if (modern_)
        out_.u32le(0);  // user type
    else
        out_.u16le(0);
    out_.u16le(0x0001);  // nullable
    out_.u8(kIntN);
    out_.u8(4);
    out_.u8(4);
    out_.u32le(static_cast<std::uint32_t>(value));
}

void TokenWriter::colMetadata(const std::vector<Column>& columns) {
    out_.u8(kTokenColMetadata);
    out_.u16le(static_cast<std::uint16_t>(columns.size()));
    for (const auto& c : columns) {
        if (modern_)
            out_.u32le(0);  // user type
        else
            out_.u16le(0);
        out_.u16le(c.nullable ? 0x0001 : 0x0000);
        typeInfo(c);
        out_.bVarchar(c.name);
    }
}

void TokenWriter::typeInfo(const Column& c) {
    switch (c.type) {
        case ColumnType::Int:
        case ColumnType::BigInt:
        case ColumnType::SmallInt:
        case ColumnType::TinyInt:
            if (!c.nullable) return out_.u8(fixedIntType(intWidth(c.type)));
            out_.u8(kIntN);
            return out_.u8(intWidth(c.type));
        case ColumnType::Bit:
            if (!c.nullable) return out_.u8(kBit);
            out_.u8(kBitN);
            return out_.u8(1);
        case ColumnType::Float:
            if (!c.nullable) return out_.u8(kFloat8);
            out_.u8(kFloatN);
            return out_.u8(8);
        case ColumnType::DateTime:
            if (!c.nullable) return out_.u8(kDateTime);
            out_.u8(kDateTimeN);
            return out_.u8(8);
        case ColumnType::NVarChar:
            out_.u8(kNVarChar);
            out_.u16le(isMax(c) ? (modern_ ? 0xFFFF : 8000) : c.maxChars * 2);
            return out_.bytes(kCollation);
    }
}

void TokenWriter::row(const std::vector<Column>& columns, const std::vector<Cell>& cells) {
    out_.u8(kTokenRow);
    static const Cell kNull;
    for (std::size_t i = 0; i < columns.size(); ++i)
        value(columns[i], i < cells.size() ? cells[i] : kNull);
}

void TokenWriter::value(const Column& c, const Cell& cell) {
    if (c.type == ColumnType::NVarChar && c.nullable && isNull(cell)) {
        if (isMax(c) && modern_) return out_.u64le(~std::uint64_t{0});  // PLP NULL
        return out_.u16le(0xFFFF);
    }
    if (c.type == ColumnType::NVarChar) return textValue(c, cellToText(cell));
    if (c.nullable && isNull(cell)) return out_.u8(0);
    switch (c.type) {
        case ColumnType::Int:
        case ColumnType::BigInt:
        case ColumnType::SmallInt:
        case ColumnType::TinyInt: {
            std::uint8_t width = intWidth(c.type);
            if (c.nullable) out_.u8(width);
            auto v = static_cast<std::uint64_t>(cellToInt(cell));
            for (int i = 0; i < width; ++i) out_.u8(static_cast<std::uint8_t>(v >> (8 * i)));
            return;
        }
        case ColumnType::Bit:
            if (c.nullable) out_.u8(1);
            return out_.u8(cellToInt(cell) != 0 ? 1 : 0);
        case ColumnType::Float: {
            if (c.nullable) out_.u8(8);
            double d = cellToDouble(cell);
            std::uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            return out_.u64le(bits);
        }
        case ColumnType::DateTime: {
            if (c.nullable) out_.u8(8);
            DateTimeValue t = cellToDateTime(cell);
            out_.u32le(static_cast<std::uint32_t>(t.days));
            return out_.u32le(t.ticks);
        }
        case ColumnType::NVarChar:
            return;
    }
}

void TokenWriter::textValue(const Column& c, const std::string& text) {
    std::string ucs2 = utf8ToUcs2(text);
    if (isMax(c) && modern_) {
        out_.u64le(ucs2.size());
        if (!ucs2.empty()) {
            out_.u32le(static_cast<std::uint32_t>(ucs2.size()));
            out_.bytes(ucs2);
        }
        return out_.u32le(0);
    }
    std::size_t limit = isMax(c) ? 8000 : std::size_t(c.maxChars) * 2;
    if (ucs2.size() > limit) ucs2.resize(limit);
    out_.u16le(static_cast<std::uint16_t>(ucs2.size()));
    out_.bytes(ucs2);
}

}  // namespace sandbox::tds
