#include "db/runs/RunInput.h"

#include "db/ConnectionStrings.h"
#include "settings/PrivateProfile.h"

namespace dsadmin {

void OpenServerConnection(Connection& server, const BoxTexts& boxes) {
    server.Provider(kServerProvider);
    server.ConnectionString(ServerConnectionString(boxes.text2, boxes.text3, boxes.text1));
    server.Open();
}

void OpenStructureConnection(Connection& structure, const RunInput& input) {
    structure.ConnectionString(GetCnnStr(input.appFolder, input.setupPath, ReadIniString));
    structure.Open();
}

}  // namespace dsadmin
