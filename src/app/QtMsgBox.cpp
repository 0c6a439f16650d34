#include "app/QtMsgBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace dsadmin {
namespace {

QMessageBox::Icon IconOf(int style) {
    switch (style & 0xF0) {
        case 16:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtMsgBox::show(const std::string& text, const std::string& title, int style) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(title.empty() ? std::string(kAppTitle) : title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    box.setIcon(IconOf(style));
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    ok->setText(QStringLiteral("确定"));
    QPushButton* cancel = nullptr;
    if ((style & 0x0F) == kOkCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        cancel->setText(QStringLiteral("取消"));
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return (cancel && box.clickedButton() == cancel) ? kAnswerCancel : kAnswerOk;
}

}  // namespace dsadmin
