#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/odbc/OdbcConnectionString.h"

using namespace dsadmin;

namespace {

struct SourceCase {
    const char* dataSource;
    const char* host;
    int port;
    const char* instance;
};

void PrintTo(const SourceCase& c, std::ostream* os) {
    *os << c.dataSource;
}

class DataSource : public testing::TestWithParam<SourceCase> {};

TEST_P(DataSource, IsReadAsSqlServerClientsReadIt) {
    const auto& c = GetParam();
    ServerAddress a = ParseDataSource(c.dataSource);
    EXPECT_EQ(a.host, c.host);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.instance, c.instance);
}

INSTANTIATE_TEST_SUITE_P(Cases, DataSource,
                         testing::Values(SourceCase{"(local)", "127.0.0.1", 1433, ""},
                                         SourceCase{"(LOCAL)", "127.0.0.1", 1433, ""},
                                         SourceCase{".", "127.0.0.1", 1433, ""},
                                         SourceCase{"localhost", "127.0.0.1", 1433, ""},
                                         SourceCase{"db1", "db1", 0, ""},
                                         SourceCase{"127.0.0.1,14330", "127.0.0.1", 14330, ""},
                                         SourceCase{" (local) , 2000 ", "127.0.0.1", 2000, ""},
                                         SourceCase{"tcp:db1,1500", "db1", 1500, ""},
                                         SourceCase{"db1\\SQLEXPRESS", "db1", 0, "SQLEXPRESS"},
                                         SourceCase{".\\SQLEXPRESS", "127.0.0.1", 0, "SQLEXPRESS"},
                                         SourceCase{"db1\\SQLEXPRESS,1600", "db1", 1600, ""}));

TEST(DataSourceErrors, BadPortIsRefused) {
    EXPECT_DB_ERROR(ParseDataSource("db1,x"),
                    "服务器名中的端口号“x”无效：应为 1 到 65535 之间的数字。");
    EXPECT_DB_ERROR(ParseDataSource("db1,70000"),
                    "服务器名中的端口号“70000”无效：应为 1 到 65535 之间的数字。");
}

TEST(DataSource, AddressAsTheMessagesNameIt) {
    EXPECT_EQ(ServerAddressText(ParseDataSource("(local)")), "127.0.0.1:1433");
    EXPECT_EQ(ServerAddressText(ParseDataSource("db1,1600")), "db1:1600");
    EXPECT_EQ(ServerAddressText(ParseDataSource("db1\\SQLEXPRESS")), "db1\\SQLEXPRESS");
    EXPECT_EQ(ServerAddressText(ParseDataSource("db1")), "db1");
}

TEST(OdbcString, EveryValueIsBraced) {
    auto p =
        OleDbString::Parse("User Id =sa;pwd='a;b}c\"';data source=(local);initial Catalog=master");
    EXPECT_EQ(ToOdbcConnectionString(p, "FreeTDS"),
              "Driver={FreeTDS};Server={127.0.0.1};Port=1433;UID={sa};PWD={a;b}c\"};"
              "Database={master};TDS_Version=7.4;ClientCharset=UTF-8");
}

TEST(OdbcString, AValueTheDriverCannotReceiveIsRefusedWithoutShowingIt) {
    auto p = OleDbString::Parse("User Id =sa;pwd='se};cret';data source=(local)");
    EXPECT_DB_ERROR(ToOdbcConnectionString(p, "FreeTDS"),
                    "密码中含有字符“};”，ODBC 驱动程序无法接收。");
}

}  // namespace
