#include "runs/DeleteDatabaseRun.h"

#include <exception>

#include "base/AsciiText.h"
#include "db/TableStatements.h"
#include "runs/DatabaseName.h"

namespace dsadmin {

void DeleteDatabaseRun(const RunInput& input) {
    if (ShowBox(input, kQuestionBox, kDeleteQuestion) == kAnswerCancel) return;
    Connection server;  // released when the run returns, after its last box; never closed
    try {
        const std::string name = Trim(input.fields.databaseName);
        RequirePlainDatabaseName(name);
        ReportConnecting(input);
        OpenServerConnection(server, input);
        ReportStep(input, {RunStep::Kind::DroppingDatabase});
        const std::string drop = DropDatabaseStatement(name);
        SendChange(input, drop, [&] { server.Execute(drop); });
    } catch (const std::exception& e) {
        if (input.watch) input.watch->failed(e);
        ShowBox(input, kDeleteFailureBox, kDeleteErrorPrefix + std::string(e.what()));
        return;
    }
    ShowBox(input, kDoneBox, kDeleteDoneText);
}

}  // namespace dsadmin
