#pragma once
// The window program as main() runs it, also for the start-up bench.

#include <functional>

class QWidget;

namespace dsadmin {

// The command line (HandleCommandLine), the application set-up, then frm_Main until it is
// closed; returns the exit status. `beforeShow`, when set, sees the window just before it is
// first shown (the bench watches its first paint through it).
int RunWindowProgram(int argc, char* argv[], const std::function<void(QWidget&)>& beforeShow = {});

}  // namespace dsadmin
