#pragma once
// Stands between a run and its message boxes: when the operator answers the run's question
// with OK (a plan's is answered silently), it calls `go` before the run goes on to its first
// statement; dsadmin-cli takes its lock and makes its checks there. It also keeps the text of
// the last statement preview shown, so that a "no" to it can be reported as declined.

#include <functional>
#include <string>

#include "db/runs/MsgBox.h"

namespace dsadmin::cli {

// Thrown by `go` to end the run before its first change. Not a std::exception, so no run
// catches it and turns it into an error box.
struct GateClosed {};

class RunGate : public MsgBox {
  public:
    RunGate(MsgBox& boxes, std::function<void()> go) : boxes_(boxes), go_(std::move(go)) {}

    int show(const std::string& text, const std::string& title, int style) override {
        if (style == kOkOnly) lastPreview_ = text;
        const int answer = boxes_.show(text, title, style);
        if (style == kOkCancel && answer == kAnswerOk && !opened_) {
            opened_ = true;
            go_();
        }
        return answer;
    }

    const std::string& lastPreview() const { return lastPreview_; }

  private:
    MsgBox& boxes_;
    std::function<void()> go_;
    bool opened_ = false;
    std::string lastPreview_;
};

}  // namespace dsadmin::cli
