#include "db/runs/SqlLiteral.h"

namespace dsadmin {

std::string DoubleQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace dsadmin
