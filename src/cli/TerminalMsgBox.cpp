#include "cli/TerminalMsgBox.h"

#include <istream>
#include <ostream>

namespace dsadmin::cli {
namespace {

const char* const kRunStatementQuestion = "执行这条语句吗？";

std::string Trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const auto first = line.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first);
}

}  // namespace

bool TerminalMsgBox::ask(const std::string& question) {
    err_ << question << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
        err_ << "\n";
        return false;
    }
    const std::string a = Trimmed(line);
    return a == "y" || a == "Y" || a == "yes" || a == "YES" || a == "是" || a == "确定";
}

int TerminalMsgBox::show(const BoxLook& look, const std::string& text) {
    switch (look.kind) {
        case BoxKind::Question:
            if (mode_ == Mode::Ask && !ask(text)) return answeredNo_ = true, kAnswerCancel;
            if (mode_ == Mode::Yes && !json_) out_ << text << " 确定（--yes）\n";
            return kAnswerOk;
        case BoxKind::Preview:
            if (mode_ == Mode::Ask) {
                err_ << text << "\n";
                if (!ask(kRunStatementQuestion)) return answeredNo_ = true, kAnswerCancel;
            } else if (mode_ == Mode::Yes && !json_) {
                out_ << text << "\n";
            }
            return kAnswerOk;
        case BoxKind::Failure:
            failure_ = text;
            err_ << text << "\n";
            return kAnswerOk;
        case BoxKind::Done:
            results_.push_back(text);
            if (!json_ && mode_ != Mode::Plan) out_ << text << "\n";
            return kAnswerOk;
    }
    return kAnswerOk;
}

}  // namespace dsadmin::cli
