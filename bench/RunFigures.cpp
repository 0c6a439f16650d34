// The create and modify runs end to end against dsadmin-sandbox, each beside FreeTDS's bsqldb
// sending the same statements over one connection to the same server in the same run. At
// 1,000 tables also the create run with the window's wait hook and the window's create run
// itself (window_run), each beside the create run on its own thread.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ChildCommand.h"
#include "SandboxServer.h"
#include "Sections.h"
#include "StructureFile.h"
#include "db/TableStatements.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/MsgBox.h"
#include "settings/PrivateProfile.h"

namespace dsadmin::bench {
namespace {

// Answers every box OK and keeps the last text: the run's result.
class OkMsgBox : public MsgBox {
  public:
    int show(const BoxLook&, const std::string& text) override {
        last = text;
        ++shown;
        return kAnswerOk;
    }
    std::string last;
    int shown = 0;
};

struct Scene {
    std::string appFolder;   // holds Setup.ini and Bench.DS
    std::string statements;  // dsfile script output for Bench.DS
};

Scene makeScene(const std::string& dir, int tables) {
    std::filesystem::create_directories(dir);
    const std::string ds = WriteStructureFile(dir, "Bench", tables, 10);
    WriteIniString(dir + "/Setup.ini", "DataBase", "DSName", "Bench");
    WriteStatements(ds, dir + "/statements.sql");
    return {dir, dir + "/statements.sql"};
}

// hooked: with the window's wait hook (calls on the connection's own thread), doing nothing.
void runCreate(const Scene& scene, const SandboxServer& server, const std::string& db,
               const std::string& saveFolder, bool hooked = false) {
    OkMsgBox box;
    RunInput input{{"SQL Server", server.dataSource(), "sa", "", db, saveFolder},
                   scene.appFolder + "/Setup.ini",
                   scene.appFolder,
                   box};
    if (hooked) input.whileWaiting = [] {};
    CreateDatabaseRun(input);
    if (box.last != kCreateDoneText) throw std::runtime_error("create run: " + box.last);
}

void runModify(const Scene& scene, const SandboxServer& server, const std::string& db) {
    OkMsgBox box;
    const RunInput input{{"SQL Server", server.dataSource(), "sa", "", db, ""},
                         scene.appFolder + "/Setup.ini",
                         scene.appFolder,
                         box};
    ModifyDatabaseRun(input);
    if (box.last != kModifyDoneText || box.shown != 2)
        throw std::runtime_error("modify run did not find every table: " + box.last);
}

// The window's create run in a process of its own (window_run, offscreen): the seconds it
// reports from the click to the run's end.
double windowCreateSeconds(const Scene& scene, const SandboxServer& server, const std::string& db,
                           const std::string& saveFolder) {
    const std::string out = saveFolder + "/window_run.out";
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TDSPORT", std::to_string(server.port()).c_str(), 1);  // its server is "(local)"
    RunChecked({DSADMIN_WINDOW_RUN_EXE, scene.appFolder, saveFolder, db}, Redirects::StdoutTo(out));
    ::unsetenv("TDSPORT");
    double seconds = 0;
    std::ifstream(out) >> seconds;
    if (seconds <= 0) throw std::runtime_error("window_run printed no time");
    return seconds;
}

// bsqldb's input: the same CREATE DATABASE, the switch, then each statement, one batch each.
std::string bsqldbCreateScript(const Scene& scene, const std::string& db,
                               const std::string& saveFolder, const std::string& out) {
    std::ofstream script(out);
    script << CreateDatabaseStatement(db, saveFolder + "/" + db + "_dat.mdf") << "\ngo\nuse " << db
           << "\ngo\n";
    std::ifstream in(scene.statements);
    for (std::string line; std::getline(in, line);) script << line << "\ngo\n";
    return out;
}

std::string bsqldbExistsScript(int tables, const std::string& out) {
    std::ofstream script(out);
    for (int t = 0; t < tables; ++t) {
        std::string name = "T";
        name += std::to_string(t);
        script << TableExistsQuery(Value(name)) << "\ngo\n";
    }
    return out;
}

void bsqldb(const SandboxServer& server, const std::string& script, const std::string& db) {
    std::vector<std::string> argv = {"bsqldb", "-S",  server.freetdsServer(), "-U", "sa", "-P", "",
                                     "-i",     script};
    if (!db.empty()) argv.insert(argv.end(), {"-D", db});
    RunChecked(argv);
}

void createFigures(const BenchContext& c, FigureTable& table, int tables, SandboxServer& server) {
    const Scene scene = makeScene(c.work + "/create" + std::to_string(tables), tables);
    Samples ours, theirs, modify, queries, hooked, window;
    const std::string exists = bsqldbExistsScript(tables, scene.appFolder + "/exists.sql");
    for (int r = 0; r < c.repeats; ++r) {
        const std::string tag = std::to_string(tables) + "r" + std::to_string(r);
        const std::string save = scene.appFolder + "/save" + tag;
        std::filesystem::create_directories(save);
        ours.seconds.push_back(secondsOf([&] { runCreate(scene, server, "RunDb" + tag, save); }));
        const std::string script =
            bsqldbCreateScript(scene, "BsqlDb" + tag, save, save + "/create.sql");
        theirs.seconds.push_back(secondsOf([&] { bsqldb(server, script, ""); }));
        if (tables != 1000) continue;
        modify.seconds.push_back(secondsOf([&] { runModify(scene, server, "RunDb" + tag); }));
        queries.seconds.push_back(secondsOf([&] { bsqldb(server, exists, "RunDb" + tag); }));
        hooked.seconds.push_back(
            secondsOf([&] { runCreate(scene, server, "HookDb" + tag, save, true); }));
        window.seconds.push_back(windowCreateSeconds(scene, server, "WinDb" + tag, save));
    }
    const std::string size = std::to_string(tables) + " tables x 10 columns";
    table.compare("create run, " + size, ours, "bsqldb", theirs);
    if (modify.seconds.empty()) return;
    table.compare("modify run, all " + std::to_string(tables) + " tables present", modify, "bsqldb",
                  queries);
    table.compare("create run with the window's wait hook, " + size, hooked, "create run", ours);
    table.compare("the window's create run (offscreen), " + size, window, "create run", ours);
}

}  // namespace

void RunFigures(const BenchContext& c, FigureTable& table) {
    SandboxServer server(SandboxExe(), c.work + "/sandbox-runs");
    const std::vector<int> sizes =
        c.quick ? std::vector<int>{100, 1000} : std::vector<int>{100, 1000, 5000};
    for (int tables : sizes) createFigures(c, table, tables, server);
}

}  // namespace dsadmin::bench
