#include "dsfile/HeaderCell.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "base/AsciiText.h"

namespace dsadmin {
namespace {

using jet::ColumnDef;
using jet::JetColumnType;

const std::array<ColumnDef, 6> kDefaults = {{
    {"ftable", JetColumnType::Text, 64},
    {"fname", JetColumnType::Text, 64},
    {"flb", JetColumnType::Text, 64},
    {"flong", JetColumnType::Long, 0},
    {"fauto", JetColumnType::Long, 0},
    {"findex", JetColumnType::Long, 0},
}};

struct Named {
    std::string_view name;
    JetColumnType type;
};
constexpr std::array<Named, 7> kPlainTypes = {{
    {"long", JetColumnType::Long},
    {"integer", JetColumnType::Integer},
    {"byte", JetColumnType::Byte},
    {"double", JetColumnType::Double},
    {"yesno", JetColumnType::YesNo},
    {"datetime", JetColumnType::DateTime},
    {"memo", JetColumnType::Memo},
}};

std::optional<ColumnDef> fromJet(const JetColumn& c) {
    switch (c.type) {
        case JetType::Text:
            return ColumnDef{c.name, JetColumnType::Text, c.size / 2};
        case JetType::Long:
            return ColumnDef{c.name, JetColumnType::Long, 0};
        case JetType::Integer:
            return ColumnDef{c.name, JetColumnType::Integer, 0};
        case JetType::Byte:
            return ColumnDef{c.name, JetColumnType::Byte, 0};
        case JetType::Double:
            return ColumnDef{c.name, JetColumnType::Double, 0};
        case JetType::Boolean:
            return ColumnDef{c.name, JetColumnType::YesNo, 0};
        case JetType::DateTime:
            return ColumnDef{c.name, JetColumnType::DateTime, 0};
        case JetType::Memo:
            return ColumnDef{c.name, JetColumnType::Memo, 0};
        default:
            return std::nullopt;
    }
}

std::string_view otherTypeName(JetType t) {
    switch (t) {
        case JetType::Money:
            return "money";
        case JetType::Single:
            return "single";
        case JetType::Binary:
            return "binary";
        case JetType::Ole:
            return "ole";
        case JetType::Guid:
            return "guid";
        case JetType::Numeric:
            return "numeric";
        default:
            return "unknown";
    }
}

std::optional<ColumnDef> parseType(std::string_view name, std::string_view type) {
    const std::string t = AsciiLower(type);
    for (const auto& p : kPlainTypes)
        if (t == p.name) return ColumnDef{std::string(name), p.type, 0};
    if (t == "text") return ColumnDef{std::string(name), JetColumnType::Text, 255};
    if (t.size() > 6 && t.compare(0, 5, "text(") == 0 && t.back() == ')') {
        int n = 0;
        auto [end, ec] = std::from_chars(t.data() + 5, t.data() + t.size() - 1, n);
        if (ec == std::errc() && end == t.data() + t.size() - 1 && n >= 1 && n <= 255)
            return ColumnDef{std::string(name), JetColumnType::Text, n};
    }
    return std::nullopt;
}

}  // namespace

std::string HeaderCell::typeName(const ColumnDef& c) {
    if (c.type == JetColumnType::Text) return "text(" + std::to_string(c.length) + ")";
    for (const auto& p : kPlainTypes)
        if (p.type == c.type) return std::string(p.name);
    return "unknown";
}

std::string HeaderCell::format(const JetColumn& column) {
    auto def = fromJet(column);
    if (!def) return column.name + ":" + std::string(otherTypeName(column.type));
    for (const auto& d : kDefaults)
        if (d == *def) return column.name;
    return column.name + ":" + typeName(*def);
}

std::optional<ColumnDef> HeaderCell::parse(std::string_view cell, std::string& error) {
    std::size_t colon = cell.find(':');
    if (colon == std::string_view::npos) {
        for (const auto& d : kDefaults)
            if (d.name == cell) return d;
        error = "column \"" + std::string(cell) +
                "\" is not a default column of ds; declare its type as name:type";
        return std::nullopt;
    }
    std::string_view name = cell.substr(0, colon);
    std::string_view type = cell.substr(colon + 1);
    auto def = parseType(name, type);
    if (!def)
        error =
            "unknown type \"" + std::string(type) + "\" for column \"" + std::string(name) + "\"";
    return def;
}

}  // namespace dsadmin
