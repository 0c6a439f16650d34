#include "app/frm_Main.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "QtApp.h"
#include "app/AppSetup.h"
#include "app/ComboBox.h"
#include "settings/DBSet.h"
#include "settings/Gbk.h"
#include "support/ScriptedMsgBox.h"

namespace dsadmin {
namespace {

class Window : public testing::Test {
  protected:
    void SetUp() override {
        test::QtApp();
        char pattern[] = "/tmp/dsadmin-app-XXXXXX";
        folder = mkdtemp(pattern);
    }
    void TearDown() override {
        window.reset();
        std::filesystem::remove_all(folder);
    }
    void writeSetup(const std::string& text) {
        std::ofstream(folder + "/Setup.ini", std::ios::binary) << text;
    }
    frm_Main& open() {
        window = std::make_unique<frm_Main>(
            frm_Main::Environment{&boxes, [this] { return nextFolder; }, folder});
        return *window;
    }

    std::string folder;
    test::ScriptedMsgBox boxes;
    std::string nextFolder;
    std::unique_ptr<frm_Main> window;
};

struct Place {
    const char* name;
    QRect geometry;
    friend void PrintTo(const Place& p, std::ostream* os) { *os << p.name; }
};

class WindowGeometry : public Window, public testing::WithParamInterface<Place> {};

// Pixels at 96 dpi; controls in Frame1 relative to the frame.
TEST_P(WindowGeometry, ControlSitsWhereTheLayoutPutsIt) {
    frm_Main& w = open();
    auto* control = w.findChild<QWidget*>(QString::fromLatin1(GetParam().name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), GetParam().geometry);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, WindowGeometry,
    testing::Values(Place{"Frame1", {0, 0, 409, 233}}, Place{"Command3", {96, 232, 97, 33}},
                    Place{"Command1", {192, 232, 97, 33}}, Place{"Command2", {288, 232, 113, 33}},
                    Place{"Label1_0", {48, 32, 121, 25}}, Place{"Combo1", {144, 24, 217, 22}},
                    Place{"Label1_1", {48, 64, 121, 25}}, Place{"Text1", {144, 56, 217, 21}},
                    Place{"Label1_4", {48, 96, 121, 25}}, Place{"Text4", {144, 88, 217, 21}},
                    Place{"Label1_5", {48, 128, 121, 25}}, Place{"Text5", {144, 120, 217, 21}},
                    Place{"Command4", {360, 120, 33, 21}}, Place{"Label1_2", {48, 160, 121, 25}},
                    Place{"Text2", {144, 152, 217, 21}}, Place{"Label1_3", {48, 192, 121, 25}},
                    Place{"Text3", {144, 184, 217, 21}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Window, CaptionsBorderAndFont) {
    frm_Main& w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("数据库管理"));
    EXPECT_EQ(w.size(), QSize(408, 269));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w.Frame1->title(), QStringLiteral("数据库信息:"));
    const QStringList labels{
        "数据库类型:", "服务器名:", "登陆账号:", "登陆密码:", "数据库名:", "保存路径:"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(w.Label1[i]->text(), labels[i]) << i;
    EXPECT_EQ(w.Command1->text(), QStringLiteral("创建新数据库"));
    EXPECT_EQ(w.Command2->text(), QStringLiteral("修改现有库结构"));
    EXPECT_EQ(w.Command3->text(), QStringLiteral("删除数据库"));
    EXPECT_EQ(w.Command4->text(), QStringLiteral("..."));
    for (int size : {16, 24, 32, 48}) {
        EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(size, size))) << size;
    }
    const QFontInfo font(w.Text2->font());
    EXPECT_EQ(font.family(), QString::fromLatin1(kSongTiFace));
    EXPECT_DOUBLE_EQ(w.Text2->font().pointSizeF(), 10.5);
}

// main.cpp's start sequence on a platform without an X connection (offscreen, Wayland):
// SkipTaskbar used to hand xcb a null connection and crash the program at start.
TEST_F(Window, StartsAsMainDoesWithoutAnXConnection) {
    frm_Main& w = open();
    SkipTaskbar(w);
    w.show();
    EXPECT_TRUE(w.isVisible());
}

TEST_F(Window, NoSettingsFileShowsTheDefaultsAndWritesNothing) {
    frm_Main& w = open();
    EXPECT_EQ(w.SetupPath(), folder + "/Setup.ini");
    const RunFields texts = w.runFields();
    EXPECT_EQ(texts.databaseType, "SQL Server");
    EXPECT_EQ(texts.server, "(local)");
    EXPECT_EQ(texts.login, "sa");
    EXPECT_EQ(texts.password, "");
    EXPECT_EQ(texts.databaseName, "VK4812");
    EXPECT_EQ(texts.saveFolder, "");
    EXPECT_TRUE(w.Command3->isHidden());
    window->close();
    window.reset();
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(Window, SuperUserSeesTheDeleteButtonAndStoredValuesFillTheBoxes) {
    writeSetup(
        Utf8ToGbk("[DataBase]\nUserName= admin \nPassWord=pw\nDBName=销售\n"
                  "[Setup]\nSupperUser=1\n"));
    frm_Main& w = open();
    EXPECT_FALSE(w.Command3->isHidden());
    EXPECT_EQ(w.Text2->text(), QStringLiteral("admin"));
    EXPECT_EQ(w.Text3->text(), QStringLiteral("pw"));
    EXPECT_EQ(w.Text4->text(), QStringLiteral("销售"));
}

TEST_F(Window, LocksReadOnlyButFocusableAndInputMethodOff) {
    frm_Main& w = open();
    EXPECT_TRUE(w.Combo1->isLocked());
    EXPECT_TRUE(w.Combo1->lineEdit()->isReadOnly());
    EXPECT_EQ(w.Combo1->count(), 0);
    for (QLineEdit* locked : {w.Text1, w.Text5}) {
        EXPECT_TRUE(locked->isReadOnly()) << locked->objectName().toStdString();
        EXPECT_TRUE(locked->focusPolicy() & Qt::TabFocus);
    }
    for (QLineEdit* open : {w.Text2, w.Text3, w.Text4}) EXPECT_FALSE(open->isReadOnly());
    for (QWidget* control : w.findChildren<QWidget*>()) EXPECT_TRUE(control->isEnabled());
    EXPECT_EQ(w.Text3->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.Text3->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, w.Text3),
              '*');
    for (QLineEdit* box : {w.Text2, w.Text3}) {
        EXPECT_FALSE(box->testAttribute(Qt::WA_InputMethodEnabled));
    }
    EXPECT_TRUE(w.Text4->testAttribute(Qt::WA_InputMethodEnabled));
    const QString tip = QStringLiteral("选择数据库文件的保存止录。");
    EXPECT_EQ(w.Text5->toolTip(), tip);
    EXPECT_EQ(w.Command4->toolTip(), tip);

    w.show();
    QTest::keyClicks(w.Text1, "x");
    QTest::keyClicks(w.Text5, "x");
    QTest::keyClicks(w.Combo1->lineEdit(), "x");
    EXPECT_EQ(w.Text1->text(), QStringLiteral("(local)"));
    EXPECT_EQ(w.Text5->text(), QString());
    EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("SQL Server"));
}

