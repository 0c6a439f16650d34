#pragma once
// What every run takes from its caller, and the pieces the three runs share. Text is UTF-8.

#include <functional>
#include <string>

#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/runs/MsgBox.h"
#include "db/runs/RunProgress.h"
#include "db/runs/RunWatch.h"
#include "settings/DBSet.h"

namespace dsadmin {

struct RunInput {
    RunFields fields;                 // what the operator typed, untrimmed
    std::string setupPath;            // SetupPath: the settings file
    std::string appFolder;            // the executable's folder: where the structure file lies
    MsgBox& msgBox;                   // not owned; every box of the run goes through it
    RunProgress* progress = nullptr;  // not owned; told of each step when given

    // What the window leaves as they are; the command line sets them.
    bool saveSettings = true;     // SaveDBSet before the question (false: setupPath is not written)
    std::string structureFile{};  // the structure file; empty: DSName of setupPath in appFolder
    RunWatch* watch = nullptr;    // not owned; hears the run's statements (see RunWatch)
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
// afresh from setupPath) or, when input.structureFile is set, the string naming that file;
// then Open() with no arguments. Throws DbError.
void OpenStructureConnection(Connection& structure, const RunInput& input);

// Walks the described tables as the create and modify runs do: opens `tableList` on
// `structure` with kTableListQuery and, unless it is empty, calls perTable(table, step) for each
// row after reporting `step` (kind `kind`, the table's 1-based number, the list's length and
// its name). perTable may change step.kind and report again. Leaves `tableList` open.
void ForEachDescribedTable(const RunInput& input, Connection& structure, Recordset& tableList,
                           RunStep::Kind kind,
                           const std::function<void(const Value& table, RunStep& step)>& perTable);

// SaveDBSet(input.fields, input.setupPath) unless input.saveSettings is false.
void SaveRunSettings(const RunInput& input);

// Runs `send`, which sends `statement` to the server, and tells input.watch how the server
// answered. Rethrows what `send` throws.
void SendToServer(const RunInput& input, const std::string& statement,
                  const std::function<void()>& send);

// The same for a statement that changes the server, unless input.watch holds it back.
// Returns false when it was held back (nothing was sent).
bool SendChange(const RunInput& input, const std::string& statement,
                const std::function<void()>& send);

}  // namespace dsadmin
