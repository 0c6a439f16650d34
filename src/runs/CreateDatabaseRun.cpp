#include "runs/CreateDatabaseRun.h"

#include <exception>

#include "base/AsciiText.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "runs/DatabaseName.h"
#include "runs/SavePath.h"

namespace dsadmin {
namespace {

// Everything the run opens. Declared before the work starts so that, after a failure, the
// error box is shown while they are still open and they are released when the run returns.
struct CreateRunObjects {
    Connection server;
    Recordset statement;  // sends the table statements; never closed explicitly
    Connection structure;
    Recordset tableList;
    Recordset tableRows;
};

void CreateTables(const RunInput& input, CreateRunObjects& o,
                  const std::vector<DescribedTable>& tables) {
    ForEachDescribedTable(input, tables, RunStep::Kind::CreatingTable,
                          [&](const DescribedTable& table, RunStep&) {
                              if (table.statement.empty()) return true;
                              const std::string& sql = table.statement;
                              SendChange(input, sql, [&] { o.statement.Open(sql, o.server); });
                              if (input.watch)
                                  input.watch->table(table.name.text(), TableFate::Created);
                              return true;
                          });
}

// The steps from SaveDBSet to the closing of the objects. False when the operator cancelled.
bool CreateDatabase(const RunInput& input, const std::string& folder, CreateRunObjects& o) {
    SaveRunSettings(input);
    if (ShowBox(input, kQuestionBox, kCreateQuestion) == kAnswerCancel) {
        return false;
    }
    const std::string name = Trim(input.fields.databaseName);
    RequirePlainDatabaseName(name, kMaxCreatedDatabaseNameUnits);
    RequireReadableSettings(input);
    ReportConnecting(input);
    OpenServerConnection(o.server, input);
    // The whole structure file is read before the server changes: a missing, unreadable or
    // damaged file used to fail after CREATE DATABASE and leave an empty database behind.
    ReportStep(input, {RunStep::Kind::ReadingStructure});
    OpenStructureConnection(o.structure, input);
    const std::vector<DescribedTable> tables =
        ReadDescribedTables(o.structure, o.tableList, o.tableRows);
    ReportStep(input, {RunStep::Kind::CreatingDatabase});
    const std::string create = CreateDatabaseStatement(name, DataFilePath(folder, name));
    if (SendChange(input, create, [&] { o.server.Execute(create); })) {
        o.server.DefaultDatabase(Trim(input.fields.databaseName));
    }
    CreateTables(input, o, tables);
    o.tableList.Close();
    o.structure.Close();
    o.server.Close();
    return true;
}

}  // namespace

void CreateDatabaseRun(const RunInput& input) {
    const std::string folder = Trim(input.fields.saveFolder);
    if (folder.empty()) {
        ShowBox(input, kFailureBox, kSavePathEmptyText);
        return;
    }
    if (input.saveFolderHere && !SavePathExists(input.fields.saveFolder)) {
        ShowBox(input, kFailureBox, kSavePathInvalidText);
        return;
    }
    CreateRunObjects objects;
    try {
        if (!CreateDatabase(input, folder, objects)) return;
    } catch (const std::exception& e) {
        if (input.watch) input.watch->failed(e);
        ShowBox(input, kFailureBox, kSystemErrorPrefix + std::string(e.what()));
        return;
    }
    ShowBox(input, kDoneBox, kCreateDoneText);
}

}  // namespace dsadmin
