#include "app/RunDispatch.h"

#include <QApplication>
#include <exception>

namespace dsadmin {
namespace {

class OverrideCursor {
  public:
    explicit OverrideCursor(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

// The operator answers a box with the usual pointer, not the hourglass of the run behind it.
class ArrowOverBoxes : public MsgBox {
  public:
    explicit ArrowOverBoxes(MsgBox& inner) : inner_(inner) {}
    int show(const BoxLook& look, const std::string& text) override {
        OverrideCursor arrow(Qt::ArrowCursor);
        return inner_.show(look, text);
    }

  private:
    MsgBox& inner_;
};

void ShowFailure(MsgBox& boxes, const std::string& description) {
    boxes.show(kFailureBox, kSystemErrorPrefix + description);
}

}  // namespace

void RunFromWindow(Run run, const RunInput& input) noexcept {
    try {
        try {
            OverrideCursor wait(Qt::WaitCursor);
            ArrowOverBoxes boxes(input.msgBox);
            RunInput over = input;  // everything the caller set, the boxes under the arrow
            over.msgBox = boxes;
            run(over);
        } catch (const std::exception& e) {
            ShowFailure(input.msgBox, e.what());
        } catch (...) {
            ShowFailure(input.msgBox, "未知错误");
        }
    } catch (...) {
        // Not even the error box could be shown; the window stays as it was.
    }
}

}  // namespace dsadmin
