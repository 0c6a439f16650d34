#include "dsfile/TsvCell.h"

namespace dsadmin {

std::string TsvCell::escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

bool TsvCell::unescape(std::string_view cell, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < cell.size(); ++i) {
        char c = cell[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i == cell.size()) return false;
        switch (cell[i]) {
            case '\\':
                out.push_back('\\');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            default:
                return false;
        }
    }
    return true;
}

std::vector<std::string_view> TsvCell::split(std::string_view line) {
    std::vector<std::string_view> cells;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            cells.push_back(line.substr(start));
            return cells;
        }
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

}  // namespace dsadmin
