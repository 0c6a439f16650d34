#include "runs/RunInput.h"

#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/ReadOnlySession.h"
#include "db/TableStatements.h"
#include "settings/DBSet.h"
#include "settings/PrivateProfile.h"

namespace dsadmin {

int ShowBox(const RunInput& input, const BoxLook& look, const std::string& text) {
    return input.msgBox.get().show(look, text);
}

void ReportStep(const RunInput& input, RunStep step) {
    if (input.progress) input.progress->report(step);
}

void RequireReadableSettings(const RunInput& input) {
    if (!input.structureFile.empty()) return;
    if (const auto why = UnreadableSettingsText(input.setupPath)) throw DbError(*why);
}

void ReportConnecting(const RunInput& input) {
    ReportStep(input, {RunStep::Kind::Connecting, 0, 0, {}, ServerAddressOf(input.fields.server)});
}

void OpenServerConnection(Connection& server, const RunInput& input) {
    const RunFields& fields = input.fields;
    server.Provider(kServerProvider);
    server.ConnectionString(
        input.passwordAsWritten
            ? ServerConnectionStringKeepingPassword(fields.login, fields.password, fields.server)
            : ServerConnectionString(fields.login, fields.password, fields.server));
    server.ConnectionTimeout(input.connectionTimeout);
    server.CommandTimeout(input.commandTimeout);
    if (input.whileWaiting) server.WhileWaiting(input.whileWaiting);
    server.Open();
    if (input.plan) server.WrapSession(ReadOnlySession::Wrap);
}

void OpenStructureConnection(Connection& structure, const RunInput& input) {
    structure.ConnectionString(input.structureFile.empty()
                                   ? GetCnnStr(input.appFolder, input.setupPath, ReadIniString)
                                   : StructureConnectionString(input.structureFile));
    if (input.whileWaiting) structure.WhileWaiting(input.whileWaiting);
    structure.Open();
}

std::vector<DescribedTable> ReadDescribedTables(Connection& structure, Recordset& tableList,
                                                Recordset& tableRows) {
    std::vector<DescribedTable> tables;
    tableList.Open(kTableListQuery, structure, kOpenKeyset, kLockReadOnly);
    if (tableList.Eof()) return tables;
    tableList.MoveFirst();
    while (!tableList.Eof()) {
        DescribedTable t{tableList.Fields("ftable"), {}};
        tableRows.Open(TableRowsQuery(t.name), structure, kOpenKeyset, kLockReadOnly);
        if (!tableRows.Eof()) t.statement = GetCreateTableStr(t.name, tableRows);
        tableRows.Close();
        tables.push_back(std::move(t));
        tableList.MoveNext();
    }
    return tables;
}

bool ForEachDescribedTable(
    const RunInput& input, const std::vector<DescribedTable>& tables, RunStep::Kind kind,
    const std::function<bool(const DescribedTable& table, RunStep& step)>& perTable) {
    RunStep step{kind, 0, tables.size(), {}};
    for (const DescribedTable& table : tables) {
        ++step.index;
        step.kind = kind;
        step.table = table.name.text();
        ReportStep(input, step);
        if (!perTable(table, step)) return false;
    }
    return true;
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
    const bool watchSends = !input.watch || input.watch->sending(statement);
    if (input.plan || !watchSends) return false;
    SendToServer(input, statement, send);
    return true;
}

}  // namespace dsadmin
