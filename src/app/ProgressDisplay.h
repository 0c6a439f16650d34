#pragma once
// The window's side of a run's progress reports. The runs are synchronous on the window's
// thread, so while one works nothing is painted unless the run itself lets it happen: at each
// report (at most every 50 ms) this processes the pending events except the operator's input
// (mouse, keyboard), which waits until the run's next box or its end. Once the run has worked
// for `delay`, the step is shown in `label` ("正在创建第 3 个表（共 120 个）：Person").
// While one of the run's boxes is open the line is put away, since the box speaks for the run
// then ("数据库创建完成" above "正在创建第 5 个表" would contradict it); the delay starts again
// once the box is closed. While the server is waited for (connecting, or a statement that
// takes long) the run reports nothing, so waiting() keeps the window painted and shows the
// step once it is due ("正在连接 127.0.0.1:1433……" after the usual second). When the run ends
// in a failure, its account (RunAccount: how many tables were made, where it stopped, that
// "修改现有库结构" completes the database) takes the line once the error box is closed, with
// every fact in its tool tip, and stays until the next run.

#include <QElapsedTimer>
#include <chrono>
#include <optional>

#include "runs/MsgBox.h"
#include "runs/RunAccount.h"
#include "runs/RunProgress.h"

class QLabel;

namespace dsadmin {

class ProgressDisplay : public RunProgress {
  public:
    // `label` (not owned) is emptied (the last run's account goes) and stays hidden until the
    // first report after `delay`.
    ProgressDisplay(QLabel& label, std::chrono::milliseconds delay);
    // Hides and empties the label, unless it holds the account of a failed run.
    ~ProgressDisplay() override;
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void report(const RunStep& step) override;
    // For RunInput::whileWaiting: shows the last step as report() did (nothing before the
    // first), without reporting it again: a step is reported once.
    void waiting();

    // The run's boxes through `inner` (not owned), with the line put away while one is open.
    class Boxes : public MsgBox {
      public:
        Boxes(MsgBox& inner, ProgressDisplay& progress) : inner_(inner), progress_(progress) {}
        int show(const BoxLook& look, const std::string& text) override;

      private:
        MsgBox& inner_;
        ProgressDisplay& progress_;
    };

  private:
    // The step in the label once the delay has passed; lets Qt paint at most every 50 ms.
    void showStep(const RunStep& step);
    // After the run's failure box: the account in the line, when the run got far enough.
    void showAccount(const std::string& failure);

    QLabel& label_;
    std::chrono::milliseconds delay_;
    QElapsedTimer sinceStart_;
    QElapsedTimer sincePaint_;
    RunAccount account_;
    bool keepLine_ = false;  // the line holds the account
    std::optional<RunStep> last_;
};

}  // namespace dsadmin
