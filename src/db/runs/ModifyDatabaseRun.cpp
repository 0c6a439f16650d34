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

bool TableIsPresent(ModifyRunObjects& o, const Value& table) {
    o.working.Open(TableExistsQuery(table), o.server, kOpenKeyset, kLockReadOnly);
    const bool present = !o.working.Eof();
    o.working.Close();
    return present;
}

void CreateMissingTable(ModifyRunObjects& o, const Value& table, MsgBox& msgBox) {
    o.working.Open(TableRowsQuery(table), o.structure, kOpenKeyset, kLockReadOnly);
    if (!o.working.Eof()) {
        const std::string statement = GetCreateTableStr(table, o.working);
        msgBox.show(statement, "", kOkOnly);
        o.statement.Open(statement, o.server);
    }
    o.working.Close();
}

void CreateMissingTables(ModifyRunObjects& o, const RunInput& input) {
    o.tableList.Open(kTableListQuery, o.structure, kOpenKeyset, kLockReadOnly);
    if (o.tableList.Eof()) return;
    o.tableList.MoveFirst();
    RunStep step{RunStep::Kind::CheckingTable, 0, o.tableList.RecordCount(), {}};
    while (!o.tableList.Eof()) {
        const Value& table = o.tableList.Fields("ftable");
        ++step.index;
        step.table = table.text();
        step.kind = RunStep::Kind::CheckingTable;
        ReportStep(input, step);
        if (!TableIsPresent(o, table)) {
            step.kind = RunStep::Kind::CreatingTable;
            ReportStep(input, step);
            CreateMissingTable(o, table, input.msgBox);
        }
        o.tableList.MoveNext();
    }
}

}  // namespace

void ModifyDatabaseRun(const RunInput& input) {
    SaveDBSet(input.fields, input.setupPath);
    if (input.msgBox.show(kModifyQuestion, kSystemTitle, kOkCancel) == kAnswerCancel) return;
    const std::string name = Trim(input.fields.databaseName);
    RequirePlainDatabaseName(name);
    ModifyRunObjects o;
    ReportStep(input, {RunStep::Kind::Connecting});
    OpenServerConnection(o.server, input.fields);
    o.server.DefaultDatabase(name);
    ReportStep(input, {RunStep::Kind::ReadingStructure});
    OpenStructureConnection(o.structure, input);
    CreateMissingTables(o, input);
    o.tableList.Close();
    o.structure.Close();
    o.server.Close();
    input.msgBox.show(kModifyDoneText, kSystemTitle, kInformation);
}

}  // namespace dsadmin
