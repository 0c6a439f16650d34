#pragma once
// Day numbers and calendar dates in the proleptic Gregorian calendar (Howard Hinnant's
// days-from-civil and civil-from-days algorithms), exact for every day a 64-bit count holds.

#include <cstdint>

namespace dsadmin {

struct CivilDate {
    std::int64_t year = 1970;
    unsigned month = 1;  // 1 to 12
    unsigned day = 1;    // 1 to 31
};

// Days between 1899-12-30 (day 0 of Jet, OLE and ODBC dates) and 1970-01-01.
inline constexpr std::int64_t kDays1899To1970 = 25569;

// The date `days` days after 1970-01-01 (before it when negative).
CivilDate CivilFromDays(std::int64_t days);

// The days from 1970-01-01 to year-month-day (negative before it). month is 1 to 12; a day
// beyond the end of its month counts on into the next, day 0 is the month's day before.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);

}  // namespace dsadmin
