#include "runs/check/ColumnType.h"

#include <cstdlib>
#include <map>

#include "base/AsciiText.h"

namespace dsadmin {
namespace {

enum class Family { Plain, Width, UnicodeWidth, Decimal, Fraction };

Family FamilyOf(const std::string& name) {
    if (name == "char" || name == "varchar" || name == "binary" || name == "varbinary")
        return Family::Width;
    if (name == "nchar" || name == "nvarchar") return Family::UnicodeWidth;
    if (name == "decimal" || name == "numeric") return Family::Decimal;
    if (name == "time" || name == "datetime2" || name == "datetimeoffset") return Family::Fraction;
    return Family::Plain;
}

std::string Strip(std::string_view text) {
    return TrimAny(text, " \t");
}

// The name's synonyms as the server resolves them. Of several words (a clause such as
// "NOT NULL" after the type) the first names the type.
std::string Canonical(const std::string& name) {
    static const std::map<std::string, std::string> synonyms = {{"integer", "int"},
                                                                {"dec", "decimal"},
                                                                {"character", "char"},
                                                                {"rowversion", "timestamp"},
                                                                {"double precision", "float"}};
    auto it = synonyms.find(name);
    if (it != synonyms.end()) return it->second;
    const std::string first = name.substr(0, name.find_first_of(" \t"));
    it = synonyms.find(first);
    return it == synonyms.end() ? first : it->second;
}

long Number(const std::string& text, long fallback) {
    if (text.empty()) return fallback;
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' ? n : fallback;
}

}  // namespace

ColumnType ColumnType::FromModel(const std::string& typeText) {
    const std::string text = AsciiLower(Strip(typeText));
    const auto open = text.find('(');
    std::vector<std::string> args;
    if (open != std::string::npos) {
        const auto close = text.find(')', open);
        std::string inside = text.substr(
            open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        for (std::size_t at = 0; at <= inside.size();) {
            const auto comma = std::min(inside.find(',', at), inside.size());
            args.push_back(Strip(inside.substr(at, comma - at)));
            at = comma + 1;
        }
    }
    ColumnType t;
    t.name = Canonical(Strip(text.substr(0, open)));
    const std::string first = args.empty() ? "" : args[0];
    switch (FamilyOf(t.name)) {
        case Family::Width:
        case Family::UnicodeWidth:
            t.length = first == "max" ? -1 : Number(first, 1);
            break;
        case Family::Decimal:
            t.precision = static_cast<int>(Number(first, 18));
            t.scale = static_cast<int>(Number(args.size() > 1 ? args[1] : "", 0));
            break;
        case Family::Fraction:
            t.scale = static_cast<int>(Number(first, 7));
            break;
        case Family::Plain:
            if (t.name == "float" && Number(first, 53) <= 24) t.name = "real";
            break;
    }
    return t;
}

ColumnType ColumnType::FromServer(const std::string& typeName, long maxLength, int precision,
                                  int scale) {
    ColumnType t;
    t.name = AsciiLower(typeName);
    switch (FamilyOf(t.name)) {
        case Family::Width:
            t.length = maxLength;
            break;
        case Family::UnicodeWidth:
            t.length = maxLength < 0 ? -1 : maxLength / 2;
            break;
        case Family::Decimal:
            t.precision = precision;
            t.scale = scale;
            break;
        case Family::Fraction:
            t.scale = scale;
            break;
        case Family::Plain:
            break;
    }
    return t;
}

std::vector<std::string> ColumnType::differencesFrom(const ColumnType& other) const {
    if (name != other.name) return {"type"};
    std::vector<std::string> out;
    if (length != other.length) out.push_back("length");
    if (precision != other.precision) out.push_back("precision");
    if (scale != other.scale) out.push_back("scale");
    return out;
}

std::string ColumnType::text() const {
    switch (FamilyOf(name)) {
        case Family::Width:
        case Family::UnicodeWidth:
            return name + "(" + (length < 0 ? std::string("max") : std::to_string(length)) + ")";
        case Family::Decimal:
            return name + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
        case Family::Fraction:
            return name + "(" + std::to_string(scale) + ")";
        case Family::Plain:
            break;
    }
    return name;
}

}  // namespace dsadmin
