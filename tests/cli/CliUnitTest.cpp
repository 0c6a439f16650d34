// dsadmin-cli's own pieces without a server: the command line's rules and the JSON text.

#include <gtest/gtest.h>

#include "cli/CliOptions.h"
#include "cli/Json.h"

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
    EXPECT_EQ(UsageMessage({"check", "--yes=s3cret"}), "未知选项：--yes");
    EXPECT_EQ(UsageMessage({"check", "--login"}), "选项 --login 缺少值");
    EXPECT_EQ(UsageMessage({"check", "--password-env", "A", "--password-stdin"}),
              "只能给出一个密码来源（--password-env、--password-file 或 --password-stdin）");
    EXPECT_EQ(UsageMessage({"plan", "delete"}), "plan 之后应为 create 或 modify");
    EXPECT_EQ(UsageMessage({"modify", "--save-folder", "/x"}),
              "--save-folder 只用于 create 和 plan create");
    EXPECT_EQ(UsageMessage({"create"}), "create 需要 --save-folder（数据库文件保存路径）");
    EXPECT_EQ(UsageMessage({"create", "--save-folder", "data"}),
              "--save-folder 应为服务器上的绝对路径（如 /var/opt/mssql/data），而不是“data”");
    for (const char* folder : {"/x", "D:\\Data", "d:/data", "\\\\host\\share"})
        EXPECT_EQ(UsageMessage({"plan", "create", "--save-folder", folder}), "(accepted)")
            << folder;
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
