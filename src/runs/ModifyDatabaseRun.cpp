#include "runs/ModifyDatabaseRun.h"

#include "base/AsciiText.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "runs/DatabaseName.h"

namespace dsadmin {
namespace {

struct ModifyRunObjects {
    Connection server;
    Recordset statement;  // sends the table statements; released without a Close
    Connection structure;
    Recordset tableList;
    Recordset working;  // the tables' rows, then each existence query
};

bool TableIsPresent(const RunInput& input, ModifyRunObjects& o, const Value& table) {
    const std::string query = TableExistsQuery(table);
    SendToServer(input, query,
                 [&] { o.working.Open(query, o.server, kOpenKeyset, kLockReadOnly); });
    const bool present = !o.working.Eof();
    o.working.Close();
    return present;
}

// False when the operator declined the statement's preview: nothing is sent.
bool CreateMissingTable(const RunInput& input, ModifyRunObjects& o, const DescribedTable& table) {
    if (table.statement.empty()) return true;
    const std::string& statement = table.statement;
    if (ShowBox(input, kPreviewBox, statement) == kAnswerCancel) return false;
    SendChange(input, statement, [&] { o.statement.Open(statement, o.server); });
    if (input.watch) input.watch->table(table.name.text(), TableFate::Created);
    return true;
}

bool CreateMissingTables(const RunInput& input, ModifyRunObjects& o,
                         const std::vector<DescribedTable>& tables) {
    return ForEachDescribedTable(input, tables, RunStep::Kind::CheckingTable,
                                 [&](const DescribedTable& table, RunStep& step) {
                                     if (!TableIsPresent(input, o, table.name)) {
                                         step.kind = RunStep::Kind::CreatingTable;
                                         ReportStep(input, step);
                                         return CreateMissingTable(input, o, table);
                                     }
                                     if (input.watch)
                                         input.watch->table(table.name.text(), TableFate::Present);
                                     return true;
                                 });
}

}  // namespace

void ModifyDatabaseRun(const RunInput& input) {
    SaveRunSettings(input);
    if (ShowBox(input, kQuestionBox, kModifyQuestion) == kAnswerCancel) return;
    const std::string name = Trim(input.fields.databaseName);
    RequirePlainDatabaseName(name);
    ModifyRunObjects o;
    RequireReadableSettings(input);
    ReportConnecting(input);
    OpenServerConnection(o.server, input);
    o.server.DefaultDatabase(name);
    // Every statement is built before the first CREATE TABLE: a damaged structure file ends
    // the run with nothing created instead of part way.
    ReportStep(input, {RunStep::Kind::ReadingStructure});
    OpenStructureConnection(o.structure, input);
    const std::vector<DescribedTable> tables =
        ReadDescribedTables(o.structure, o.tableList, o.working);
    if (!CreateMissingTables(input, o, tables)) return;  // declined: released as they stand
    o.tableList.Close();
    o.structure.Close();
    o.server.Close();
    ShowBox(input, kDoneBox, kModifyDoneText);
}

}  // namespace dsadmin
