#pragma once
// Conversions of engine cells to the form a column's wire type needs. The engine normally
// hands over cells that match their column; these keep a mismatch from breaking the stream.

#include <cstdint>
#include <string>

#include "sandbox/Engine.h"

namespace sandbox::tds {

bool isNull(const Cell& cell);
std::int64_t cellToInt(const Cell& cell);  // text is parsed; unparsable text gives 0
double cellToDouble(const Cell& cell);
std::string cellToText(const Cell& cell);        // datetimes as 'YYYY-MM-DD hh:mm:ss.mmm'
DateTimeValue cellToDateTime(const Cell& cell);  // non-datetimes give 1900-01-01

// 'YYYY-MM-DD hh:mm:ss.mmm' for a TDS DATETIME value (days since 1900-01-01, 1/300 s ticks).
std::string formatDateTime(const DateTimeValue& v);
// 'YYYY-MM-DD' for a day count since 0001-01-01 (the DATE/DATETIME2 encoding).
std::string formatDate(std::int64_t daysSince0001);

}  // namespace sandbox::tds
