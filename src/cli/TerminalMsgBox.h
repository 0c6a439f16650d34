#pragma once
// The runs' message boxes on a terminal. A question is answered by --yes, asked on the
// terminal (stderr, the answer read from stdin), or, for a plan, answered OK without a word.
// The modify run's statement preview is printed (--yes), asked per table, or left to the
// plan's own listing. Results go to stdout and failures to stderr, unless a JSON report
// takes stdout: then only failures and questions are written (to stderr).

#include <iosfwd>
#include <string>
#include <vector>

#include "db/runs/MsgBox.h"

namespace dsadmin::cli {

// Thrown through a run when the operator answers no to a statement preview: the run stops
// where it is, releasing what it opened. Not a std::exception, so no run catches it.
struct OperatorStopped {};

class TerminalMsgBox : public MsgBox {
  public:
    enum class Mode { Yes, Ask, Plan };

    TerminalMsgBox(Mode mode, bool json, std::istream& in, std::ostream& out, std::ostream& err)
        : mode_(mode), json_(json), in_(in), out_(out), err_(err) {}

    // Throws OperatorStopped for a "no" to a preview.
    int show(const std::string& text, const std::string& title, int style) override;

    bool cancelled() const { return cancelled_; }
    // A box that reports a failure: any box titled "错误提示", or the delete run's
    // "删除数据库错误：…". Its text is the failure as the operator reads it.
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
    bool cancelled_ = false;
    std::string failure_;
    std::vector<std::string> results_;
};

}  // namespace dsadmin::cli
