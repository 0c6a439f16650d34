#include "app/QtMsgBox.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
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
    const int answer = boxes.show(text, title, style);
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

}  // namespace
}  // namespace dsadmin
