#pragma once
// The runs' message boxes on a terminal, by their kind. A question is answered by --yes, asked
// on the terminal (stderr, the answer read from stdin), or, for a plan, answered OK without a
// word. The modify run's statement preview is printed (--yes), asked per table (a "no"
// declines it, which stops the run there), or left to the plan's own listing. Results go to
// stdout and failures to stderr, unless a JSON report takes stdout: then only failures and
// questions are written (to stderr).

#include <iosfwd>
#include <string>
#include <vector>

#include "runs/MsgBox.h"

namespace dsadmin::cli {

class TerminalMsgBox : public MsgBox {
  public:
    enum class Mode { Yes, Ask, Plan };

    TerminalMsgBox(Mode mode, bool json, std::istream& in, std::ostream& out, std::ostream& err)
        : mode_(mode), json_(json), in_(in), out_(out), err_(err) {}

    // kAnswerCancel for a "no" to a question or a preview.
    int show(const BoxLook& look, const std::string& text) override;

    // The operator answered no to a question or declined a preview.
    bool answeredNo() const { return answeredNo_; }
    // A failure box was shown; its text is the failure as the operator reads it.
    bool failed() const { return !failure_.empty(); }
    const std::string& failure() const { return failure_; }
    // The texts of the result boxes, in order.
    const std::vector<std::string>& results() const { return results_; }

    // Asks `question` with "[y/N]"; true for y, yes, 是 or 确定.
    bool ask(const std::string& question);

  private:
    Mode mode_;
    bool json_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool answeredNo_ = false;
    std::string failure_;
    std::vector<std::string> results_;
};

}  // namespace dsadmin::cli
