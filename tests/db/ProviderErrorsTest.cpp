// Failures that need no server: unknown providers, closed objects, a server nobody serves.
#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/Recordset.h"

using namespace dsadmin;

TEST(Connection, StartsClosedAndRefusesWorkUntilOpen) {
    Connection cn;
    EXPECT_EQ(cn.State(), kStateClosed);
    const char* closed = "Operation is not allowed when the object is closed.";
    EXPECT_DB_ERROR(cn.Execute("select 1"), closed);
    EXPECT_DB_ERROR(cn.DefaultDatabase("x"), closed);
    EXPECT_DB_ERROR(cn.Close(), closed);
    Recordset rs;
    EXPECT_EQ(rs.State(), kStateClosed);
    EXPECT_DB_ERROR(rs.Open("select 1", cn, kOpenKeyset, kLockReadOnly),
                    "The connection cannot be used to perform this operation. It is either "
                    "closed or invalid in this context.");
    EXPECT_DB_ERROR(rs.Eof(), closed);
}

TEST(Connection, UnknownOrMissingProviderIsNamed) {
    Connection cn;
    cn.Provider("MSDASQL");
    cn.ConnectionString("Data Source=x");
    EXPECT_DB_ERROR(cn.Open(),
                    "Provider 'MSDASQL' cannot be found. It may not be properly installed.");
    Connection none;
    EXPECT_DB_ERROR(none.Open("Data Source=x"), "No provider was named for the connection.");
    EXPECT_EQ(none.State(), kStateClosed);
}

TEST(SqlOleDb, UnreachableServerFailsWithoutThePassword) {
    Connection cn;
    cn.Provider(kServerProvider);
    // Port 1 on loopback: nothing listens there.
    cn.ConnectionString(ServerConnectionString("sa", "Pw;Leak\"9", "127.0.0.1,1"));
    try {
        cn.Open();
        FAIL() << "opened a server that does not exist";
    } catch (const DbError& e) {
        std::string all = e.what();
        for (const auto& m : e.messages()) all += "\n" + m.text;
        EXPECT_STREQ(e.what(),
                     "Unable to connect: Adaptive Server is unavailable or does not exist");
        EXPECT_EQ(all.find("Pw;Leak"), std::string::npos) << all;
        EXPECT_EQ(all.find("[FreeTDS]"), std::string::npos) << all;
    }
    EXPECT_EQ(cn.State(), kStateClosed);
}
