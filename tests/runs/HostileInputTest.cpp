// The runs against dsadmin-sandbox with input that must stay data: quotes in the save folder
// and in table names, names and passwords outside ASCII, names at the server's length limits,
// and a server that goes away in the middle of a run.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ServerFixture.h"
#include "db/DbError.h"
#include "db/odbc/OdbcDiagnostics.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DatabaseName.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"

namespace runs_test {
namespace {

using namespace dsadmin;
using test::ScriptedMsgBox;
namespace fs = std::filesystem;

const char* const kCreateDone =
    "1|系统提示|是否真的要创建新的数据库？ -> 1\n64|系统提示|数据库创建完成 -> 1\n";

class HostileInput : public ServerFixture {
  protected:
    void SetUp() override {
        ServerFixture::SetUp();
        victim = db + "_V";
        dropIfExists(victim);
        admin().Execute("CREATE DATABASE " + victim);
    }
    void TearDown() override {
        dropIfExists(victim);
        ServerFixture::TearDown();
    }
    std::string victim;  // a database that a statement hidden in the input would drop
};

TEST_F(HostileInput, QuotesInTheSaveFolderStayInTheDataFilePath) {
    SANDBOX_ONLY();
    writeStructure("Stock\tQty\tInt\t0\t0\t0\n");
    for (const std::string& folder :
         {std::string("it's"), "pick') DROP DATABASE " + victim + " --"}) {
        SCOPED_TRACE(folder);
        fs::create_directory(app / folder);
        texts.saveFolder = app / folder;
        ScriptedMsgBox boxes;
        CreateDatabaseRun(input(boxes));
        EXPECT_EQ(boxes.transcript(), kCreateDone);
        EXPECT_TRUE(fs::is_regular_file(app / (folder + "/" + db + "_dat.mdf")));
        EXPECT_EQ(tables(db), std::vector<std::string>{"dbo.Stock"});
        EXPECT_TRUE(databaseExists(victim));
        dropIfExists(db);
    }
    EXPECT_FALSE(fs::exists(app / "pick"));
    EXPECT_EQ(refusals(), "");
}

TEST_F(HostileInput, HostileTableNameReachesTheServerOnlyInItsOwnStatement) {
    const std::string table = "x' drop database " + victim + " --";
    writeStructure(table + "\ta\tInt\t0\t0\t0\n");
    admin().Execute("CREATE DATABASE " + db);
    ScriptedMsgBox boxes;
    // The look-up finds nothing and drops nothing; the structure file finds the table's rows
    // (the quote doubled in its query), and the CREATE TABLE goes as written: the server
    // refuses the unclosed quote and runs none of it.
    try {
        ModifyDatabaseRun(input(boxes));
        ADD_FAILURE() << "no failure";
    } catch (const DbError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unclosed quotation mark after the character string ' drop database " + victim +
                      " -- (a Int)'.");
    }
    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text, "CREATE TABLE " + table + " (a Int)");
    EXPECT_TRUE(databaseExists(victim));
    EXPECT_EQ(tables(db), std::vector<std::string>{});
}

TEST_F(HostileInput, QuoteInATableNameIsTheServersToJudge) {
    // Written in brackets the name is one the server takes; bare, the server refuses it.
    writeStructure("[O'Brien]\ta\tInt\t0\t0\t0\nStock\tQty\tInt\t0\t0\t0\n");
    ScriptedMsgBox made;
    CreateDatabaseRun(input(made));
    EXPECT_EQ(made.transcript(), kCreateDone);
    EXPECT_EQ(tables(db), (std::vector<std::string>{"dbo.O'Brien", "dbo.Stock"}));
    dropIfExists(db);

    writeStructure("O'Brien\ta\tInt\t0\t0\t0\n");
    ScriptedMsgBox refused;
    CreateDatabaseRun(input(refused));
    EXPECT_EQ(refused.boxes().back().text,
              "系统错误：Unclosed quotation mark after the character string 'Brien (a Int)'.");
    EXPECT_EQ(tables(db), std::vector<std::string>{});
}

