#pragma once
// Stands between a run and its message boxes: when the operator answers the run's question
// with OK (a plan's is answered silently), it calls `go` before the run goes on to its first
// statement; dsadmin-cli takes its lock and makes its checks there. It also keeps the text of
// a statement preview the operator declined, to report it as declined.

#include <functional>
#include <string>

#include "runs/MsgBox.h"

namespace dsadmin::cli {

// Thrown by `go` to end the run before its first change. Not a std::exception, so no run
// catches it and turns it into an error box.
struct GateClosed {};

class RunGate : public MsgBox {
  public:
    RunGate(MsgBox& boxes, std::function<void()> go) : boxes_(boxes), go_(std::move(go)) {}

    int show(const BoxLook& look, const std::string& text) override {
        const int answer = boxes_.show(look, text);
        if (look.kind == BoxKind::Preview && answer == kAnswerCancel) declined_ = text;
        if (look.kind == BoxKind::Question && answer == kAnswerOk && !opened_) {
            opened_ = true;
            go_();
        }
        return answer;
    }

    // The statement preview the operator declined (the run stopped there), or "".
    const std::string& declined() const { return declined_; }

  private:
    MsgBox& boxes_;
    std::function<void()> go_;
    bool opened_ = false;
    std::string declined_;
};

}  // namespace dsadmin::cli
