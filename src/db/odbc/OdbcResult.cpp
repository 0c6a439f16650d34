#include "db/odbc/OdbcResult.h"

#include <sqlext.h>

#include <cmath>
#include <string>

#include "db/odbc/OdbcText.h"

namespace dsadmin {
namespace {

enum class Kind { Integer, Bit, Float, Decimal, DateTime, Text };

Kind kindOf(SQLSMALLINT type) {
    switch (type) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return Kind::Integer;
        case SQL_BIT:
            return Kind::Bit;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return Kind::Float;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return Kind::Decimal;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_TYPE_TIME:
            return Kind::DateTime;
        default:
            return Kind::Text;
    }
}

// Days since 1899-12-30 of a civil date (Howard Hinnant's days-from-civil algorithm).
double daysOf(const SQL_TIMESTAMP_STRUCT& t) {
    long long y = t.year - (t.month <= 2 ? 1 : 0);
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long mp = t.month > 2 ? t.month - 3 : t.month + 9;
    long long doy = (153 * mp + 2) / 5 + t.day - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long long unixDays = era * 146097 + doe - 719468;
    double secs = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.fraction / 1e9;
    return static_cast<double>(unixDays + 25569) + secs / 86400.0;
}

// Reads a character column as UTF-16 in pieces until the driver has given all of it; a
// surrogate pair split between two pieces is joined before the text is decoded.
bool readText(SQLHSTMT stmt, SQLUSMALLINT col, Value& out) {
    SqlWideString text;
    SQLWCHAR buf[2048];
    constexpr std::size_t kUnits = sizeof buf / sizeof buf[0] - 1;  // one for the terminator
    for (;;) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt, col, SQL_C_WCHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) return false;
        if (ind == SQL_NULL_DATA) {
            out = Value();
            return true;
        }
        const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                          (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf));
        text.append(buf, more ? kUnits : static_cast<std::size_t>(ind) / sizeof(SQLWCHAR));
        if (!more) break;
    }
    out = Value(FromSqlWide(text.data(), text.size()));
    return true;
}

bool readCell(SQLHSTMT stmt, SQLUSMALLINT col, Kind kind, Value& out) {
    SQLLEN ind = 0;
    SQLRETURN rc = SQL_SUCCESS;
    switch (kind) {
        case Kind::Integer:
        case Kind::Bit: {
            SQLBIGINT v = 0;
            rc = SQLGetData(stmt, col, SQL_C_SBIGINT, &v, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA)
                out = kind == Kind::Bit ? Value(v != 0) : Value(std::int64_t{v});
            break;
        }
        case Kind::Float:
        case Kind::Decimal: {
            double v = 0;
            rc = SQLGetData(stmt, col, SQL_C_DOUBLE, &v, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA)
                out = (kind == Kind::Decimal && std::trunc(v) == v && std::fabs(v) < 9e15)
                          ? Value(static_cast<std::int64_t>(v))
                          : Value(v);
            break;
        }
        case Kind::DateTime: {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(stmt, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) out = Value(Date{daysOf(t)});
            break;
        }
        case Kind::Text:
            return readText(stmt, col, out);
    }
    if (!SQL_SUCCEEDED(rc)) return false;
    if (ind == SQL_NULL_DATA) out = Value();
    return true;
}

}  // namespace

bool FetchRows(SQLHSTMT stmt, RowSet& out) {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &count))) return false;
    std::vector<Kind> kinds;
    for (SQLUSMALLINT c = 1; c <= count; ++c) {
        SQLWCHAR name[512] = {};  // a column name has at most 128 units
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(
                SQLDescribeColW(stmt, c, name, 511, &nameLen, &type, &size, &digits, &nullable)))
            return false;
        out.columns.push_back(FromSqlWide(name, SqlWideLength(name, 511)));
        kinds.push_back(kindOf(type));
    }
    for (;;) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) return false;
        std::vector<Value> row(kinds.size());
        for (SQLUSMALLINT c = 1; c <= count; ++c)
            if (!readCell(stmt, c, kinds[c - 1], row[c - 1])) return false;
        out.rows.push_back(std::move(row));
    }
}

}  // namespace dsadmin
