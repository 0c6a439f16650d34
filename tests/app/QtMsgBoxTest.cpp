#include "app/QtMsgBox.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "QtApp.h"

namespace dsadmin {
namespace {

// Shows a box and, once it is up, hands it to `act` (which must close it).
int ShowAndAct(const std::string& text, const std::string& title, int style,
               std::function<void(QMessageBox&)> act) {
    test::QtApp();
    bool acted = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        acted = true;
        act(*box);
    });
    QtMsgBox boxes;
    const int answer = boxes.show({BoxKind::Done, title.c_str(), style}, text);
    EXPECT_TRUE(acted);
    return answer;
}

void Press(QMessageBox& box, Qt::Key key) {
    QTest::keyClick(&box, key);
}

struct KeyCase {
    const char* name;
    int style;
    Qt::Key key;
    int answer;
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
};

class QtMsgBoxAnswer : public testing::TestWithParam<KeyCase> {};

TEST_P(QtMsgBoxAnswer, KeyGivesTheWindowsResult) {
    const KeyCase& c = GetParam();
    EXPECT_EQ(ShowAndAct("text", "系统提示", c.style, [&](QMessageBox& box) { Press(box, c.key); }),
              c.answer);
}

INSTANTIATE_TEST_SUITE_P(Keys, QtMsgBoxAnswer,
                         testing::Values(KeyCase{"QuestionEnterIsOk", 1, Qt::Key_Return, 1},
                                         KeyCase{"QuestionEscapeIsCancel", 1, Qt::Key_Escape, 2},
                                         KeyCase{"InformationEscapeIsOk", 64, Qt::Key_Escape, 1},
                                         KeyCase{"PlainEnterIsOk", 0, Qt::Key_Return, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QtMsgBox, QuestionHasChineseButtonsAndNoIcon) {
    ShowAndAct("确定要创建吗?", "系统提示", 1, [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("系统提示"));
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Ok));
        box.close();
    });
}

TEST(QtMsgBox, CloseBoxOfAQuestionIsCancel) {
    EXPECT_EQ(ShowAndAct("q", "系统提示", 1, [](QMessageBox& box) { box.close(); }), 2);
}

TEST(QtMsgBox, InformationHasItsIconAndEmptyTitleGivesTheApplicationsTitle) {
    ShowAndAct("<b>not markup</b>", "", 64, [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("数据库管理"));
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.button(QMessageBox::Cancel), nullptr);
        box.close();
    });
}

// Every box fits a 1024x768 screen (and the screen it is on): an over-long unbroken name loses
// its middle, long text wraps, and what stays shows the beginning and the end.
TEST(QtMsgBox, BoxFitsTheScreenWhateverTheText) {
    const std::string name = "A" + std::string(598, 'x') + "Z";
    const std::string refusal = "系统错误：数据库名“" + name + "”无效：最长 123 个字符。";
    std::string many;
    for (int i = 0; i < 400; ++i) many += "The server closed the connection. 连接已断开。\n";
    for (const std::string& text : {refusal, many}) {
        ShowAndAct(text, "错误提示", 64, [&](QMessageBox& box) {
            const QRect screen = box.screen()->availableGeometry();
            const QRect frame = box.frameGeometry();
            EXPECT_LE(frame.width(), std::min(1024, screen.width())) << text.substr(0, 40);
            EXPECT_LE(frame.height(), std::min(768, screen.height())) << text.substr(0, 40);
            EXPECT_TRUE(screen.contains(frame));
            const QString shown = box.text();
            EXPECT_TRUE(shown.startsWith(QString::fromStdString(text.substr(0, 40))));
            EXPECT_TRUE(shown.endsWith(QString::fromStdString(text.substr(text.size() - 20))));
            box.close();
        });
    }
}

}  // namespace
}  // namespace dsadmin
