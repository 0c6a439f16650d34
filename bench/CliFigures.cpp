// dsadmin-cli's plan modify and check of a 1,000-table database on dsadmin-sandbox, each
// beside the window's modify run (ModifyDatabaseRun, every table present) in the same run.
#include <filesystem>
#include <stdexcept>

#include "ChildCommand.h"
#include "SandboxServer.h"
#include "Sections.h"
#include "StructureFile.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/MsgBox.h"
#include "settings/PrivateProfile.h"

namespace dsadmin::bench {
namespace {

class LastBox : public MsgBox {
  public:
    int show(const BoxLook&, const std::string& text) override {
        last = text;
        return kAnswerOk;
    }
    std::string last;
};

void Run(void (*run)(const RunInput&), const RunInput& input, LastBox& box, const char* done) {
    run(input);
    if (box.last != done) throw std::runtime_error("run: " + box.last);
}

}  // namespace

void CliFigures(const BenchContext& c, FigureTable& table) {
    const int tables = 1000;
    SandboxServer server(SandboxExe(), c.work + "/sandbox-cli");
    const std::string app = c.work + "/cli";
    std::filesystem::create_directories(app + "/save");
    WriteStructureFile(app, "Bench", tables, 10);
    WriteIniString(app + "/Setup.ini", "DataBase", "DSName", "Bench");
    LastBox box;
    const RunInput input{{"SQL Server", server.dataSource(), "sa", "", "CliDb", app + "/save"},
                         app + "/Setup.ini",
                         app,
                         box};
    Run(CreateDatabaseRun, input, box, kCreateDoneText);

    const std::vector<std::string> common = {"--app-folder",      app,          "--server",
                                             server.dataSource(), "--database", "CliDb"};
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), DSADMIN_CLI_EXE);
        args.insert(args.end(), common.begin(), common.end());
        RunChecked(args, Redirects::StdoutTo(app + "/out"));
    };
    Samples modify, plan, check;
    for (int r = 0; r < c.repeats; ++r) {
        modify.seconds.push_back(
            secondsOf([&] { Run(ModifyDatabaseRun, input, box, kModifyDoneText); }));
        plan.seconds.push_back(secondsOf([&] { cli({"plan", "modify"}); }));
        check.seconds.push_back(secondsOf([&] { cli({"check"}); }));
    }
    const std::string size = std::to_string(tables) + " tables x 10 columns, all present";
    table.compare("dsadmin-cli plan modify, " + size, plan, "modify run", modify);
    table.compare("dsadmin-cli check, " + size, check, "modify run", modify);
}

}  // namespace dsadmin::bench
