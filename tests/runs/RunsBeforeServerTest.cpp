// The runs up to the point where they would contact the server: the save-path tests, Cancel,
// and database names that are refused. "(local)" points at a port where nothing listens
// (TDSPORT), so a run that went further would show a connection failure instead.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "TempFolder.h"
#include "db/DbError.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DatabaseName.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "settings/PrivateProfile.h"
#include "support/LoopbackPort.h"
#include "support/ScriptedMsgBox.h"

namespace {

using namespace dsadmin;
using runs_test::TempFolder;
using test::ScriptedMsgBox;

// Boxes as ScriptedMsgBox::transcript() writes them: "style|title|text -> answer".
const std::string kCreateOk = "1|系统提示|是否真的要创建新的数据库？ -> 1\n";
const std::string kModifyOk = "1|系统提示|是否真的要修改数据库？ -> 1\n";
const std::string kDeleteOk = "1|系统提示|是否真的要删除数据库？ -> 1\n";

class RunsBeforeServer : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("TDSPORT", std::to_string(testsupport::ClosedLoopbackPort()).c_str(), 1);
    }
    void SetUp() override { std::filesystem::create_directory(app / "data"); }

    RunInput input(ScriptedMsgBox& boxes) const {
        return {texts, app / "Setup.ini", app.path(), boxes};
    }
    bool settingsWritten() const { return std::filesystem::exists(app / "Setup.ini"); }
    std::string setting(const std::string& key) const {
        return ReadIniString(app / "Setup.ini", "DataBase", key, "<none>");
    }

    TempFolder app;
    RunFields texts{"SQL Server", "(local)", " sa ", "secret", " Sales ", app / "data"};
};

TEST_F(RunsBeforeServer, BlankSavePathIsEmptyNotInvalid) {
    ScriptedMsgBox boxes;
    texts.saveFolder = "   ";
    CreateDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(), "64|错误提示|数据库文件保存路径不能为空！ -> 1\n");
    EXPECT_FALSE(settingsWritten());
}

TEST_F(RunsBeforeServer, SavePathThatIsNoFileOrFolderIsInvalid) {
    for (const std::string& path : {app / "missing", " " + (app / "data"), app / "data/missing/",
                                    app / "d*", std::string(5000, 'x')}) {
        ScriptedMsgBox boxes;
        texts.saveFolder = path;
        CreateDatabaseRun(input(boxes));
        EXPECT_EQ(boxes.transcript(), "64|错误提示|数据库文件保存路径无效！ -> 1\n") << path;
    }
    EXPECT_FALSE(settingsWritten());
}

TEST_F(RunsBeforeServer, CancelledCreateHasWrittenTheSettingsAndContactsNoServer) {
    ScriptedMsgBox boxes({kAnswerCancel});
    CreateDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(), "1|系统提示|是否真的要创建新的数据库？ -> 2\n");
    EXPECT_EQ(setting("UserName"), "sa");
    EXPECT_EQ(setting("PassWord"), "secret");
    EXPECT_EQ(setting("DBName"), "Sales");
    EXPECT_EQ(setting("DataSource"), "(local)");
}

TEST_F(RunsBeforeServer, CancelledModifyHasWrittenTheSettingsAndContactsNoServer) {
    ScriptedMsgBox boxes({kAnswerCancel});
    texts.saveFolder = "";  // not read by the modify run
    ModifyDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(), "1|系统提示|是否真的要修改数据库？ -> 2\n");
    EXPECT_EQ(setting("DBName"), "Sales");
}

TEST_F(RunsBeforeServer, CancelledDeleteDoesNothingAtAll) {
    ScriptedMsgBox boxes({kAnswerCancel});
    DeleteDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(), "1|系统提示|是否真的要删除数据库？ -> 2\n");
    EXPECT_FALSE(settingsWritten());
}

class RefusedName : public RunsBeforeServer, public testing::WithParamInterface<std::string> {};

TEST_P(RefusedName, CreateRefusesThroughItsErrorBox) {
    ScriptedMsgBox boxes;
    texts.databaseName = " " + GetParam() + " ";
    CreateDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(),
              kCreateOk + "64|错误提示|系统错误：" +
                  InvalidDatabaseNameText(GetParam(), kMaxCreatedDatabaseNameUnits) + " -> 1\n");
    EXPECT_EQ(setting("DBName"), GetParam());  // saved before the question, as always
}

TEST_P(RefusedName, ModifyLetsTheRefusalPassToItsCaller) {
    ScriptedMsgBox boxes;
    texts.databaseName = GetParam();
    try {
        ModifyDatabaseRun(input(boxes));
        FAIL() << "no refusal";
    } catch (const DbError& e) {
        EXPECT_EQ(e.what(), InvalidDatabaseNameText(GetParam()));
    }
    EXPECT_EQ(boxes.transcript(), kModifyOk);
}

TEST_P(RefusedName, DeleteRefusesThroughItsErrorBox) {
    ScriptedMsgBox boxes;
    texts.databaseName = GetParam();
    DeleteDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(), kDeleteOk + "64|系统提示|删除数据库错误：" +
                                      InvalidDatabaseNameText(GetParam()) + " -> 1\n");
    EXPECT_FALSE(settingsWritten());
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedName,
                         testing::Values("Sales,master", "Sales drop database master",
                                         "Sales;drop database master", "Sales]", "Sa les",
                                         "1Sales"));

TEST_F(RunsBeforeServer, UnreachableServerIsReportedByEachRun) {
    ScriptedMsgBox create, remove;
    CreateDatabaseRun(input(create));
    ASSERT_EQ(create.boxes().size(), 2u);
    EXPECT_EQ(create.boxes()[1].text.rfind("系统错误：", 0), 0u) << create.boxes()[1].text;
    EXPECT_EQ(create.boxes()[1].title, "错误提示");
    DeleteDatabaseRun(input(remove));
    ASSERT_EQ(remove.boxes().size(), 2u);
    EXPECT_EQ(remove.boxes()[1].text.rfind("删除数据库错误：", 0), 0u) << remove.boxes()[1].text;
    ScriptedMsgBox modify;
    EXPECT_THROW(ModifyDatabaseRun(input(modify)), DbError);
}

}  // namespace
