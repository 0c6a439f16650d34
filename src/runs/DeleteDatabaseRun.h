#pragma once
// The delete run (the window's delete button, shown to super users): asks, then sends
// DropDatabaseStatement (db/TableStatements.h) of the trimmed database name on a server
// connection left in master.
// Writes nothing to the settings file. Text is UTF-8.

#include <string>

#include "runs/RunInput.h"

namespace dsadmin {

inline constexpr const char* kDeleteQuestion = "是否真的要删除数据库？";
inline constexpr const char* kDeleteDoneText = "数据库删除操作完成！";
inline constexpr const char* kDeleteErrorPrefix = "删除数据库错误：";

// "是否真的要删除数据库？" ("系统提示", 1): Cancel ends the run with nothing else done. Then the
// name check (a name that is not a plain identifier is refused before the server is
// contacted), Open, Execute, and "数据库删除操作完成！" ("系统提示", 64). A failure shows
// "删除数据库错误：" + its description ("系统提示", 64); the connection is released after the
// box. Throws only what is not a std::exception.
void DeleteDatabaseRun(const RunInput& input);

}  // namespace dsadmin
