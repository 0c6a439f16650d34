#include "runs/DatabaseName.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "db/DbError.h"

namespace dsadmin {
namespace {

bool IsLetter(UChar32 c) {
    switch (u_charType(c)) {
        case U_UPPERCASE_LETTER:
        case U_LOWERCASE_LETTER:
        case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER:
        case U_OTHER_LETTER:
            return true;
        default:
            return false;
    }
}

bool IsDigit(UChar32 c) {
    return u_charType(c) == U_DECIMAL_DIGIT_NUMBER;
}

}  // namespace

bool IsPlainIdentifier(std::string_view name, std::size_t maxUnits) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    if (name.empty() || name.size() > 3 * maxUnits) return false;  // 3 bytes at most a unit
    std::size_t units = 0;
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);  // c < 0 for a malformed sequence
        if (c < 0) return false;
        const bool first = units == 0;
        units += U16_LENGTH(c);  // the server counts UTF-16 units: two beyond U+FFFF
        if (IsLetter(c) || c == '_' || c == '@' || c == '#') continue;
        if (!first && (IsDigit(c) || c == '$')) continue;
        return false;
    }
    return units <= maxUnits;
}

std::string InvalidDatabaseNameText(const std::string& name, std::size_t maxUnits) {
    return "数据库名“" + name +
           "”无效：只能包含字母、数字、_、@、# 和 $，不能以数字或 $ 开头，最长 " +
           std::to_string(maxUnits) + " 个字符（表情符号等补充平面字符每个算两个）。";
}

void RequirePlainDatabaseName(const std::string& name, std::size_t maxUnits) {
    if (!name.empty() && !IsPlainIdentifier(name, maxUnits))
        throw DbError(InvalidDatabaseNameText(name, maxUnits));
}

}  // namespace dsadmin
