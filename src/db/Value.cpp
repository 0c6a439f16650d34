#include "db/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/CivilDate.h"
#include "db/DbError.h"

namespace dsadmin {
namespace {

std::string numberText(double v) {
    // Whole numbers print without a fraction or exponent, as a length or flag is expected to.
    if (std::isfinite(v) && std::trunc(v) == v && std::fabs(v) < 1e15)
        return std::to_string(static_cast<std::int64_t>(v));
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return std::string(buf, r.ptr);
}

std::string dateText(Date d) {
    const double whole = std::floor(d.days);
    long long secs = std::llround((d.days - whole) * 86400.0);
    auto day = static_cast<std::int64_t>(whole);
    if (secs >= 86400) {
        secs -= 86400;
        ++day;
    }
    const CivilDate date = CivilFromDays(day - kDays1899To1970);
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(date.year),
                          date.month, date.day);
    if (secs != 0)
        std::snprintf(buf + n, sizeof buf - n, " %02lld:%02lld:%02lld", secs / 3600, secs / 60 % 60,
                      secs % 60);
    return buf;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string Value::text() const {
    std::string out;
    appendTo(out);
    return out;
}

void Value::appendTo(std::string& out) const {
    struct Visitor {
        std::string& out;
        void operator()(Null) const {}
        void operator()(std::int64_t v) const { out += std::to_string(v); }
        void operator()(double v) const { out += numberText(v); }
        void operator()(const std::string& v) const { out += v; }
        void operator()(bool v) const { out += v ? "True" : "False"; }
        void operator()(Date v) const { out += dateText(v); }
    };
    std::visit(Visitor{out}, v_);
}

bool Value::parseNumber(const std::string& text, double& out) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (b < e && text[b] == '+') ++b;  // from_chars takes '-' but not '+'
    if (b == e || text[b] == '+' || isBlank(text[b])) return false;
    const char* first = text.data() + b;
    const char* last = text.data() + e;
    auto r = std::from_chars(first, last, out, std::chars_format::general);
    // from_chars also reads "inf" and "nan", which are no numbers here.
    return r.ec == std::errc() && r.ptr == last && std::isfinite(out);
}

bool Value::equalsNumber(double n) const {
    struct Visitor {
        double n;
        bool operator()(Null) const { return false; }
        bool operator()(std::int64_t v) const { return static_cast<double>(v) == n; }
        bool operator()(double v) const { return v == n; }
        bool operator()(bool v) const { return (v ? -1.0 : 0.0) == n; }
        bool operator()(Date v) const { return v.days == n; }
        bool operator()(const std::string& v) const {
            double d = 0;
            if (!parseNumber(v, d)) throw DbError("类型不匹配");
            return d == n;
        }
    };
    return std::visit(Visitor{n}, v_);
}

}  // namespace dsadmin
