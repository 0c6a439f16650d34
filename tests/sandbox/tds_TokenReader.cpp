#include "tds_TokenReader.h"

#include <cstring>
#include <stdexcept>

#include "sandbox/tds/ByteReader.h"
#include "sandbox/tds/TextCodec.h"

namespace tdstest {
namespace {

using sandbox::tds::ByteReader;

struct Col {
    std::uint8_t type;
    std::uint16_t maxLength;
};

std::string readCell(ByteReader& in, const Col& c) {
    auto intText = [&](int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= std::uint64_t(in.u8()) << (8 * i);
        if (n < 8 && n > 1 && (v >> (8 * n - 1)) & 1) v |= ~std::uint64_t{0} << (8 * n);
        return std::to_string(n == 1 ? std::int64_t(v) : static_cast<std::int64_t>(v));
    };
    auto floatText = [&] {
        std::uint64_t bits = in.u64le();
        double d;
        std::memcpy(&d, &bits, 8);
        return std::to_string(d);
    };
    auto dateText = [&] {
        auto days = in.u32le();
        auto ticks = in.u32le();
        return std::to_string(days) + "/" + std::to_string(ticks);
    };
    switch (c.type) {
        case 0x30:
            return intText(1);
        case 0x34:
            return intText(2);
        case 0x38:
            return intText(4);
        case 0x7F:
            return intText(8);
        case 0x32:
            return std::to_string(in.u8());
        case 0x3E:
            return floatText();
        case 0x3D:
            return dateText();
        case 0x26:
        case 0x68:
        case 0x6D:
        case 0x6F: {
            int n = in.u8();
            if (n == 0) return "NULL";
            if (c.type == 0x26) return intText(n);
            if (c.type == 0x68) return std::to_string(in.u8());
            if (c.type == 0x6D) return floatText();
            return dateText();
        }
        case 0xE7: {
            if (c.maxLength == 0xFFFF) {
                std::uint64_t total = in.u64le();
                if (total == ~std::uint64_t{0}) return "NULL";
                std::string bytes;
                for (std::uint32_t n = in.u32le(); n != 0; n = in.u32le()) bytes += in.bytes(n);
                return sandbox::tds::ucs2ToUtf8(bytes);
            }
            std::uint16_t n = in.u16le();
            if (n == 0xFFFF) return "NULL";
            if (n > c.maxLength || n % 2) throw std::runtime_error("nvarchar cell over its length");
            return sandbox::tds::ucs2ToUtf8(in.bytes(n));
        }
    }
    throw std::runtime_error("unknown column type " + std::to_string(c.type));
}

}  // namespace

std::vector<Token> readTokens(std::string_view payload, bool modern) {
    ByteReader in(payload);
    std::vector<Token> tokens;
    std::vector<Col> columns;
    while (!in.atEnd()) {
        Token t;
        t.type = in.u8();
        switch (t.type) {
            case 0xFD:
            case 0xFE:
            case 0xFF:
                t.status = in.u16le();
                in.u16le();
                t.rowCount = modern ? in.u64le() : in.u32le();
                break;
            case 0xAA:
            case 0xAB: {
                std::size_t end = in.u16le();
                end += in.position();
                t.number = static_cast<std::int32_t>(in.u32le());
                t.state = in.u8();
                t.severity = in.u8();
                const std::uint16_t units = in.u16le();
                // SQL Server cuts message texts to 2,047 characters.
                if (units > 2047) throw std::runtime_error("message text over 2047 characters");
                t.text = in.ucs2(units);
                if ((t.type == 0xAA) != (t.severity > 10))
                    throw std::runtime_error("INFO/ERROR token of the wrong severity");
                t.serverName = in.bVarchar();
                in.bVarchar();
                t.line = modern ? static_cast<std::int32_t>(in.u32le()) : in.u16le();
                if (in.position() != end) throw std::runtime_error("INFO/ERROR length lies");
                break;
            }
            case 0xE3: {
                std::size_t end = in.u16le();
                end += in.position();
                t.envType = in.u8();
                if (t.envType == 7) {
                    t.text = std::string(in.bytes(in.u8()));
                    t.oldValue = std::string(in.bytes(in.u8()));
                } else {
                    t.text = in.bVarchar();
                    t.oldValue = in.bVarchar();
                }
                if (in.position() != end) throw std::runtime_error("ENVCHANGE length lies");
                break;
            }
            case 0xAD: {
                std::size_t end = in.u16le();
                end += in.position();
                in.u8();
                t.tdsVersion = in.u32be();
                t.text = in.bVarchar();
                in.skip(4);
                if (in.position() != end) throw std::runtime_error("LOGINACK length lies");
                break;
            }
            case 0xAC: {
                in.u16le();
                t.text = in.bVarchar();
                in.u8();
                modern ? in.u32le() : in.u16le();
                in.u16le();
                Col c{in.u8(), 0};
                if (c.type != 0x26) throw std::runtime_error("RETURNVALUE of unexpected type");
                c.maxLength = in.u8();
                t.cells.push_back(readCell(in, c));
                break;
            }
            case 0x79:
                t.returnStatus = static_cast<std::int32_t>(in.u32le());
                break;
            case 0x81: {
                columns.clear();
                std::uint16_t count = in.u16le();
                if (count == 0 || count > 4096)
                    throw std::runtime_error("COLMETADATA of " + std::to_string(count) +
                                             " columns");
                for (int i = 0; i < count; ++i) {
                    modern ? in.u32le() : in.u16le();
                    in.u16le();
                    Col c{in.u8(), 0};
                    if (c.type == 0x26 || c.type == 0x68 || c.type == 0x6D || c.type == 0x6F)
                        c.maxLength = in.u8();
                    if (c.type == 0xE7) {
                        c.maxLength = in.u16le();
                        in.skip(5);
                    }
                    columns.push_back(c);
                    t.wireTypes.push_back(c.type);
                    t.names.push_back(in.bVarchar());
                }
                break;
            }
            case 0xD1:
                for (const auto& c : columns) t.cells.push_back(readCell(in, c));
                break;
            default:
                throw std::runtime_error("unknown token " + std::to_string(t.type));
        }
        if (t.type >= 0xFD && (t.status & ~0x0033))
            throw std::runtime_error("DONE with unknown status bits " + std::to_string(t.status));
        tokens.push_back(std::move(t));
    }
    return tokens;
}

std::vector<Token> readAnswer(std::string_view payload, bool modern) {
    std::vector<Token> tokens = readTokens(payload, modern);
    if (tokens.empty() || tokens.back().type < 0xFD || (tokens.back().status & 0x0001))
        throw std::runtime_error("the answer does not end with a final DONE");
    return tokens;
}

std::string tokenNames(const std::vector<Token>& tokens) {
    std::string out;
    for (const auto& t : tokens) {
        if (!out.empty()) out += ' ';
        switch (t.type) {
            case 0xFD:
                out += "DONE";
                break;
            case 0xFE:
                out += "DONEPROC";
                break;
            case 0xFF:
                out += "DONEINPROC";
                break;
            case 0xAA:
                out += "ERROR";
                break;
            case 0xAB:
                out += "INFO";
                break;
            case 0xE3:
                out += "ENVCHANGE";
                break;
            case 0xAD:
                out += "LOGINACK";
                break;
            case 0x79:
                out += "RETURNSTATUS";
                break;
            case 0xAC:
                out += "RETURNVALUE";
                break;
            case 0x81:
                out += "COLMETADATA";
                break;
            case 0xD1:
                out += "ROW";
                break;
        }
    }
    return out;
}

}  // namespace tdstest
