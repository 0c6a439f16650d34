// The window as an operator uses it against dsadmin-sandbox (sa's password Chinese): a
// hostile folder picked with "...", a typed Chinese password, a hostile table name in the
// structure file. Only the operator's clicks on the boxes are scripted.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "QtApp.h"
#include "app/frm_Main.h"
#include "support/SandboxProcess.h"
#include "support/ScriptedMsgBox.h"

namespace dsadmin {
namespace {

namespace fs = std::filesystem;

TEST(WindowOnSandbox, HostileFolderChinesePasswordAndHostileTableName) {
    testsupport::SandboxProcess::Options options;
    options.saPassword = "中文密码";
    testsupport::SandboxProcess sandbox(options);
    setenv("TDSPORT", std::to_string(sandbox.port()).c_str(), 1);
    test::QtApp();
    char pattern[] = "/tmp/dsadmin-window-XXXXXX";
    const fs::path app = mkdtemp(pattern);
    const std::string db = "Win" + std::to_string(getpid()), victim = db + "_V";
    const fs::path picked = app / ("pick') DROP DATABASE " + victim + " --");
    fs::create_directory(picked);
    std::ofstream(app / "Setup.ini") << "[DataBase]\nDSName=T\n[Setup]\nSupperUser=1\n";
    auto structure = [&](const std::string& table) {
        FILE* dsfile = popen((std::string(DSADMIN_BIN_DIR) + "/dsfile write '" +
                              (app / "T.DS").string() + "' --force")
                                 .c_str(),
                             "w");
        std::fputs(
            ("ftable\tfname\tflb\tflong\tfauto\tfindex\n" + table + "\ta\tInt\t0\t0\t0\n").c_str(),
            dsfile);
        ASSERT_EQ(pclose(dsfile), 0);
    };
    structure("Stock");

    test::ScriptedMsgBox boxes;
    frm_Main window(frm_Main::Environment{&boxes, [&] { return picked.string(); }, app});
    auto type = [](QLineEdit* box, const QString& text) {  // as an input method commits it
        box->clear();
        box->insert(text);
    };
    type(window.Text3, QStringLiteral("中文密码"));
    type(window.Text4, QString::fromStdString(victim));
    QTest::mouseClick(window.Command4, Qt::LeftButton);
    QTest::mouseClick(window.Command1, Qt::LeftButton);  // the victim, in the picked folder
    type(window.Text4, QString::fromStdString(db));
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    EXPECT_EQ(boxes.boxes().back().text, "数据库创建完成") << boxes.transcript();
    EXPECT_TRUE(fs::is_regular_file(picked / (db + "_dat.mdf")));

    structure("x' drop database " + victim + " --");
    QTest::mouseClick(window.Command2, Qt::LeftButton);
    // The quote is doubled in the structure file's query and kept in the statement, which
    // the server refuses whole: the victim stays.
    EXPECT_EQ(boxes.boxes().back().text,
              "系统错误：Unclosed quotation mark after the character string ' drop database " +
                  victim + " -- (a Int)'.")
        << boxes.transcript();

    window.Command3->setVisible(true);
    for (const std::string& name : {db, victim}) {  // both still there to be dropped
        type(window.Text4, QString::fromStdString(name));
        QTest::mouseClick(window.Command3, Qt::LeftButton);
        EXPECT_EQ(boxes.boxes().back().text, "数据库删除操作完成！") << name;
    }
    fs::remove_all(app);
}

}  // namespace
}  // namespace dsadmin
