#include "dsfile/DateText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace dsadmin {
namespace {

// Days between 1899-12-30 and 1970-01-01.
constexpr long long kEpochShift = 25569;

// Civil date from days since 1970-01-01 (proleptic Gregorian; H. Hinnant's algorithm).
void civilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

long long daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

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
    int y;
    unsigned m, d;
    civilFromDays(day - kEpochShift, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02lld:%02lld:%02lld", y, m, d, secs / 3600,
                  secs / 60 % 60, secs % 60);
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
    long long day = daysFromCivil(y, mo, d) + kEpochShift;
    double frac = (h * 3600 + mi * 60 + sec) / 86400.0;
    return day >= 0 ? day + frac : day - frac;
}

}  // namespace dsadmin
