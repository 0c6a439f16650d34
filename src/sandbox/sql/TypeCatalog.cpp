#include "sandbox/sql/TypeCatalog.h"

#include <cstdlib>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

enum class Args {
    None,
    Length,
    LengthOrMax,
    UnicodeLength,
    UnicodeLengthOrMax,
    Decimal,
    Float,
    Fraction
};

struct TypeRow {
    const char* name;
    int systemTypeId;
    int maxLength;
    int precision;
    int scale;
    Args args;
    bool identity;
    bool collated;
};

const TypeRow kTypes[] = {
    {"int", 56, 4, 10, 0, Args::None, true, false},
    {"bigint", 127, 8, 19, 0, Args::None, true, false},
    {"smallint", 52, 2, 5, 0, Args::None, true, false},
    {"tinyint", 48, 1, 3, 0, Args::None, true, false},
    {"bit", 104, 1, 1, 0, Args::None, false, false},
    {"decimal", 106, 9, 18, 0, Args::Decimal, true, false},
    {"numeric", 108, 9, 18, 0, Args::Decimal, true, false},
    {"money", 60, 8, 19, 4, Args::None, false, false},
    {"smallmoney", 122, 4, 10, 4, Args::None, false, false},
    {"float", 62, 8, 53, 0, Args::Float, false, false},
    {"real", 59, 4, 24, 0, Args::None, false, false},
    {"datetime", 61, 8, 23, 3, Args::None, false, false},
    {"smalldatetime", 58, 4, 16, 0, Args::None, false, false},
    {"date", 40, 3, 10, 0, Args::None, false, false},
    {"time", 41, 5, 16, 7, Args::Fraction, false, false},
    {"datetime2", 42, 8, 27, 7, Args::Fraction, false, false},
    {"datetimeoffset", 43, 10, 34, 7, Args::Fraction, false, false},
    {"char", 175, 1, 0, 0, Args::Length, false, true},
    {"varchar", 167, 1, 0, 0, Args::LengthOrMax, false, true},
    {"nchar", 239, 2, 0, 0, Args::UnicodeLength, false, true},
    {"nvarchar", 231, 2, 0, 0, Args::UnicodeLengthOrMax, false, true},
    {"sysname", 231, 256, 0, 0, Args::None, false, true},
    {"text", 35, 16, 0, 0, Args::None, false, true},
    {"ntext", 99, 16, 0, 0, Args::None, false, true},
    {"binary", 173, 1, 0, 0, Args::Length, false, false},
    {"varbinary", 165, 1, 0, 0, Args::LengthOrMax, false, false},
    {"image", 34, 16, 0, 0, Args::None, false, false},
    {"uniqueidentifier", 36, 16, 0, 0, Args::None, false, false},
    {"xml", 241, -1, 0, 0, Args::None, false, false},
    {"sql_variant", 98, 8016, 0, 0, Args::None, false, false},
    {"timestamp", 189, 8, 0, 0, Args::None, false, false},
    {"rowversion", 189, 8, 0, 0, Args::None, false, false},
};

// The one-word synonyms SQL Server takes for its own type names; sys.columns shows the type
// itself.
const char* canonicalName(const std::string& name) {
    if (equalsName(name, "integer")) return "int";
    if (equalsName(name, "dec")) return "decimal";
    if (equalsName(name, "character")) return "char";
    return nullptr;
}

int decimalBytes(int precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

int number(const std::string& arg) {
    return static_cast<int>(std::strtol(arg.c_str(), nullptr, 10));
}

// Checks a length argument against 1..limit.
int length(const std::string& arg, int limit, const std::string& column, bool unicode) {
    const long long n = std::strtoll(arg.c_str(), nullptr, 10);
    if (n <= 0) throw SqlError(msg::invalidLength(n, 0));
    if (n > limit)
        throw SqlError(unicode ? msg::unicodeSizeTooBig(n, column) : msg::sizeTooBig(n, column));
    return static_cast<int>(n);
}

void applyArgs(const TypeRow& row, const TypeName& type, int column, const std::string& columnName,
               ResolvedType& t) {
    const auto& a = type.args;
    const bool max = !a.empty() && a[0] == "max";
    const bool maxAllowed = row.args == Args::LengthOrMax || row.args == Args::UnicodeLengthOrMax;
    if (row.args == Args::None || a.size() > (row.args == Args::Decimal ? 2u : 1u))
        throw SqlError(msg::widthNotAllowed(column, type.name));
    if ((max && !maxAllowed) || (!max && a.size() > 1 && a[1] == "max"))
        throw SqlError(msg::syntaxNear("max", 0));
    if (max) {
        t.maxLength = -1;
        return;
    }
    switch (row.args) {
        case Args::Length:
        case Args::LengthOrMax:
            t.maxLength = length(a[0], 8000, columnName, false);
            break;
        case Args::UnicodeLength:
        case Args::UnicodeLengthOrMax:
            t.maxLength = 2 * length(a[0], 4000, columnName, true);
            break;
        case Args::Decimal: {
            const int p = number(a[0]);
            const int s = a.size() > 1 ? number(a[1]) : 0;
            if (p <= 0) throw SqlError(msg::invalidLength(p, 0));
            if (p > 38) throw SqlError(msg::precisionTooBig(column, p));
            if (s > p) throw SqlError(msg::scaleTooBig(column, s, p));
            t.precision = p;
            t.scale = s;
            t.maxLength = decimalBytes(p);
            t.identityCapable = s == 0;
            break;
        }
        case Args::Float: {
            const int bits = number(a[0]);
            if (bits < 1 || bits > 53) throw SqlError(msg::invalidLength(bits, 0));
            if (bits <= 24) t = {"real", 59, 59, 4, 24, 0, false, false};
            break;
        }
        case Args::Fraction: {
            const int n = number(a[0]);
            if (n < 0 || n > 7) throw SqlError(msg::invalidLength(n, 0));
            const int bytes = n <= 2 ? 0 : n <= 4 ? 1 : 2;
            t.maxLength += bytes - 2;
            t.precision -= 7 - n + (n == 0 ? 1 : 0);
            t.scale = n;
            break;
        }
        case Args::None:
            break;
    }
}

}  // namespace

ResolvedType TypeCatalog::resolve(const TypeName& type, int column, const std::string& columnName) {
    // The built-in types live in the sys schema; any other schema holds no types here.
    if (!type.schema.empty() && !equalsName(type.schema, "sys"))
        throw SqlError(msg::unknownType(column, type.schema + "." + type.name));
    const char* synonymOf = canonicalName(type.name);
    const std::string name = synonymOf ? synonymOf : type.name;
    for (const TypeRow& row : kTypes) {
        if (!equalsName(name, row.name)) continue;
        ResolvedType t{row.name,      row.systemTypeId, row.systemTypeId, row.maxLength,
                       row.precision, row.scale,        row.identity,     row.collated};
        if (t.name == "sysname") {
            t.userTypeId = 256;
            t.systemTypeId = 231;
        }
        if (!type.args.empty()) applyArgs(row, type, column, columnName, t);
        return t;
    }
    throw SqlError(msg::unknownType(column, type.name));
}

std::vector<ResolvedType> TypeCatalog::builtIn() {
    std::vector<ResolvedType> types;
    for (const TypeRow& row : kTypes) {
        if (std::string(row.name) == "rowversion") continue;
        TypeName type;
        type.name = row.name;
        types.push_back(resolve(type, 1, ""));
    }
    return types;
}

}  // namespace sandbox::sql
