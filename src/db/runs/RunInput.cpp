#include "db/runs/RunInput.h"

#include "db/ConnectionStrings.h"
#include "db/TableStatements.h"
#include "settings/PrivateProfile.h"

namespace dsadmin {

void ReportStep(const RunInput& input, RunStep step) {
    if (input.progress) input.progress->report(step);
}

void OpenServerConnection(Connection& server, const RunFields& fields) {
    server.Provider(kServerProvider);
    server.ConnectionString(ServerConnectionString(fields.login, fields.password, fields.server));
    server.Open();
}

void OpenStructureConnection(Connection& structure, const RunInput& input) {
    structure.ConnectionString(input.structureFile.empty()
                                   ? GetCnnStr(input.appFolder, input.setupPath, ReadIniString)
                                   : StructureConnectionString(input.structureFile));
    structure.Open();
}

void ForEachDescribedTable(const RunInput& input, Connection& structure, Recordset& tableList,
                           RunStep::Kind kind,
                           const std::function<void(const Value& table, RunStep& step)>& perTable) {
    tableList.Open(kTableListQuery, structure, kOpenKeyset, kLockReadOnly);
    if (tableList.Eof()) return;
    tableList.MoveFirst();
    RunStep step{kind, 0, tableList.RecordCount(), {}};
    while (!tableList.Eof()) {
        const Value& table = tableList.Fields("ftable");
        ++step.index;
        step.kind = kind;
        step.table = table.text();
        ReportStep(input, step);
        perTable(table, step);
        tableList.MoveNext();
    }
}

void SaveRunSettings(const RunInput& input) {
    if (input.saveSettings) SaveDBSet(input.fields, input.setupPath);
}

void SendToServer(const RunInput& input, const std::string& statement,
                  const std::function<void()>& send) {
    if (!input.watch) return send();
    try {
        send();
    } catch (const std::exception& e) {
        input.watch->sent(statement, &e);
        throw;
    }
    input.watch->sent(statement, nullptr);
}

bool SendChange(const RunInput& input, const std::string& statement,
                const std::function<void()>& send) {
    if (input.watch && !input.watch->sending(statement)) return false;
    SendToServer(input, statement, send);
    return true;
}

}  // namespace dsadmin
