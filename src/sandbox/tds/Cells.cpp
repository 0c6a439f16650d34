#include "sandbox/tds/Cells.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace sandbox::tds {
namespace {

// Howard Hinnant's civil-from-days, for days since 1970-01-01.
void civilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr std::int64_t kDays1900To1970 = 25567;
constexpr std::int64_t kDays0001To1970 = 719162;

}  // namespace

bool isNull(const Cell& cell) {
    return std::holds_alternative<std::monostate>(cell);
}

std::int64_t cellToInt(const Cell& cell) {
    if (auto i = std::get_if<std::int64_t>(&cell)) return *i;
    if (auto d = std::get_if<double>(&cell)) return static_cast<std::int64_t>(*d);
    if (auto s = std::get_if<std::string>(&cell)) return std::strtoll(s->c_str(), nullptr, 10);
    return 0;
}

double cellToDouble(const Cell& cell) {
    if (auto d = std::get_if<double>(&cell)) return *d;
    if (auto i = std::get_if<std::int64_t>(&cell)) return static_cast<double>(*i);
    if (auto s = std::get_if<std::string>(&cell)) return std::strtod(s->c_str(), nullptr);
    return 0;
}

std::string cellToText(const Cell& cell) {
    if (auto s = std::get_if<std::string>(&cell)) return *s;
    if (auto i = std::get_if<std::int64_t>(&cell)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&cell)) {
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    if (auto t = std::get_if<DateTimeValue>(&cell)) return formatDateTime(*t);
    return {};
}

DateTimeValue cellToDateTime(const Cell& cell) {
    if (auto t = std::get_if<DateTimeValue>(&cell)) return *t;
    return {};
}

std::string formatDateTime(const DateTimeValue& v) {
    int y;
    unsigned m, d;
    civilFromDays(v.days - kDays1900To1970, y, m, d);
    // 300 ticks a second; SQL Server rounds the milliseconds to .000/.003/.007.
    std::uint64_t ms = (static_cast<std::uint64_t>(v.ticks) * 10 + 1) / 3;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u.%03u", y, m, d,
                  unsigned(ms / 3600000), unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60),
                  unsigned(ms % 1000));
    return buf;
}

std::string formatDate(std::int64_t daysSince0001) {
    int y;
    unsigned m, d;
    civilFromDays(daysSince0001 - kDays0001To1970, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", y, m, d);
    return buf;
}

}  // namespace sandbox::tds
