#pragma once
// A drop-down combo box that can be locked: it shows its text and takes the focus, but the
// operator can neither type into it nor open its list.

#include <QComboBox>

namespace dsadmin {

class ComboBox : public QComboBox {
    Q_OBJECT
  public:
    // An editable (drop-down) combo box with no list entries.
    explicit ComboBox(QWidget* parent = nullptr);

    void setLocked(bool locked);
    bool isLocked() const { return locked_; }

    void showPopup() override;

  private:
    bool locked_ = false;
};

}  // namespace dsadmin
