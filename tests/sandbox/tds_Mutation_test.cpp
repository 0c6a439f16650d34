// Every request decoder meets thousands of corrupted copies of valid requests: flipped bytes,
// cut tails, inserted garbage. Each must either decode or throw ProtocolError /
// UnsupportedRequest; nothing else (no crash, no other exception, no endless loop).
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "sandbox/tds/ByteWriter.h"
#include "sandbox/tds/Login7.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/RpcRequest.h"
#include "sandbox/tds/SqlBatch.h"
#include "sandbox/tds/TextCodec.h"

using namespace sandbox::tds;

namespace {

std::string sampleRpc() {
    ByteWriter out;
    out.bytes(encodeAllHeaders());
    out.u16le(0xFFFF);
    out.u16le(kSpExecuteSql);
    out.u16le(0);
    auto nvarchar = [&](const std::string& name, const std::string& value) {
        std::string ucs2 = utf8ToUcs2(value);
        out.bVarchar(name);
        out.u8(0);
        out.u8(0xE7);
        out.u16le(static_cast<std::uint16_t>(ucs2.size()));
        out.bytes(std::string("\x09\x04\xD0\x00\x34", 5));
        out.u16le(static_cast<std::uint16_t>(ucs2.size()));
        out.bytes(ucs2);
    };
    nvarchar("@statement", "select * from t where a = @a and b = @b");
    nvarchar("@params", "@a int, @b nvarchar(10)");
    out.bVarchar("@a");
    out.u8(0);
    out.bytes(std::string("\x26\x04\x04\x2A\x00\x00\x00", 7));
    nvarchar("@b", "值");
    return out.take();
}

std::string mutate(std::string s, std::mt19937& random) {
    switch (random() % 4) {
        case 0:  // flip a few bytes
            for (int i = 0, n = 1 + random() % 4; i < n && !s.empty(); ++i)
                s[random() % s.size()] = static_cast<char>(random());
            break;
        case 1:  // cut the tail
            s.resize(s.empty() ? 0 : random() % s.size());
            break;
        case 2:  // insert garbage
            s.insert(s.empty() ? 0 : random() % s.size(),
                     std::string(1 + random() % 8, char(random())));
            break;
        default:  // a length field set to its extreme
            if (s.size() > 2) {
                std::size_t at = random() % (s.size() - 1);
                s[at] = '\xFF';
                s[at + 1] = '\xFF';
            }
    }
    return s;
}

struct Decoder {
    const char* name;
    std::string sample;
    std::function<void(const std::string&)> decode;
};

void PrintTo(const Decoder& d, std::ostream* os) {
    *os << d.name;
}

class TdsMutatedRequest : public testing::TestWithParam<Decoder> {};

}  // namespace

TEST_P(TdsMutatedRequest, DecodesOrRefusesCleanly) {
    std::mt19937 random(7);
    const Decoder& d = GetParam();
    ASSERT_NO_THROW(d.decode(d.sample));
    for (int i = 0; i < 20000; ++i) {
        std::string input = mutate(d.sample, random);
        try {
            d.decode(input);
        } catch (const ProtocolError&) {
        } catch (const UnsupportedRequest&) {
        } catch (const std::exception& e) {
            FAIL() << d.name << " threw " << e.what() << " for mutation " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoders, TdsMutatedRequest,
    testing::Values(Decoder{"Prelogin", encodePreloginRequest(Encryption::Off, "MSSQLServer"),
                            [](const std::string& s) { parsePrelogin(s); }},
                    Decoder{"Login7", encodeLogin7([] {
                                Login7 l;
                                l.userName = "sa";
                                l.password = "pw";
                                l.database = "db";
                                return l;
                            }()),
                            [](const std::string& s) { parseLogin7(s); }},
                    Decoder{"SqlBatch", encodeSqlBatch("select 1; select N'x'"),
                            [](const std::string& s) { parseSqlBatch(s, kTds74); }},
                    Decoder{"Rpc", sampleRpc(),
                            [](const std::string& s) { toExecuteSql(parseRpcRequest(s, kTds74)); }},
                    Decoder{"Rpc71", sampleRpc().substr(22),
                            [](const std::string& s) { parseRpcRequest(s, kTds71); }}),
    [](const auto& info) { return std::string(info.param.name); });

inline void PrintTo(const Decoder& d, std::ostream* os) {
    *os << d.name;
}
