#pragma once
// Jet dates as text: "YYYY-MM-DD HH:MM:SS".
//
// A Jet date is a double: whole days since 1899-12-30, the fraction the time of day. Before
// that day the whole part is negative and the fraction still counts forwards from midnight
// as a positive magnitude: -1.25 is 1899-12-29 06:00:00.

#include <optional>
#include <string>
#include <string_view>

namespace dsadmin {

class DateText {
  public:
    // "YYYY-MM-DD HH:MM:SS", rounded to the second.
    static std::string format(double jetDays);

    // Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM" and "YYYY-MM-DD HH:MM:SS" ("T" may stand for
    // the blank), years 100 to 9999. Returns nothing for any other text or an impossible
    // date or time.
    static std::optional<double> parse(std::string_view text);
};

}  // namespace dsadmin
