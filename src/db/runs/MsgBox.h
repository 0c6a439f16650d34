#pragma once
// The message boxes a run shows. The window supplies a Qt implementation; tests supply a
// scripted one that records every box and answers from a list.

#include <string>

namespace dsadmin {

// Styles are the Windows message-box flags the runs pass.
enum MsgBoxStyle : int {
    kOkOnly = 0,        // OK only, no icon; titled with the application's title
    kOkCancel = 1,      // OK and Cancel, no icon, OK the default
    kInformation = 64,  // information icon, OK only
};

// Answers are the Windows results.
enum MsgBoxResult : int {
    kAnswerOk = 1,
    kAnswerCancel = 2,  // also Escape and the close box
};

// The application's title; a box shown with an empty title carries it.
inline constexpr const char* kAppTitle = "数据库管理";

class MsgBox {
  public:
    virtual ~MsgBox() = default;
    // Shows a modal box and returns the answer (kAnswerOk or kAnswerCancel).
    virtual int show(const std::string& text, const std::string& title, int style) = 0;
};

}  // namespace dsadmin
