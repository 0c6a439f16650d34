#pragma once
// What every run takes from its caller, and the pieces the three runs share. Text is UTF-8.

#include <string>

#include "db/Connection.h"
#include "db/runs/MsgBox.h"
#include "db/runs/RunProgress.h"
#include "settings/DBSet.h"

namespace dsadmin {

struct RunInput {
    RunFields fields;                 // what the operator typed, untrimmed
    std::string setupPath;            // SetupPath: the settings file
    std::string appFolder;            // the executable's folder: where the structure file lies
    MsgBox& msgBox;                   // not owned; every box of the run goes through it
    RunProgress* progress = nullptr;  // not owned; told of each step when given
};

// Tells input.progress, when there is one, that `step` starts.
void ReportStep(const RunInput& input, RunStep step);

// Titles and the error prefix the runs show.
inline constexpr const char* kErrorTitle = "错误提示";
inline constexpr const char* kSystemTitle = "系统提示";
inline constexpr const char* kSystemErrorPrefix = "系统错误：";

// Opens `server` as every run does: Provider "SQLOLEDB", the server connection string built
// from login, password and server (each trimmed), then Open() with no arguments. The connection
// starts in master. Throws DbError (server unreachable, login refused).
void OpenServerConnection(Connection& server, const RunFields& fields);

// Opens `structure` on the structure file: ConnectionString = GetCnnStr (key DSName read
// afresh from setupPath), then Open() with no arguments. Throws DbError.
void OpenStructureConnection(Connection& structure, const RunInput& input);

}  // namespace dsadmin
