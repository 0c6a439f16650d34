#include "dsfile/TsvCell.h"

namespace dsadmin {

namespace {

// The characters a cell escapes, and the letter after the backslash that stands for each.
constexpr std::string_view kEscaped = "\\\t\n\r";
constexpr std::string_view kLetters = "\\tnr";

}  // namespace

std::string TsvCell::escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        const std::size_t k = kEscaped.find(c);
        if (k == std::string_view::npos) {
            out.push_back(c);
        } else {
            out.push_back('\\');
            out.push_back(kLetters[k]);
        }
    }
    return out;
}

bool TsvCell::unescape(std::string_view cell, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\') {
            out.push_back(cell[i]);
            continue;
        }
        if (++i == cell.size()) return false;
        const std::size_t k = kLetters.find(cell[i]);
        if (k == std::string_view::npos) return false;
        out.push_back(kEscaped[k]);
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
