#include "db/runs/DeleteDatabaseRun.h"

#include <exception>

#include "base/AsciiText.h"
#include "db/TableStatements.h"
#include "db/runs/DatabaseName.h"
#include "settings/DBSet.h"

namespace dsadmin {

void DeleteDatabaseRun(const RunInput& input) {
    if (input.msgBox.show(kDeleteQuestion, kSystemTitle, kOkCancel) == kAnswerCancel) return;
    Connection server;  // released when the run returns, after its last box; never closed
    try {
        const std::string name = Trim(input.fields.databaseName);
        RequirePlainDatabaseName(name);
        ReportStep(input, {RunStep::Kind::Connecting});
        OpenServerConnection(server, input.fields);
        ReportStep(input, {RunStep::Kind::DroppingDatabase});
        const std::string drop = DropDatabaseStatement(name);
        SendChange(input, drop, [&] { server.Execute(drop); });
    } catch (const std::exception& e) {
        if (input.watch) input.watch->failed(e);
        input.msgBox.show(kDeleteErrorPrefix + std::string(e.what()), kSystemTitle, kInformation);
        return;
    }
    input.msgBox.show(kDeleteDoneText, kSystemTitle, kInformation);
}

}  // namespace dsadmin
