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

// The types without a length: the name a header cell gives, the type the writer makes, and
// the code the reader reports for it.
struct Named {
    std::string_view name;
    JetColumnType type;
    JetType code;
};
constexpr std::array<Named, 7> kPlainTypes = {{
    {"long", JetColumnType::Long, JetType::Long},
    {"integer", JetColumnType::Integer, JetType::Integer},
    {"byte", JetColumnType::Byte, JetType::Byte},
    {"double", JetColumnType::Double, JetType::Double},
    {"yesno", JetColumnType::YesNo, JetType::Boolean},
    {"datetime", JetColumnType::DateTime, JetType::DateTime},
    {"memo", JetColumnType::Memo, JetType::Memo},
}};

// Types a file may hold that the writer does not make: named in a header, never accepted.
struct Unwritable {
    JetType code;
    std::string_view name;
};
constexpr std::array<Unwritable, 6> kOtherTypes = {{{JetType::Money, "money"},
                                                    {JetType::Single, "single"},
                                                    {JetType::Binary, "binary"},
                                                    {JetType::Ole, "ole"},
                                                    {JetType::Guid, "guid"},
                                                    {JetType::Numeric, "numeric"}}};

std::optional<ColumnDef> fromJet(const JetColumn& c) {
    if (c.type == JetType::Text) return ColumnDef{c.name, JetColumnType::Text, c.size / 2};
    for (const auto& p : kPlainTypes)
        if (p.code == c.type) return ColumnDef{c.name, p.type, 0};
    return std::nullopt;
}

std::string_view otherTypeName(JetType t) {
    for (const auto& o : kOtherTypes)
        if (o.code == t) return o.name;
    return "unknown";
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
