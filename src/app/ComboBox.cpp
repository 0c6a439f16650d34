#include "app/ComboBox.h"

#include <QLineEdit>

namespace dsadmin {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void ComboBox::setLocked(bool locked) {
    locked_ = locked;
    lineEdit()->setReadOnly(locked);
}

void ComboBox::showPopup() {
    if (!locked_) QComboBox::showPopup();
}

}  // namespace dsadmin
