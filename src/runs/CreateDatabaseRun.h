#pragma once
// The create run (the window's create button): tests the save folder, stores the run fields in
// the settings file, asks, creates the database with its data file in the save folder, and
// creates in it every table the structure file describes. Text is UTF-8.

#include <string>

#include "runs/RunInput.h"

namespace dsadmin {

// The run's texts.
inline constexpr const char* kSavePathEmptyText = "数据库文件保存路径不能为空！";
inline constexpr const char* kSavePathInvalidText = "数据库文件保存路径无效！";
inline constexpr const char* kCreateQuestion = "是否真的要创建新的数据库？";
inline constexpr const char* kCreateDoneText = "数据库创建完成";

// Runs the whole create run and reports everything through input.msgBox:
// - saveFolder blank after trimming: "数据库文件保存路径不能为空！"; saveFolder (untrimmed)
//   naming no existing file or folder (looked for only when input.saveFolderHere):
//   "数据库文件保存路径无效！" (both "错误提示", 64); nothing changes.
// - SaveDBSet, then "是否真的要创建新的数据库？" ("系统提示", 1); Cancel ends silently.
// - A database name that is not a plain identifier of at most 123 UTF-16 units is refused
//   here, before the server is contacted (RequirePlainDatabaseName), through the error path
//   below.
// - CREATE DATABASE, the switch to it, one CREATE TABLE per described table (the statements
//   of db/TableStatements.h); the objects are
//   closed, then "数据库创建完成" ("系统提示", 64).
// Any failure from SaveDBSet on shows "系统错误：" + its description ("错误提示", 64); the
// objects are released after that box. Throws only what is not a std::exception.
void CreateDatabaseRun(const RunInput& input);

}  // namespace dsadmin
