#pragma once
// The message boxes of the window, as QMessageBox: modal, plain text, Chinese buttons.

#include <QPointer>
#include <QWidget>

#include "runs/MsgBox.h"

namespace dsadmin {

class QtMsgBox : public MsgBox {
  public:
    // `parent` (not owned; may be null) is the window the boxes are centred over.
    explicit QtMsgBox(QWidget* parent = nullptr) : parent_(parent) {}

    // The box shows look.title and look.style (its kind changes nothing here).
    // style & 0x0F: 1 gives OK and Cancel with OK the default, Escape and the close box
    // answering Cancel (2); any other value gives OK alone (Escape answers OK, 1).
    // style & 0xF0: 16 error, 32 question, 48 warning, 64 information icon; 0 no icon.
    // An empty title shows the application's title "数据库管理". The text is shown as plain text
    // (a server message holding '<' is never read as markup). The box fits the screen whatever
    // the text: a stretch that cannot wrap (a long name) loses its middle to "…", and a text
    // too tall for the screen keeps its beginning and its end with "…" between them.
    int show(const BoxLook& look, const std::string& text) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace dsadmin
