#pragma once
// Message boxes for tests: every box is recorded (text, title, style, the answer given and the
// box's kind),
// and answers come from a queue the test fills.
//
// When the queue is empty a box is answered OK (1) and the test goes on: most boxes are results
// with only an OK button. A test that must fail on an unexpected box checks boxes() or
// unusedAnswers(), or builds the box with failWhenEmpty().

#include <deque>
#include <string>
#include <vector>

#include "runs/MsgBox.h"

namespace dsadmin::test {

class ScriptedMsgBox : public MsgBox {
  public:
    struct Box {
        std::string text;
        std::string title;
        int style = 0;
        int answer = 0;
        BoxKind kind = BoxKind::Done;
        friend bool operator==(const Box&, const Box&) = default;
    };

    // Answers given in order, each kAnswerOk (1) or kAnswerCancel (2).
    explicit ScriptedMsgBox(std::vector<int> answers = {});
    // A box shown with the queue empty then fails the current test (ADD_FAILURE) and answers
    // Cancel, which ends a run at any question.
    static ScriptedMsgBox failWhenEmpty(std::vector<int> answers = {});

    // Queues one more answer.
    void answer(int answer) { answers_.push_back(answer); }

    int show(const BoxLook& look, const std::string& text) override;

    const std::vector<Box>& boxes() const { return boxes_; }
    std::size_t unusedAnswers() const { return answers_.size(); }
    // One line per box, "style|title|text -> answer", for comparing with a golden file.
    std::string transcript() const;

  private:
    std::deque<int> answers_;
    std::vector<Box> boxes_;
    bool failWhenEmpty_ = false;
};

}  // namespace dsadmin::test
