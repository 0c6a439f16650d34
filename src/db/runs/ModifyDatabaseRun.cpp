#include "db/runs/ModifyDatabaseRun.h"

#include "base/AsciiText.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "db/runs/DatabaseName.h"
#include "settings/DBSet.h"

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

void CreateMissingTable(const RunInput& input, ModifyRunObjects& o, const Value& table) {
    o.working.Open(TableRowsQuery(table), o.structure, kOpenKeyset, kLockReadOnly);
    if (!o.working.Eof()) {
        const std::string statement = GetCreateTableStr(table, o.working);
        input.msgBox.show(statement, "", kOkOnly);
        SendChange(input, statement, [&] { o.statement.Open(statement, o.server); });
        if (input.watch) input.watch->table(table.text(), TableFate::Created);
    }
    o.working.Close();
}

void CreateMissingTables(const RunInput& input, ModifyRunObjects& o) {
    ForEachDescribedTable(input, o.structure, o.tableList, RunStep::Kind::CheckingTable,
                          [&](const Value& table, RunStep& step) {
                              if (!TableIsPresent(input, o, table)) {
                                  step.kind = RunStep::Kind::CreatingTable;
                                  ReportStep(input, step);
                                  CreateMissingTable(input, o, table);
                              } else if (input.watch) {
                                  input.watch->table(table.text(), TableFate::Present);
                              }
                          });
}

}  // namespace

void ModifyDatabaseRun(const RunInput& input) {
    SaveRunSettings(input);
    if (input.msgBox.show(kModifyQuestion, kSystemTitle, kOkCancel) == kAnswerCancel) return;
    const std::string name = Trim(input.fields.databaseName);
    RequirePlainDatabaseName(name);
    ModifyRunObjects o;
    ReportStep(input, {RunStep::Kind::Connecting});
    OpenServerConnection(o.server, input.fields);
    o.server.DefaultDatabase(name);
    ReportStep(input, {RunStep::Kind::ReadingStructure});
    OpenStructureConnection(o.structure, input);
    CreateMissingTables(input, o);
    o.tableList.Close();
    o.structure.Close();
    o.server.Close();
    input.msgBox.show(kModifyDoneText, kSystemTitle, kInformation);
}

}  // namespace dsadmin
