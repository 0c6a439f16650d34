#pragma once
// What every run takes from its caller, and the pieces the three runs share. Text is UTF-8.

#include <functional>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "db/Recordset.h"
#include "runs/MsgBox.h"
#include "runs/RunFields.h"
#include "runs/RunProgress.h"
#include "runs/RunWatch.h"

namespace dsadmin {

// A value: copied and assigned as a whole (the window swaps the message boxes of a copy).
struct RunInput {
    RunFields fields;       // what the operator typed, untrimmed
    std::string setupPath;  // SetupPath: the settings file
    std::string appFolder;  // the executable's folder: where the structure file lies
    std::reference_wrapper<MsgBox> msgBox;  // not owned; every box of the run goes through it
    RunProgress* progress = nullptr;        // not owned; told of each step when given
    // Called on the run's thread about every 50 ms while the server connection waits for the
    // server (Connection::WhileWaiting: the calls then run on a thread of the connection's
    // own) and while the structure connection waits for the file's reader, so that a window
    // keeps painting; empty: the calls stay on the run's thread, the waits unbroken.
    std::function<void()> whileWaiting{};

    // What the window leaves as they are; the command line sets them.
    bool saveSettings = true;     // SaveDBSet before the question (false: setupPath is not written)
    std::string structureFile{};  // the structure file; empty: DSName of setupPath in appFolder
    RunWatch* watch = nullptr;    // not owned; hears the run's statements (see RunWatch)
    // A plan: the statements that would change the server are held back, and the server
    // connection refuses any that is not (ReadOnlySession), so none is ever sent.
    bool plan = false;
    // The password goes to the server exactly as given, not trimmed as the window's box is.
    bool passwordAsWritten = false;
    // The create run looks for the save folder on this machine (the window's server is always
    // this one); false when the server is another machine, whose own answer is then the error.
    bool saveFolderHere = true;
    // The server connection's time-outs in seconds, 0 waiting for ever (Connection's
    // ConnectionTimeout and CommandTimeout); the window leaves ADO's defaults.
    int connectionTimeout = 15;
    int commandTimeout = 30;
};

// A described table as the structure file gives it, read before the server is changed.
struct DescribedTable {
    Value name;             // as the table list gives it
    std::string statement;  // its CREATE TABLE (GetCreateTableStr); empty when it has no rows
};

// Shows a box of `look` through input.msgBox and returns the answer.
int ShowBox(const RunInput& input, const BoxLook& look, const std::string& text);

// Tells input.progress, when there is one, that `step` starts.
void ReportStep(const RunInput& input, RunStep step);

// Throws DbError with UnreadableSettingsText when the run takes the structure file's name from
// the settings file (input.structureFile empty) and that file is there but cannot be read: the
// run would otherwise go on with empty settings and blame the structure file. A missing
// settings file passes (its values are empty).
void RequireReadableSettings(const RunInput& input);

// Reports the Connecting step, with the address input.fields.server leads to.
void ReportConnecting(const RunInput& input);

// The prefix of the failure box's text.
inline constexpr const char* kSystemErrorPrefix = "系统错误：";

// Opens `server` as every run does: Provider "SQLOLEDB", the server connection string built
// from login, password and server of input.fields (each trimmed; the password not when
// input.passwordAsWritten), then Open() with no
// arguments; for a plan the open session is wrapped in a ReadOnlySession. The connection
// starts in master; input.whileWaiting is called while it waits for the server. Throws DbError
// (server unreachable, login refused).
void OpenServerConnection(Connection& server, const RunInput& input);

// Opens `structure` on the structure file: ConnectionString = GetCnnStr (key DSName read
// afresh from setupPath) or, when input.structureFile is set, the string naming that file;
// then Open() with no arguments; input.whileWaiting is called while it waits for the reader.
// Throws DbError.
void OpenStructureConnection(Connection& structure, const RunInput& input);

// Reads the whole structure file before the run changes anything on the server: opens
// `tableList` on `structure` with kTableListQuery and, for each entry, reads its rows with
// TableRowsQuery through `tableRows` and builds its statement. Leaves `tableList` open.
// Throws DbError for a file that is missing, unreadable or damaged, and for a value that
// cannot be compared, so that such a file ends the run with nothing changed.
std::vector<DescribedTable> ReadDescribedTables(Connection& structure, Recordset& tableList,
                                                Recordset& tableRows);

// Walks the described tables as the create and modify runs do: calls perTable(table, step) for
// each after reporting `step` (kind `kind`, the table's 1-based number, the list's length and
// its name). perTable may change step.kind and report again; it returns false to stop the walk
// there. False when perTable stopped it.
bool ForEachDescribedTable(
    const RunInput& input, const std::vector<DescribedTable>& tables, RunStep::Kind kind,
    const std::function<bool(const DescribedTable& table, RunStep& step)>& perTable);

// SaveDBSet(input.fields, input.setupPath) unless input.saveSettings is false.
void SaveRunSettings(const RunInput& input);

// Runs `send`, which sends `statement` to the server, and tells input.watch how the server
// answered. Rethrows what `send` throws.
void SendToServer(const RunInput& input, const std::string& statement,
                  const std::function<void()>& send);

// The same for a statement that changes the server, unless it is held back: in a plan (after
// telling input.watch), or when input.watch holds it back. Returns false when it was held back
// (nothing was sent).
bool SendChange(const RunInput& input, const std::string& statement,
                const std::function<void()>& send);

}  // namespace dsadmin
