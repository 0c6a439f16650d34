#include "sandbox/tds/Cells.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "base/CivilDate.h"

namespace sandbox::tds {
namespace {

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
    const dsadmin::CivilDate date = dsadmin::CivilFromDays(v.days - kDays1900To1970);
    // 300 ticks a second; SQL Server rounds the milliseconds to .000/.003/.007.
    std::uint64_t ms = (static_cast<std::uint64_t>(v.ticks) * 10 + 1) / 3;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u.%03u",
                  static_cast<int>(date.year), date.month, date.day, unsigned(ms / 3600000),
                  unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60), unsigned(ms % 1000));
    return buf;
}

std::string formatDate(std::int64_t daysSince0001) {
    const dsadmin::CivilDate date = dsadmin::CivilFromDays(daysSince0001 - kDays0001To1970);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(date.year), date.month,
                  date.day);
    return buf;
}

}  // namespace sandbox::tds
