#include "sandbox/sql/Names.h"

#include <algorithm>

namespace sandbox::sql {

namespace {
char up(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char low(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string rtrim(const std::string& s) {
    return s.substr(0, s.find_last_not_of(' ') + 1);
}
}  // namespace

std::string upper(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), up);
    return r;
}

std::string lower(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), low);
    return r;
}

bool equalsName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && upper(a) == upper(b);
}

bool equalsText(const std::string& a, const std::string& b) {
    return compareText(a, b) == 0;
}

int compareText(const std::string& a, const std::string& b) {
    return upper(rtrim(a)).compare(upper(rtrim(b)));
}

}  // namespace sandbox::sql
