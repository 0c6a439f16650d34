#pragma once
// The message boxes a run shows. Every box carries its kind; the table below gives each kind
// the title and style the window shows it with. The window supplies a Qt implementation,
// dsadmin-cli a terminal one that goes by the kind, and tests a scripted one that records
// every box and answers from a list.

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
// The titles the runs' boxes carry.
inline constexpr const char* kErrorTitle = "错误提示";
inline constexpr const char* kSystemTitle = "系统提示";

// What a box means to the run that shows it.
enum class BoxKind {
    Question,  // OK goes on, Cancel ends the run with nothing more done
    Preview,   // the modify run's statement before it is sent; Cancel stops the run there
    Failure,   // the failure that ends the run
    Done,      // the run's result
};

// A kind of box with the title and style it is shown with.
struct BoxLook {
    BoxKind kind;
    const char* title;  // empty: the application's title
    int style;
};

// The one table of the runs' boxes. Each kind has one look, except that the delete run
// reports its failure under the title of its question and result.
inline constexpr BoxLook kQuestionBox{BoxKind::Question, kSystemTitle, kOkCancel};
inline constexpr BoxLook kPreviewBox{BoxKind::Preview, "", kOkOnly};
inline constexpr BoxLook kFailureBox{BoxKind::Failure, kErrorTitle, kInformation};
inline constexpr BoxLook kDeleteFailureBox{BoxKind::Failure, kSystemTitle, kInformation};
inline constexpr BoxLook kDoneBox{BoxKind::Done, kSystemTitle, kInformation};

class MsgBox {
  public:
    virtual ~MsgBox() = default;
    // Shows a modal box of `look` with `text` and returns the answer (kAnswerOk or
    // kAnswerCancel; a box with OK alone may still answer Cancel where the caller can decline
    // it, as a terminal declines a preview).
    virtual int show(const BoxLook& look, const std::string& text) = 0;
};

}  // namespace dsadmin
