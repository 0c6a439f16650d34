#include "db/runs/DatabaseName.h"

#include <unicode/uchar.h>
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

bool IsPlainIdentifier(std::string_view name) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    if (name.empty() || name.size() > 4 * kMaxDatabaseNameChars) return false;
    std::size_t count = 0;
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);  // c < 0 for a malformed sequence
        if (c < 0) return false;
        const bool first = count++ == 0;
        if (IsLetter(c) || c == '_' || c == '@' || c == '#') continue;
        if (!first && (IsDigit(c) || c == '$')) continue;
        return false;
    }
    return count <= kMaxDatabaseNameChars;
}

std::string InvalidDatabaseNameText(const std::string& name) {
    return "数据库名“" + name +
           "”无效：只能包含字母、数字、_、@、# 和 $，不能以数字或 $ 开头，最长 128 个字符。";
}

void RequirePlainDatabaseName(const std::string& name) {
    if (!name.empty() && !IsPlainIdentifier(name)) throw DbError(InvalidDatabaseNameText(name));
}

}  // namespace dsadmin
