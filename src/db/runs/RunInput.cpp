#include "db/runs/RunInput.h"

#include "db/ConnectionStrings.h"
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
