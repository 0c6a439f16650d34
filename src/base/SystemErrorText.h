#pragma once
// The operator's words for an operating-system error number (errno). Text is UTF-8.

#include <string>

namespace dsadmin {

// "权限不够", "不存在", "输入/输出错误", ... for the errors a file operation meets; any other
// number gives the C library's text with the number ("Broken pipe（错误号 32）").
std::string SystemErrorText(int errorNumber);

}  // namespace dsadmin
