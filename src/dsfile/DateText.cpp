#include "dsfile/DateText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/CivilDate.h"

namespace dsadmin {
namespace {

bool number(std::string_view s, std::size_t pos, std::size_t len, int& out) {
    if (pos + len > s.size()) return false;
    for (std::size_t i = pos; i < pos + len; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    std::from_chars(s.data() + pos, s.data() + pos + len, out);
    return true;
}

unsigned daysInMonth(int y, unsigned m) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

}  // namespace

std::string DateText::format(double jetDays) {
    double whole = std::trunc(jetDays);
    long long day = static_cast<long long>(whole);
    long long secs = std::llround(std::fabs(jetDays - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += jetDays < 0 ? -1 : 1;
    }
    const CivilDate date = CivilFromDays(day - kDays1899To1970);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02lld:%02lld:%02lld",
                  static_cast<int>(date.year), date.month, date.day, secs / 3600, secs / 60 % 60,
                  secs % 60);
    return buf;
}

std::optional<double> DateText::parse(std::string_view s) {
    int y, mo, d, h = 0, mi = 0, sec = 0;
    if (!number(s, 0, 4, y) || s.size() < 10 || s[4] != '-' || !number(s, 5, 2, mo) ||
        s[7] != '-' || !number(s, 8, 2, d))
        return std::nullopt;
    if (s.size() > 10) {
        if ((s[10] != ' ' && s[10] != 'T') || !number(s, 11, 2, h) || s.size() < 16 ||
            s[13] != ':' || !number(s, 14, 2, mi))
            return std::nullopt;
        if (s.size() > 16 && (s.size() != 19 || s[16] != ':' || !number(s, 17, 2, sec)))
            return std::nullopt;
    }
    if (y < 100 || mo < 1 || mo > 12 || d < 1 || d > static_cast<int>(daysInMonth(y, mo)) ||
        h > 23 || mi > 59 || sec > 59)
        return std::nullopt;
    long long day = DaysFromCivil(y, mo, d) + kDays1899To1970;
    double frac = (h * 3600 + mi * 60 + sec) / 86400.0;
    return day >= 0 ? day + frac : day - frac;
}

}  // namespace dsadmin
