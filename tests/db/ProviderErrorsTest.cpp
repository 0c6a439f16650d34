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
    const char* closed = "对象关闭时，不允许操作。";
    EXPECT_DB_ERROR(cn.Execute("select 1"), closed);
    EXPECT_DB_ERROR(cn.DefaultDatabase("x"), closed);
    EXPECT_DB_ERROR(cn.Close(), closed);
    Recordset rs;
    EXPECT_EQ(rs.State(), kStateClosed);
    EXPECT_DB_ERROR(rs.Open("select 1", cn, kOpenKeyset, kLockReadOnly),
                    "连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。");
    EXPECT_DB_ERROR(rs.Eof(), closed);
}

TEST(Connection, UnknownOrMissingProviderIsNamed) {
    Connection cn;
    cn.Provider("MSDASQL");
    cn.ConnectionString("Data Source=x");
    EXPECT_DB_ERROR(cn.Open(), "未找到提供程序“MSDASQL”。该程序可能未正确安装。");
    Connection none;
    EXPECT_DB_ERROR(none.Open("Data Source=x"), "连接没有指定提供程序。");
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
                     "无法连接到 127.0.0.1:1 上的数据库服务器：驱动程序报告“Unable to connect: "
                     "Adaptive Server is unavailable or does not exist”。");
        EXPECT_EQ(all.find("Pw;Leak"), std::string::npos) << all;
        EXPECT_EQ(all.find("[FreeTDS]"), std::string::npos) << all;
    }
    EXPECT_EQ(cn.State(), kStateClosed);
}
