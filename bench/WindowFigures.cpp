// The window program from process start until its first paint event and until that paint is
// done, on the offscreen platform, beside a bare Qt window of the same size and beside that
// window with one label in the window's font, interleaved.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "ChildCommand.h"
#include "Sections.h"

namespace dsadmin::bench {
namespace {

// The clock window_start prints (steady_clock is the monotonic clock).
long long monotonicNs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

struct StartTimes {
    double paintEvent = 0;  // until the window's own first paint event
    double painted = 0;     // until that first paint, the controls' included, is done
};

StartTimes startSeconds(const std::string& which, const std::string& out) {
    const long long before = monotonicNs();
    RunChecked({DSADMIN_WINDOW_START_EXE, which}, Redirects::StdoutTo(out));
    long long paintEvent = 0, painted = 0;
    std::ifstream(out) >> paintEvent >> painted;
    if (paintEvent <= before || painted < paintEvent) {
        throw std::runtime_error("window_start " + which + " printed no times");
    }
    return {static_cast<double>(paintEvent - before) / 1e9,
            static_cast<double>(painted - before) / 1e9};
}

}  // namespace

void WindowFigures(const BenchContext& c, FigureTable& table) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string out = c.work + "/window_start.out";
    startSeconds("bare", out);  // the first start pays for cold caches; not counted
    Samples ours, bare, oursPainted, barePainted, textPainted;
    // A start is a tenth of a second: many pairs cost little and steady the median.
    for (int r = 0; r < c.repeats * 7; ++r) {
        const StartTimes window = startSeconds("frm_Main", out);
        const StartTimes plain = startSeconds("bare", out);
        textPainted.seconds.push_back(startSeconds("text", out).painted);
        ours.seconds.push_back(window.paintEvent);
        bare.seconds.push_back(plain.paintEvent);
        oursPainted.seconds.push_back(window.painted);
        barePainted.seconds.push_back(plain.painted);
    }
    table.compare("window start until its first paint event (offscreen)", ours, "bare QWidget",
                  bare);
    table.compare("window start until its first paint is done (offscreen)", oursPainted,
                  "bare QWidget", barePainted);
    table.compare("window start until its first paint is done (offscreen)", oursPainted,
                  "QWidget + one Chinese label", textPainted);
}

}  // namespace dsadmin::bench
