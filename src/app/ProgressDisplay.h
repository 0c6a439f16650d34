#pragma once
// The window's side of a run's progress reports. The runs are synchronous on the window's
// thread, so while one works nothing is painted unless the run itself lets it happen: at each
// report (at most every 50 ms) this processes the pending events except the operator's input
// (mouse, keyboard), which waits until the run's next box or its end. Once the run has worked
// for `delay`, the step is shown in `label` ("正在创建第 3 个表（共 120 个）：Person").

#include <QElapsedTimer>
#include <chrono>

#include "db/runs/RunProgress.h"

class QLabel;

namespace dsadmin {

class ProgressDisplay : public RunProgress {
  public:
    // `label` (not owned) stays hidden until the first report after `delay`.
    ProgressDisplay(QLabel& label, std::chrono::milliseconds delay);
    // Hides and empties the label.
    ~ProgressDisplay() override;
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void report(const RunStep& step) override;

  private:
    QLabel& label_;
    std::chrono::milliseconds delay_;
    QElapsedTimer sinceStart_;
    QElapsedTimer sincePaint_;
};

}  // namespace dsadmin