// The controls Tab visits, starting at Combo1, until it comes back.
std::vector<std::string> TabOrder(frm_Main& w) {
    w.show();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    w.Combo1->setFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 12; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) break;
        if (focus->parentWidget() == w.Combo1) focus = w.Combo1;  // its line edit
        if (!order.empty() && focus == w.Combo1) break;
        order.push_back(focus->objectName().toStdString());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return order;
}

TEST_F(Window, TabOrderSkipsTheHiddenDeleteButton) {
    const std::vector<std::string> expected{"Combo1", "Text1",    "Text2", "Text3",   "Command1",
                                            "Text4",  "Command2", "Text5", "Command4"};
    EXPECT_EQ(TabOrder(open()), expected);
}

TEST_F(Window, TabOrderWithTheDeleteButtonShown) {
    writeSetup("[Setup]\nSupperUser=1\n");
    const std::vector<std::string> expected{"Combo1", "Text1",    "Text2",    "Text3", "Command1",
                                            "Text4",  "Command2", "Command3", "Text5", "Command4"};
    EXPECT_EQ(TabOrder(open()), expected);
}

TEST_F(Window, Command4PutsThePickersResultIntoText5EvenWhenEmpty) {
    frm_Main& w = open();
    w.show();
    nextFolder = "/srv/数据";
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    EXPECT_EQ(w.Text5->text(), QStringLiteral("/srv/数据"));
    EXPECT_EQ(w.runFields().saveFolder, "/srv/数据");
    nextFolder = "";
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    EXPECT_EQ(w.Text5->text(), QString());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Window, SaveDBSetStoresTheBoxesCurrentTexts) {
    frm_Main& w = open();
    w.Text2->setText(QStringLiteral(" admin "));
    w.Text3->setText(QStringLiteral("p w"));
    w.Text4->setText(QStringLiteral("销售"));
    w.SaveDBSet();
    const LoadedDBSet stored = dsadmin::LoadDBSet(w.SetupPath());
    EXPECT_EQ(stored.login, "admin");
    EXPECT_EQ(stored.password, "p w");
    EXPECT_EQ(stored.databaseName, "销售");
}

}  // namespace
}  // namespace dsadmin
