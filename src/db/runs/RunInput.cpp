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
    structure.ConnectionString(GetCnnStr(input.appFolder, input.setupPath, ReadIniString));
    structure.Open();
}

}  // namespace dsadmin
