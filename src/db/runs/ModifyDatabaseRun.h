#pragma once
// The modify run (button Command2): stores the boxes in the settings file, asks, switches to
// the named database and creates, after showing each statement, every described table that
// the database lacks. Existing tables are never touched. Text is UTF-8.

#include <string>

#include "db/Value.h"
#include "db/runs/RunInput.h"

namespace dsadmin {

inline constexpr const char* kModifyQuestion = "是否真的要修改数据库？";
inline constexpr const char* kModifyDoneText = "数据库修改完成";

// "select * from sys.tables where name = N'" + table + "'", every "'" of the name doubled: the
// query only ever looks the name up, and as a Unicode literal a name outside the server's
// code page (a Chinese name on a Latin collation) still matches.
std::string TableExistsQuery(const Value& table);

// Runs the whole modify run: SaveDBSet first; "是否真的要修改数据库？" ("系统提示", 1), Cancel
// ends silently; the server connection switched to the trimmed Text4; per described table one
// existence query on sys.tables and, for a missing one with rows, a preview box of the
// statement (empty title, so the application's title; style 0) and the statement itself;
// then the objects are closed and "数据库修改完成" ("系统提示", 64) is shown.
//
// Catches nothing: any failure (DbError with the server's, provider's or file's description,
// also for a database name that is not a plain identifier, refused before the server is
// contacted) leaves the run at its step, releasing what it opened; the caller reports it.
void ModifyDatabaseRun(const RunInput& input);

}  // namespace dsadmin
