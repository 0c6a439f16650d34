#pragma once
// How the window starts a run: with the wait cursor while the run works (an ordinary arrow
// over each of its message boxes), and with every failure that leaves the run caught here,
// shown as "系统错误：" + its description ("错误提示", 64). The window stays open with its
// boxes as they were; no exception leaves the click handler.

#include "runs/RunInput.h"

namespace dsadmin {

using Run = void (*)(const RunInput&);

// Runs `run` on `input`; never throws. The cursor is restored on every way out.
void RunFromWindow(Run run, const RunInput& input) noexcept;

}  // namespace dsadmin
