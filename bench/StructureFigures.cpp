// The structure-file work of a create run: read ds and build every CREATE TABLE statement
// (dsfile script, the run's own code path), beside mdb-export printing the same table. Both
// are whole processes reading the same file. The growth from the small to the large file
// tells whether the work grows with the file (x10) or faster. Each program is started from the
// small peak-of process, so the peak sizes are the programs' own (for dsadmin the larger of
// dsfile and its reader's helper).
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "ChildCommand.h"
#include "Sections.h"
#include "StructureFile.h"

namespace dsadmin::bench {
namespace {

struct Pair {
    Samples ours, theirs;
    long oursPeakKb = 0, theirsPeakKb = 0;  // largest over the repeats
};

Pair measure(const BenchContext& c, int tables) {
    const std::string dir = c.work + "/structure" + std::to_string(tables);
    std::filesystem::create_directories(dir);
    const std::string ds = WriteStructureFile(dir, "Bench", tables, 20);
    Pair p;
    for (int r = 0; r < c.repeats; ++r) {
        long peak = 0;
        p.ours.seconds.push_back(secondsOf([&] {
            RunChecked({DsfileExe(), "script", ds}, {}, &peak);
        }));
        p.oursPeakKb = std::max(p.oursPeakKb, peak);
        p.theirs.seconds.push_back(secondsOf([&] {
            RunChecked({"mdb-export", ds, "ds"}, {}, &peak);
        }));
        p.theirsPeakKb = std::max(p.theirsPeakKb, peak);
    }
    return p;
}

std::string growth(const Samples& small, const Samples& large) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "x%.1f (min) / x%.1f (median)", large.min() / small.min(),
                  large.median() / small.median());
    return buf;
}

std::string peaks(const Pair& p) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "dsadmin %.1f MB, mdb-export %.1f MB: ratio %.2f",
                  static_cast<double>(p.oursPeakKb) / 1024.0,
                  static_cast<double>(p.theirsPeakKb) / 1024.0,
                  static_cast<double>(p.oursPeakKb) / static_cast<double>(p.theirsPeakKb));
    return buf;
}

}  // namespace

void StructureFigures(const BenchContext& c, FigureTable& table) {
    const int small = c.quick ? 200 : 2000, large = c.quick ? 2000 : 20000;
    const Pair s = measure(c, small), l = measure(c, large);
    const std::string cols = " tables x 20 columns";
    table.compare("read ds + build statements, " + std::to_string(small) + cols, s.ours,
                  "mdb-export", s.theirs);
    table.compare("read ds + build statements, " + std::to_string(large) + cols, l.ours,
                  "mdb-export", l.theirs);
    table.note("growth x10 tables, dsadmin", growth(s.ours, l.ours));
    table.note("growth x10 tables, mdb-export", growth(s.theirs, l.theirs));
    table.note("peak memory (largest process), " + std::to_string(small) + " tables", peaks(s));
    table.note("peak memory (largest process), " + std::to_string(large) + " tables", peaks(l));
}

}  // namespace dsadmin::bench
