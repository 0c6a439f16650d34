#include "FigureTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace dsadmin::bench {
namespace {

std::string format(const char* pattern, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, v);
    return buf;
}

std::string loadAverage() {
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? format("%.1f", load[0]) : "?";
}

std::string minMedian(const Samples& s) {
    return FormatSeconds(s.min()) + " / " + FormatSeconds(s.median());
}

}  // namespace

std::string FormatSeconds(double s) {
    return s < 1 ? format("%.1f ms", s * 1000) : format("%.2f s", s);
}

void FigureTable::compare(const std::string& figure, const Samples& dsadmin,
                          const std::string& reference, const Samples& ref) {
    rows_.push_back({figure, minMedian(dsadmin), reference + " " + minMedian(ref),
                     format("%.2f", dsadmin.min() / ref.min()) + " / " +
                         format("%.2f", dsadmin.median() / ref.median()),
                     std::to_string(dsadmin.count()), loadAverage()});
    std::fprintf(stderr, "  measured: %s\n", figure.c_str());
}

void FigureTable::note(const std::string& figure, const std::string& value) {
    rows_.push_back({figure, value, "", "", "", loadAverage()});
}

void FigureTable::print() {
    const std::vector<std::string> head = {
        "figure", "dsadmin min / median", "reference min / median", "ratio min / median", "runs",
        "load"};
    std::vector<std::size_t> width(head.size());
    for (std::size_t i = 0; i < head.size(); ++i) width[i] = head[i].size();
    for (const auto& r : rows_)
        for (std::size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], r[i].size());
    auto line = [&](const std::vector<std::string>& r) {
        std::printf("|");
        for (std::size_t i = 0; i < r.size(); ++i)
            std::printf(" %-*s |", static_cast<int>(width[i]), r[i].c_str());
        std::printf("\n");
    };
    line(head);
    std::printf("|");
    for (std::size_t w : width) std::printf("%s|", std::string(w + 2, '-').c_str());
    std::printf("\n");
    for (const auto& r : rows_) line(r);
    std::fflush(stdout);
    rows_.clear();
}

}  // namespace dsadmin::bench
