#include "dsfile/RowParser.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "dsfile/DateText.h"
#include "dsfile/HeaderCell.h"
#include "dsfile/TsvCell.h"

namespace dsadmin {
namespace {

using jet::JetColumnType;

std::optional<Value> wholeNumber(std::string_view s) {
    std::int64_t v = 0;
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return Value{v};
}

std::optional<Value> number(std::string_view s) {
    double v = 0;
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return Value{v};
}

std::optional<Value> yesNo(std::string_view s) {
    for (const char* yes : {"1", "-1", "true", "yes"})
        if (s.size() == std::strlen(yes) && ::strncasecmp(s.data(), yes, s.size()) == 0)
            return Value{true};
    for (const char* no : {"0", "false", "no"})
        if (s.size() == std::strlen(no) && ::strncasecmp(s.data(), no, s.size()) == 0)
            return Value{false};
    return std::nullopt;
}

const char* expected(JetColumnType t) {
    switch (t) {
        case JetColumnType::Long:
        case JetColumnType::Integer:
        case JetColumnType::Byte:
            return "a whole number";
        case JetColumnType::Double:
            return "a number";
        case JetColumnType::YesNo:
            return "yes or no (1 0 -1 true false yes no)";
        case JetColumnType::DateTime:
            return "a date YYYY-MM-DD[ HH:MM[:SS]]";
        default:
            return "text";
    }
}

std::optional<Value> cellValue(std::string_view cell, const jet::ColumnDef& c, std::string& error) {
    if (cell == TsvCell::kNull) return Value{};
    std::optional<Value> v;
    switch (c.type) {
        case JetColumnType::Text:
        case JetColumnType::Memo: {
            std::string text;
            if (TsvCell::unescape(cell, text)) return Value{std::move(text)};
            error = "column \"" + c.name + "\": a backslash must be followed by \\ t n r, " +
                    "or the cell must be exactly \\N";
            return std::nullopt;
        }
        case JetColumnType::Long:
        case JetColumnType::Integer:
        case JetColumnType::Byte:
            v = wholeNumber(cell);
            break;
        case JetColumnType::Double:
            v = number(cell);
            break;
        case JetColumnType::YesNo:
            v = yesNo(cell);
            break;
        case JetColumnType::DateTime:
            if (auto d = DateText::parse(cell)) v = Value{Date{*d}};
            break;
    }
    if (!v)
        error = "column \"" + c.name + "\": \"" + TsvCell::escape(cell) + "\" is not " +
                expected(c.type) + (cell.empty() ? " (write \\N for NULL)" : "");
    return v;
}

}  // namespace

std::optional<std::vector<jet::ColumnDef>> RowParser::header(std::string_view line,
                                                             std::string& error) {
    std::vector<jet::ColumnDef> columns;
    for (auto cell : TsvCell::split(line)) {
        std::string name;
        if (!TsvCell::unescape(cell, name)) {
            error = "bad backslash sequence in the header";
            return std::nullopt;
        }
        auto c = HeaderCell::parse(name, error);
        if (!c) return std::nullopt;
        columns.push_back(std::move(*c));
    }
    return columns;
}

std::optional<std::vector<Value>> RowParser::row(std::string_view line,
                                                 const std::vector<jet::ColumnDef>& columns,
                                                 std::string& error) {
    auto cells = TsvCell::split(line);
    if (cells.size() != columns.size()) {
        error = std::to_string(cells.size()) + " cells, the header has " +
                std::to_string(columns.size());
        return std::nullopt;
    }
    std::vector<Value> values;
    values.reserve(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        auto v = cellValue(cells[i], columns[i], error);
        if (!v) return std::nullopt;
        values.push_back(std::move(*v));
    }
    return values;
}

}  // namespace dsadmin
