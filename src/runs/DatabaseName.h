#pragma once
// The database name the operator typed goes unquoted into CREATE DATABASE and
// "Drop Database ", and T-SQL reads several statements from one batch and DROP DATABASE a
// list: "Sales,master" or "Sales drop database master" would reach more than the database
// the operator named. The runs therefore refuse, before anything is sent, every name that is
// not a plain identifier. Text is UTF-8.
//
// Lengths are counted as the server counts them, in UTF-16 code units: a character beyond
// U+FFFF (many emoji, rare CJK ideographs) counts two.

#include <string>
#include <string_view>

namespace dsadmin {

// The longest identifier the server takes.
inline constexpr std::size_t kMaxDatabaseNameUnits = 128;
// The longest name the create run can use: its CREATE DATABASE names no log file, and the
// server names the log "<name>_log", which must itself fit in 128 units.
inline constexpr std::size_t kMaxCreatedDatabaseNameUnits = 123;

// True when `name` is valid UTF-8 of 1 to `maxUnits` UTF-16 units, each character a letter
// of any script (Unicode categories Lu Ll Lt Lm Lo), a decimal digit (Nd), "_", "@", "#" or
// "$", and the first neither a digit nor "$".
bool IsPlainIdentifier(std::string_view name, std::size_t maxUnits = kMaxDatabaseNameUnits);

// The description of a refused name:
// "数据库名“<name>”无效：只能包含字母、数字、_、@、# 和 $，不能以数字或 $ 开头，最长 <maxUnits>
// 个字符（表情符号等补充平面字符每个算两个）。"
std::string InvalidDatabaseNameText(const std::string& name,
                                    std::size_t maxUnits = kMaxDatabaseNameUnits);

// Throws DbError(InvalidDatabaseNameText(name, maxUnits)) when `name` (already trimmed) is not
// empty and not a plain identifier of at most `maxUnits` units. The empty name passes: the
// server refuses it in its own words.
void RequirePlainDatabaseName(const std::string& name,
                              std::size_t maxUnits = kMaxDatabaseNameUnits);

}  // namespace dsadmin
