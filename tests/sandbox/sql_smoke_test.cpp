#include "SqlEngineFixture.h"

namespace sandbox::test {

TEST_F(SqlEngineTest, ToolCreateRunEndToEnd) {
    ok("CREATE DATABASE Sales on (name=Sales_dat,FILENAME ='" + saveDir() +
       "/Sales_dat.mdf' ,maxsize=unlimited)");
    EXPECT_FALSE(session_->useDatabase("Sales").error);
    ok("CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),Code Char(4),Birth "
       "DateTime)");
    StatementResult r = ok("select * from sys.tables where name = 'Person'");
    ASSERT_EQ(r.rows->rows.size(), 1u);
    EXPECT_EQ(text(r.rows->rows[0][0]), "Person");
}

}  // namespace sandbox::test
