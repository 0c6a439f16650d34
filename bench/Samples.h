#pragma once
// Repeated timings of one thing and what the tables print of them: the minimum (the least
// disturbed run on a shared machine) and the median.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace dsadmin::bench {

struct Samples {
    std::vector<double> seconds;

    double min() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double median() const {
        std::vector<double> s = seconds;
        std::sort(s.begin(), s.end());
        const std::size_t n = s.size();
        return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
    std::size_t count() const { return seconds.size(); }
};

inline double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace dsadmin::bench