TEST_F(HostileInput, NamesUpToTheServersLimitsReachIt) {
    writeStructure("Stock\tQty\tInt\t0\t0\t0\n");
    const std::string longest = db + std::string(kMaxCreatedDatabaseNameUnits - db.size(), 'x');
    texts.databaseName = longest;
    ScriptedMsgBox create;
    CreateDatabaseRun(input(create));
    EXPECT_EQ(create.transcript(), kCreateDone);
    EXPECT_TRUE(databaseExists(longest));
    dropIfExists(longest);

    texts.databaseName = longest + "x";  // the log's name "<name>_log" would not fit
    ScriptedMsgBox refused;
    CreateDatabaseRun(input(refused));
    EXPECT_EQ(refused.boxes().back().text,
              "系统错误：" + InvalidDatabaseNameText(longest + "x", kMaxCreatedDatabaseNameUnits));
    EXPECT_FALSE(databaseExists(longest + "x"));

    // Delete takes any identifier the server takes: 128 units reach the server.
    texts.databaseName = longest + "xxxxx";
    ScriptedMsgBox remove;
    DeleteDatabaseRun(input(remove));
    EXPECT_EQ(remove.boxes().back().text,
              "删除数据库错误：Cannot drop the database '" + longest +
                  "xxxxx', because it does not exist or you do not have permission.");
}

// A sandbox whose sa password is Chinese: logins, passwords and names outside ASCII arrive
// as typed.
class ChineseServer : public ServerFixture {
  protected:
    static void SetUpTestSuite() { StartSandbox("中文密码"); }
    void SetUp() override {
        SANDBOX_ONLY();
        ServerFixture::SetUp();
    }
};

TEST_F(ChineseServer, ChinesePasswordLogsInAndAChineseDatabaseIsMadeAndDropped) {
    writeStructure("库存\t数量\tInt\t0\t0\t0\n");
    const std::string name = "中文库" + std::to_string(getpid());
    dropIfExists(name);
    texts.databaseName = name;
    ScriptedMsgBox create, remove;
    CreateDatabaseRun(input(create));
    EXPECT_EQ(create.transcript(), kCreateDone);
    EXPECT_TRUE(fs::is_regular_file(app / ("data/" + name + "_dat.mdf")));
    EXPECT_EQ(tables(name), std::vector<std::string>{"dbo.库存"});

    ScriptedMsgBox modify;  // the look-up finds the Chinese table: nothing to preview
    ModifyDatabaseRun(input(modify));
    EXPECT_EQ(modify.boxes().size(), 2u) << modify.transcript();

    DeleteDatabaseRun(input(remove));
    EXPECT_EQ(remove.boxes().back().text, "数据库删除操作完成！");
    EXPECT_FALSE(databaseExists(name));
}

TEST_F(ChineseServer, RefusalsNameTheChineseLogin) {
    texts.login = "用户";
    ScriptedMsgBox boxes;
    DeleteDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.boxes().back().text, "删除数据库错误：Login failed for user '用户'.");
    texts.login = "sa";
    texts.password = "中文";
    DeleteDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.boxes().back().text, "删除数据库错误：Login failed for user 'sa'.");
}

// Stops the server while the operator looks at a statement preview.
class StopServerAtPreview : public MsgBox {
  public:
    explicit StopServerAtPreview(testsupport::SandboxProcess& server) : server_(server) {}
    int show(const BoxLook& look, const std::string& text) override {
        if (look.kind == BoxKind::Preview) server_.stop();
        return boxes.show(look, text);
    }
    ScriptedMsgBox boxes;

  private:
    testsupport::SandboxProcess& server_;
};

TEST_F(ChineseServer, ServerGoneDuringAPreviewIsReportedAsALostConnection) {
    writeStructure("Stock\tQty\tInt\t0\t0\t0\n");
    admin().Execute("CREATE DATABASE " + db);
    StopServerAtPreview boxes(*sandbox);
    try {
        ModifyDatabaseRun(input(boxes));
        ADD_FAILURE() << "no failure";
    } catch (const DbError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(kConnectionLostText, 0), 0u) << e.what();
    }
    sandbox->restart();
    setenv("TDSPORT", std::to_string(sandbox->port()).c_str(), 1);
}

}  // namespace
}  // namespace runs_test
