#include <gtest/gtest.h>

#include "sandbox/tds/ByteWriter.h"
#include "sandbox/tds/Login7.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/RpcRequest.h"
#include "sandbox/tds/SqlBatch.h"
#include "sandbox/tds/TextCodec.h"

using namespace sandbox::tds;

namespace {

const std::string kColl("\x09\x04\xD0\x00\x34", 5);

// Builds RPC requests the way tedious and FreeTDS lay them out.
struct RpcBuilder {
    ByteWriter out;
    explicit RpcBuilder(std::uint16_t procId = kSpExecuteSql, const char* name = nullptr) {
        out.bytes(encodeAllHeaders());
        if (name) {
            out.usVarchar(name);
        } else {
            out.u16le(0xFFFF);
            out.u16le(procId);
        }
        out.u16le(0);
    }
    void head(const std::string& name, std::uint8_t type) {
        out.bVarchar(name);
        out.u8(0);
        out.u8(type);
    }
    RpcBuilder& nvarchar(const std::string& name, const std::string& value) {
        std::string ucs2 = utf8ToUcs2(value);
        head(name, 0xE7);
        out.u16le(static_cast<std::uint16_t>(std::max<std::size_t>(2, ucs2.size())));
        out.bytes(kColl);
        out.u16le(static_cast<std::uint16_t>(ucs2.size()));
        out.bytes(ucs2);
        return *this;
    }
    RpcBuilder& nvarcharMax(const std::string& name, const std::string& value) {
        std::string ucs2 = utf8ToUcs2(value);
        head(name, 0xE7);
        out.u16le(0xFFFF);
        out.bytes(kColl);
        out.u64le(ucs2.size());
        out.u32le(3);  // split into chunks of 3 and the rest
        out.bytes(ucs2.substr(0, 3));
        out.u32le(static_cast<std::uint32_t>(ucs2.size() - 3));
        out.bytes(ucs2.substr(3));
        out.u32le(0);
        return *this;
    }
    RpcBuilder& ntext(const std::string& name, const std::string& value) {
        std::string ucs2 = utf8ToUcs2(value);
        head(name, 0x63);
        out.u32le(0x7FFFFFFF);
        out.bytes(kColl);
        out.u32le(static_cast<std::uint32_t>(ucs2.size()));
        out.bytes(ucs2);
        return *this;
    }
    RpcBuilder& intn(const std::string& name, int width, std::int64_t value, bool null = false) {
        head(name, 0x26);
        out.u8(static_cast<std::uint8_t>(width));
        out.u8(null ? 0 : static_cast<std::uint8_t>(width));
        if (!null)
            for (int i = 0; i < width; ++i) out.u8(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    RpcBuilder& raw(const std::string& name, std::uint8_t type, const std::string& rest) {
        head(name, type);
        out.bytes(rest);
        return *this;
    }
    std::string take() { return out.take(); }
};

template <class T>
T as(const ParamValue& v) {
    return std::get<T>(v);
}

}  // namespace

TEST(TdsRpcRequest, SpExecuteSqlWithIntAndNVarCharParameters) {
    std::string payload = RpcBuilder()
                              .nvarchar("@statement", "select * from t where id = @id and n = @n")
                              .nvarchar("@params", "@id int,@n nvarchar(50)")
                              .intn("@id", 4, -42)
                              .nvarchar("@n", "名字")
                              .take();
    RpcRequest r = parseRpcRequest(payload, kTds74);
    EXPECT_TRUE(r.isExecuteSql());
    ExecuteSqlCall call = toExecuteSql(r);
    EXPECT_EQ(call.sql, "select * from t where id = @id and n = @n");
    ASSERT_EQ(call.params.size(), 2u);
    EXPECT_EQ(call.params[0].name, "@id");
    EXPECT_EQ(std::get<std::int64_t>(call.params[0].value), -42);
    EXPECT_EQ(call.params[1].name, "@n");
    EXPECT_EQ(std::get<std::string>(call.params[1].value), "名字");
}

TEST(TdsRpcRequest, FreeTdsStyleNTextStatementWithUnnamedValues) {
    std::string payload = RpcBuilder()
                              .ntext("", "insert into t values (@P1, @P2)")
                              .ntext("", "@P1 decimal(10,2),@P2 bigint")
                              .raw("", 0x6C, std::string("\x05\x0A\x02\x05\x01\x39\x30\x00\x00", 9))
                              .intn("", 8, 1LL << 40)
                              .take();
    ExecuteSqlCall call = toExecuteSql(parseRpcRequest(payload, kTds74));
    EXPECT_EQ(call.sql, "insert into t values (@P1, @P2)");
    ASSERT_EQ(call.params.size(), 2u);
    EXPECT_EQ(call.params[0].name, "@P1");
    EXPECT_DOUBLE_EQ(std::get<double>(call.params[0].value), 123.45);
    EXPECT_EQ(call.params[1].name, "@P2");
    EXPECT_EQ(std::get<std::int64_t>(call.params[1].value), 1LL << 40);
}

TEST(TdsRpcRequest, PlpValuesNullsAndNamedProcedure) {
    std::string payload =
        RpcBuilder(0, "sp_executesql")
            .nvarcharMax("@statement", "select @a, @b")
            .nvarchar("@params", "@a int, @b varchar(10)")
            .intn("@a", 4, 0, true)
            .raw("@b", 0xA7, std::string("\x0A\x00", 2) + kColl + std::string("\x02\x00\xE9x", 4))
            .take();
    RpcRequest r = parseRpcRequest(payload, kTds74);
    EXPECT_TRUE(r.isExecuteSql());
    ExecuteSqlCall call = toExecuteSql(r);
    EXPECT_EQ(call.sql, "select @a, @b");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(call.params[0].value));
    EXPECT_EQ(std::get<std::string>(call.params[1].value), "éx");
}

struct TypedCase {
    const char* what;
    std::uint8_t type;
    std::string bytes;
    ParamValue expected;
};
class TdsTypedValue : public testing::TestWithParam<TypedCase> {};
TEST_P(TdsTypedValue, DecodesToTheEngineValue) {
    std::string payload = RpcBuilder()
                              .nvarchar("@statement", "x")
                              .raw("@v", GetParam().type, GetParam().bytes)
                              .take();
    RpcRequest r = parseRpcRequest(payload, kTds74);
    ASSERT_EQ(r.params.size(), 2u);
    EXPECT_EQ(r.params[1].value, GetParam().expected) << GetParam().what;
}
INSTANTIATE_TEST_SUITE_P(
    Types, TdsTypedValue,
    testing::Values(
        TypedCase{"tinyint is unsigned", 0x26, std::string("\x01\x01\xFF", 3), std::int64_t{255}},
        TypedCase{"smallint", 0x26, std::string("\x02\x02\xFE\xFF", 4), std::int64_t{-2}},
        TypedCase{"bit", 0x68, std::string("\x01\x01\x01", 3), std::int64_t{1}},
        TypedCase{"float", 0x6D, std::string("\x08\x08\x00\x00\x00\x00\x00\x00\xF8\x3F", 10), 1.5},
        TypedCase{"datetime", 0x6F, std::string("\x08\x08\xAC\x8E\x00\x00\x00\x00\x00\x00", 10),
                  std::string("2000-01-01 00:00:00.000")},
        TypedCase{"fixed int", 0x38, std::string("\x07\x00\x00\x00", 4), std::int64_t{7}},
        TypedCase{"null type", 0x1F, "", std::monostate{}},
        TypedCase{"nvarchar null", 0xE7, std::string("\x08\x00", 2) + kColl + "\xFF\xFF",
                  std::monostate{}},
        TypedCase{"date", 0x28, std::string("\x03\x07\x24\x0B", 4), std::string("2000-01-01")},
        TypedCase{"datetime2(0)", 0x2A, std::string("\x00\x06\x10\x0E\x00\x07\x24\x0B", 8),
                  std::string("2000-01-01 01:00:00.000")}));

TEST(TdsRpcRequest, UnsupportedTypesAndProceduresAreRefusedPolitely) {
    std::string binary = RpcBuilder()
                             .nvarchar("@statement", "x")
                             .raw("@b", 0xA5, std::string("\x02\x00\x01\x00\x01", 5))
                             .take();
    EXPECT_THROW(parseRpcRequest(binary, kTds74), UnsupportedRequest);
    RpcRequest prepare = parseRpcRequest(RpcBuilder(kSpPrepExec).take(), kTds74);
    EXPECT_FALSE(prepare.isExecuteSql());
    EXPECT_EQ(prepare.displayName(), "sp_prepexec");
    EXPECT_EQ(parseRpcRequest(RpcBuilder(0, "SP_EXECUTE").take(), kTds74).wellKnownId(),
              kSpExecute);
    EXPECT_EQ(parseRpcRequest(RpcBuilder(0, "master..sp_prepexec").take(), kTds74).wellKnownId(),
              kSpPrepExec);
    EXPECT_EQ(parseRpcRequest(RpcBuilder(0, "sp_tables").take(), kTds74).wellKnownId(), 0);
    EXPECT_THROW(toExecuteSql(parseRpcRequest(RpcBuilder().intn("@x", 4, 1).take(), kTds74)),
                 UnsupportedRequest);
}

TEST(TdsRpcRequest, TruncatedAndLyingValuesAreProtocolErrors) {
    std::string good = RpcBuilder().nvarchar("@statement", "select 1").take();
    for (std::size_t cut = 24; cut < good.size(); cut += 3)
        EXPECT_ANY_THROW(parseRpcRequest(good.substr(0, cut), kTds74)) << cut;
    std::string lying =
        RpcBuilder()
            .raw("@v", 0x26, std::string("\x04\x08\x01\x02\x03\x04\x05\x06\x07\x08", 10))
            .take();
    EXPECT_THROW(parseRpcRequest(lying, kTds74), ProtocolError);
}

struct DeclCase {
    const char* declaration;
    std::vector<std::string> names;
};
class TdsDeclaredParams : public testing::TestWithParam<DeclCase> {};
TEST_P(TdsDeclaredParams, NamesInOrder) {
    EXPECT_EQ(declaredParamNames(GetParam().declaration), GetParam().names);
}
INSTANTIATE_TEST_SUITE_P(Declarations, TdsDeclaredParams,
                         testing::Values(DeclCase{"", {}}, DeclCase{"@P1 int", {"@P1"}},
                                         DeclCase{
                                             "@a decimal(10,2), @b nvarchar(max) OUTPUT,@c int",
                                             {"@a", "@b", "@c"}},
                                         DeclCase{"@名 int", {"@名"}}));
