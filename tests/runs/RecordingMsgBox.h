#pragma once
// A message box for the runs' tests: records every box and answers from a list (OK when the
// list is used up).

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "db/MsgBox.h"

namespace runs_test {

struct Box {
    std::string text;
    std::string title;
    int style = 0;
    friend bool operator==(const Box&, const Box&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Box& b) {
        return out << "{\"" << b.text << "\", \"" << b.title << "\", " << b.style << "}";
    }
};

class RecordingMsgBox : public dsadmin::MsgBox {
  public:
    explicit RecordingMsgBox(std::deque<int> answers = {}) : answers_(std::move(answers)) {}
    int show(const std::string& text, const std::string& title, int style) override {
        boxes.push_back({text, title, style});
        if (answers_.empty()) return dsadmin::kAnswerOk;
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    std::vector<Box> boxes;

  private:
    std::deque<int> answers_;
};

}  // namespace runs_test
