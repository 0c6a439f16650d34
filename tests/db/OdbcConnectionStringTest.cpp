#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/ConnectionStrings.h"
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

// The window's progress line names where "(local)" really leads: FreeTDS takes TDSPORT's
// port. A port that is no number must not stop the run here; the connection says why.
TEST(DataSource, AddressOfTheServerBoxFollowsTdsport) {
    unsetenv("TDSPORT");
    EXPECT_EQ(ServerAddressOf(" (local) "), "127.0.0.1:1433");
    setenv("TDSPORT", "2433", 1);
    EXPECT_EQ(ServerAddressOf("(local)"), "127.0.0.1:2433");
    setenv("TDSPORT", "x", 1);
    EXPECT_EQ(ServerAddressOf("db1,1600"), "db1:1600");
    unsetenv("TDSPORT");
    EXPECT_EQ(ServerAddressOf(" db1,99999 "), "db1,99999");
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

// The program's name and the encryption go to FreeTDS as its keywords; a certificate check
// needs a freetds.conf section, which then takes the place of Server and Port.
TEST(OdbcString, ClientOptionsBecomeFreetdsKeywordsOrAConfSection) {
    auto p = OleDbString::Parse("User Id =sa;pwd=x;data source=db1,1600");
    OdbcClientOptions client;
    client.applicationName = "dsadmin-cli";
    client.encryption = OdbcEncryption::Mandatory;
    client.trustServerCertificate = true;
    EXPECT_FALSE(client.checksCertificate());
    EXPECT_EQ(ToOdbcConnectionString(p, "FreeTDS", client),
              "Driver={FreeTDS};Server={db1};Port=1600;UID={sa};PWD={x};APP={dsadmin-cli};"
              "TDS_Version=7.4;ClientCharset=UTF-8;Encryption=require");

    client.trustServerCertificate = false;
    EXPECT_EQ(client.freetdsCaFile(), "system");  // mandatory checks against the machine's CAs
    EXPECT_EQ(ToOdbcConnectionString(p, "FreeTDS", client, "dsadmin"),
              "Driver={FreeTDS};Servername={dsadmin};UID={sa};PWD={x};APP={dsadmin-cli};"
              "TDS_Version=7.4;ClientCharset=UTF-8;Encryption=require");
    client.encryption = OdbcEncryption::Optional;
    client.caFile = "/etc/ca.pem";
    EXPECT_EQ(FreetdsConfText("dsadmin", ParseDataSource("db1,1600"), client),
              "[global]\n[dsadmin]\n\thost = db1\n\tport = 1600\n\tencryption = request\n"
              "\tca file = /etc/ca.pem\n\tcheck certificate hostname = yes\n");
    client.caFile = "/etc/ca.pem\n\tencryption = off";
    EXPECT_DB_ERROR(FreetdsConfText("dsadmin", ParseDataSource("db1,1600"), client),
                    "CA 证书文件名中含有换行符，无法写入 FreeTDS 的设置文件。");
    // The window's options: nothing but the name.
    OdbcClientOptions window;
    window.applicationName = "dsadmin";
    EXPECT_FALSE(window.checksCertificate());
    EXPECT_NE(ToOdbcConnectionString(p, "FreeTDS", window).find(";APP={dsadmin};TDS_Version"),
              std::string::npos);
}

// odbcinst.ini's Encryption and CAFile fill only what the program left open; a value FreeTDS
// would not know is left out rather than guessed.
TEST(OdbcString, SiteEncryptionFillsOnlyWhatTheProgramLeftOpen) {
    OdbcEncryption e = OdbcEncryption::DriverDefault;
    std::string ca;
    ApplySiteEncryption(e, ca, " Require ", " /etc/ca.pem ");
    EXPECT_EQ(e, OdbcEncryption::Mandatory);
    EXPECT_EQ(ca, "/etc/ca.pem");
    e = OdbcEncryption::Optional;
    ca = "/mine.pem";
    ApplySiteEncryption(e, ca, "off", "/etc/ca.pem");
    EXPECT_EQ(e, OdbcEncryption::Optional);
    EXPECT_EQ(ca, "/mine.pem");
    e = OdbcEncryption::DriverDefault;
    ApplySiteEncryption(e, ca, "yes", "");
    EXPECT_EQ(e, OdbcEncryption::DriverDefault);
}

}  // namespace
