// dsadmin-cli's own pieces without a server: the command line's rules and the JSON text.

#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "cli/Json.h"
#include "cli/PlanChecks.h"
#include "cli/RunReport.h"
#include "db/DbError.h"

namespace {

using namespace dsadmin::cli;

CliOptions Parse(std::vector<std::string> args) {
    return CliOptions::Parse(args);
}

std::string UsageMessage(std::vector<std::string> args) {
    try {
        Parse(std::move(args));
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(CliOptions, ValuesFollowOrJoinTheirOption) {
    const CliOptions o = Parse({"plan", "modify", "--database=Sales", "--server", "db,1433",
                                "--password-file", "/run/pw", "--json"});
    EXPECT_EQ(o.command, Command::PlanModify);
    EXPECT_EQ(o.database, "Sales");
    EXPECT_EQ(o.server, "db,1433");
    EXPECT_EQ(o.passwordFrom, PasswordFrom::File);
    EXPECT_TRUE(o.json);
    EXPECT_FALSE(o.login.has_value());
    EXPECT_TRUE(Parse({"--version"}).version);

    // Options before the command count the same as after it.
    const CliOptions before = Parse({"--database", "Sales", "--json", "plan", "modify"});
    EXPECT_EQ(before.command, Command::PlanModify);
    EXPECT_EQ(before.database, "Sales");
    EXPECT_TRUE(before.json);
    EXPECT_EQ(UsageMessage({"--json"}), "缺少命令：create、modify、delete、plan 或 check");
    EXPECT_EQ(UsageMessage({"check", "modify"}).rfind("多余的参数", 0), 0u);
}

TEST(CliOptions, MistakesNeverRepeatAValue) {
    EXPECT_EQ(UsageMessage({"check", "--password=s3cret"}), "未知选项：--password");
    EXPECT_EQ(UsageMessage({"check", "s3cret"}).find("s3cret"), std::string::npos);
    EXPECT_EQ(UsageMessage({"check", "--yes=s3cret"}), "选项 --yes 不带值（写作 --yes）");
    EXPECT_EQ(UsageMessage({"check", "--json=1"}), "选项 --json 不带值（写作 --json）");
    EXPECT_EQ(UsageMessage({"check", "--password-stdin=s3cret"}),
              "选项 --password-stdin 不带值（写作 --password-stdin）");
    EXPECT_EQ(UsageMessage({"check", "--login"}), "选项 --login 缺少值");
    EXPECT_EQ(UsageMessage({"check", "--password-env", "A", "--password-stdin"}),
              "只能给出一个密码来源（--password-env、--password-file、--password-stdin 或 "
              "--password-prompt）");
    EXPECT_EQ(UsageMessage({"check", "--password-prompt", "--password-file=s3cret"}),
              "只能给出一个密码来源（--password-env、--password-file、--password-stdin 或 "
              "--password-prompt）");
    EXPECT_EQ(UsageMessage({"plan", "delete"}), "plan 之后应为 create 或 modify");
    EXPECT_EQ(UsageMessage({"modify", "--save-folder", "/x"}),
              "--save-folder 只用于 create 和 plan create");
    EXPECT_EQ(UsageMessage({"create"}), "create 需要 --save-folder（数据库文件保存路径）");
    EXPECT_EQ(UsageMessage({"create", "--save-folder", "data"}),
              "--save-folder 应为服务器上的绝对路径（如 /var/opt/mssql/data、D:\\Data 或 "
              "\\\\host\\share）");
    for (const char* folder : {"/x", "D:\\Data", "d:/data", "\\\\host\\share"})
        EXPECT_EQ(UsageMessage({"plan", "create", "--save-folder", folder}), "(accepted)")
            << folder;
}

TEST(CliOptions, LockTimeoutQuietAndVerbose) {
    EXPECT_EQ(Parse({"modify"}).lockTimeoutSeconds, 60);
    EXPECT_EQ(Parse({"modify", "--lock-timeout", "0"}).lockTimeoutSeconds, 0);
    EXPECT_EQ(Parse({"modify", "--lock-timeout=600"}).lockTimeoutSeconds, 600);
    for (const char* bad : {"-1", "1.5", "", "60s", "86401", "99999999999"})
        EXPECT_EQ(UsageMessage({"modify", "--lock-timeout", bad}),
                  "--lock-timeout 应为 0 到 86400 之间的整数秒数")
            << bad;
    EXPECT_TRUE(Parse({"check", "--quiet"}).quiet);
    EXPECT_TRUE(Parse({"check", "--verbose"}).verbose);
    EXPECT_EQ(UsageMessage({"check", "--quiet", "--verbose"}), "--quiet 与 --verbose 不能同时使用");
    EXPECT_EQ(Parse({"check", "--password-prompt"}).passwordFrom, PasswordFrom::Prompt);
}

TEST(CliOptions, ARefusedLineStillTellsWhetherJsonWasAsked) {
    CliOptions o;
    EXPECT_THROW(CliOptions::Parse({"modify", "--bogus", "--json"}, o), UsageError);
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.command, Command::Modify);
}

TEST(PlanChecks, NamesTheServerCannotTakeAsWritten) {
    EXPECT_EQ(PlanChecks::NameProblem("Person", true), "");
    EXPECT_EQ(PlanChecks::NameProblem("名称", false), "");
    EXPECT_EQ(PlanChecks::NameProblem("Qty$", false), "");
    EXPECT_EQ(PlanChecks::NameProblem("#Temp", false), "");  // a column may start with #
    EXPECT_EQ(PlanChecks::NameProblem("Order", true), "是 T-SQL 的保留字");
    EXPECT_EQ(PlanChecks::NameProblem("key", false), "是 T-SQL 的保留字");
    EXPECT_EQ(PlanChecks::NameProblem("#Temp", true), "以 # 开头，会成为临时表");
    EXPECT_EQ(PlanChecks::NameProblem("@x", false), "以 @ 开头，会被读作变量");
    for (const std::string& bad : std::vector<std::string>{"Order Detail", "1st", "a-b", "a;drop",
                                                           "", std::string(129, 'x')})
        EXPECT_EQ(PlanChecks::NameProblem(bad, true).rfind("不是普通标识符", 0), 0u) << bad;
}

TEST(RunReport, ErrorsKeepTheServersNumberApartFromTheDriversCode) {
    using dsadmin::DbError;
    const auto kind = [](const DbError& e) { return RunReport::KindOf(e); };
    const DbError unreachable("Unable to connect to data source", "08001", 20009);
    const DbError lost("连接已断开", "08S01", 20017);
    const DbError timeout("Query timeout expired", "HYT00", 20003);
    const DbError login("Login failed for user 'sa'.", "42000", 18456);
    const DbError exists("Database 'S' already exists.", "42000", 1801);
    const DbError jet("Unrecognized database format");
    EXPECT_EQ(kind(unreachable), "connect");
    EXPECT_EQ(kind(lost), "connect");
    EXPECT_EQ(kind(timeout), "timeout");
    EXPECT_EQ(kind(login), "connect");
    EXPECT_EQ(kind(exists), "server");
    EXPECT_EQ(kind(jet), "");
    EXPECT_TRUE(RunReport::LinkBroke(lost));
    EXPECT_FALSE(RunReport::LinkBroke(exists));
    EXPECT_EQ(RunReport::ErrorJson(unreachable, "connect").dump(),
              "{\n  \"kind\": \"connect\",\n  \"text\": \"Unable to connect to data source\",\n"
              "  \"number\": null,\n  \"driverCode\": 20009,\n  \"state\": 0,\n"
              "  \"sqlState\": \"08001\"\n}\n");
    const std::string server = RunReport::ErrorJson(exists, "server").dump();
    EXPECT_NE(server.find("\"number\": 1801,"), std::string::npos) << server;
    EXPECT_NE(server.find("\"driverCode\": null,"), std::string::npos) << server;
}

TEST(CliSession, ThisMachineIsLoopbackOrItsOwnName) {
    for (const char* host : {"127.0.0.1", "127.1.2.3", "localhost", "LocalHost", "::1"})
        EXPECT_TRUE(IsThisMachine(host)) << host;
    for (const char* host : {"192.0.2.55", "db.example.com", "10.0.0.1", "128.0.0.1", ""})
        EXPECT_FALSE(IsThisMachine(host)) << host;
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    EXPECT_TRUE(IsThisMachine(name));
}

TEST(Json, TextsStayValidWhateverTheirBytes) {
    Json j = Json::Object{};
    j.set("text", std::string("a\"b\\c\nd\x01 名称 \xff\xe5\x90 end"));
    j.set("list", Json::Array{}).set("n", -3).set("none", Json());
    EXPECT_EQ(j.dump(),
              "{\n  \"text\": \"a\\\"b\\\\c\\u000ad\\u0001 名称 \\ufffd\\ufffd\\ufffd end\",\n"
              "  \"list\": [],\n  \"n\": -3,\n  \"none\": null\n}\n");
}

}  // namespace
