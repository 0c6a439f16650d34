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
    Recordset working;  // the existence query, then the table's rows
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
bool CreateMissingTable(const RunInput& input, ModifyRunObjects& o, const Value& table) {
    o.working.Open(TableRowsQuery(table), o.structure, kOpenKeyset, kLockReadOnly);
    if (!o.working.Eof()) {
        const std::string statement = GetCreateTableStr(table, o.working);
        if (ShowBox(input, kPreviewBox, statement) == kAnswerCancel) return false;
        SendChange(input, statement, [&] { o.statement.Open(statement, o.server); });
        if (input.watch) input.watch->table(table.text(), TableFate::Created);
    }
    o.working.Close();
    return true;
}

bool CreateMissingTables(const RunInput& input, ModifyRunObjects& o) {
    return ForEachDescribedTable(input, o.structure, o.tableList, RunStep::Kind::CheckingTable,
                                 [&](const Value& table, RunStep& step) {
                                     if (!TableIsPresent(input, o, table)) {
                                         step.kind = RunStep::Kind::CreatingTable;
                                         ReportStep(input, step);
                                         return CreateMissingTable(input, o, table);
                                     }
                                     if (input.watch)
                                         input.watch->table(table.text(), TableFate::Present);
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
    ReportStep(input, {RunStep::Kind::Connecting});
    OpenServerConnection(o.server, input);
    o.server.DefaultDatabase(name);
    ReportStep(input, {RunStep::Kind::ReadingStructure});
    OpenStructureConnection(o.structure, input);
    if (!CreateMissingTables(input, o)) return;  // declined: released as they stand
    o.tableList.Close();
    o.structure.Close();
    o.server.Close();
    ShowBox(input, kDoneBox, kModifyDoneText);
}

}  // namespace dsadmin
