#include "support/ScriptedMsgBox.h"

#include <gtest/gtest.h>

namespace dsadmin::test {

ScriptedMsgBox::ScriptedMsgBox(std::vector<int> answers)
    : answers_(answers.begin(), answers.end()) {}

ScriptedMsgBox ScriptedMsgBox::failWhenEmpty(std::vector<int> answers) {
    ScriptedMsgBox box(std::move(answers));
    box.failWhenEmpty_ = true;
    return box;
}

int ScriptedMsgBox::show(const BoxLook& look, const std::string& text) {
    int answer = kAnswerOk;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else if (failWhenEmpty_) {
        ADD_FAILURE() << "unexpected message box: " << look.title << ": " << text;
        answer = kAnswerCancel;
    }
    boxes_.push_back({text, look.title, look.style, answer, look.kind});
    return answer;
}

std::string ScriptedMsgBox::transcript() const {
    std::string out;
    for (const Box& box : boxes_) {
        out += std::to_string(box.style) + "|" + box.title + "|" + box.text + " -> " +
               std::to_string(box.answer) + "\n";
    }
    return out;
}

}  // namespace dsadmin::test
