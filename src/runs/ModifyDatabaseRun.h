#pragma once
// The modify run (the window's modify button): stores the run fields in the settings file,
// asks, switches to the named database and creates, after showing each statement, every
// described table that the database lacks. Existing tables are never touched. Text is UTF-8.

#include <string>

#include "runs/RunInput.h"

namespace dsadmin {

inline constexpr const char* kModifyQuestion = "是否真的要修改数据库？";
inline constexpr const char* kModifyDoneText = "数据库修改完成";

// Runs the whole modify run: SaveDBSet first; "是否真的要修改数据库？" ("系统提示", 1), Cancel
// ends silently; the server connection switched to the trimmed databaseName; per described
// table one existence query on sys.tables (TableExistsQuery) and, for a missing one with rows,
// a preview box of the statement (empty title, so the application's title; style 0) and the
// statement itself; then the objects are closed and "数据库修改完成" ("系统提示", 64) is shown.
// A preview answered Cancel (the window's has OK alone; a terminal may decline one) stops the
// run there: the statement is not sent, no further box is shown, and what it opened is
// released.
//
// Catches nothing: any failure (DbError with the server's, provider's or file's description,
// also for a database name that is not a plain identifier, refused before the server is
// contacted) leaves the run at its step, releasing what it opened; the caller reports it.
void ModifyDatabaseRun(const RunInput& input);

}  // namespace dsadmin
