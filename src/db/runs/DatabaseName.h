#pragma once
// The database name the operator typed goes unquoted into CREATE DATABASE and
// "Drop Database ", and T-SQL reads several statements from one batch and DROP DATABASE a
// list: "Sales,master" or "Sales drop database master" would reach more than the database
// the operator named. The runs therefore refuse, before anything is sent, every name that is
// not a plain identifier. Text is UTF-8.

#include <string>
#include <string_view>

namespace dsadmin {

inline constexpr std::size_t kMaxDatabaseNameChars = 128;

// True when `name` is valid UTF-8 of 1 to 128 characters, each a letter of any script
// (Unicode categories Lu Ll Lt Lm Lo), a decimal digit (Nd), "_", "@", "#" or "$", and the
// first is neither a digit nor "$".
bool IsPlainIdentifier(std::string_view name);

// The description of a refused name:
// "数据库名“<name>”无效：只能包含字母、数字、_、@、# 和 $，不能以数字或 $ 开头，最长 128 个字符。"
std::string InvalidDatabaseNameText(const std::string& name);

// Throws DbError(InvalidDatabaseNameText(name)) when `name` (already trimmed) is not empty
// and not a plain identifier. The empty name passes: the server refuses it in its own words.
void RequirePlainDatabaseName(const std::string& name);

}  // namespace dsadmin
