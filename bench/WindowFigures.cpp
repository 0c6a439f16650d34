// frm_Main from process start until first painted, on the offscreen platform, beside a bare
// Qt window of the same size started the same way, interleaved.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "ChildCommand.h"
#include "Sections.h"

namespace dsadmin::bench {
namespace {

long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double startSeconds(const std::string& which, const std::string& out) {
    const long long before = monotonicNs();
    RunChecked({DSADMIN_WINDOW_START_EXE, which}, Redirects::StdoutTo(out));
    long long shown = 0;
    std::ifstream(out) >> shown;
    if (shown <= before) throw std::runtime_error("window_start " + which + " printed no time");
    return static_cast<double>(shown - before) / 1e9;
}

}  // namespace

void WindowFigures(const BenchContext& c, FigureTable& table) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string out = c.work + "/window_start.out";
    startSeconds("bare", out);  // the first start pays for cold caches; not counted
    Samples ours, bare;
    // A start is a tenth of a second: many pairs cost little and steady the median.
    for (int r = 0; r < c.repeats * 7; ++r) {
        ours.seconds.push_back(startSeconds("frm_Main", out));
        bare.seconds.push_back(startSeconds("bare", out));
    }
    table.compare("window start until first painted (offscreen)", ours, "bare QWidget", bare);
}

}  // namespace dsadmin::bench
