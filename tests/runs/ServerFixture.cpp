#include "ServerFixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <utility>

#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "settings/PrivateProfile.h"

namespace runs_test {

using namespace dsadmin;

std::unique_ptr<testsupport::SandboxProcess> ServerFixture::sandbox;
std::string ServerFixture::serverName, ServerFixture::login, ServerFixture::password;

namespace {
std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}
}  // namespace

void ServerFixture::StartSandbox(const std::string& saPassword) {
    if (const std::string real = Env("DSADMIN_TEST_SERVER", ""); !real.empty()) {
        serverName = real;
        login = Env("DSADMIN_TEST_LOGIN", "sa");
        password = Env("DSADMIN_TEST_PASSWORD", "");
        return;
    }
    serverName = "(local)";
    login = "sa";
    password = saPassword;
    testsupport::SandboxProcess::Options options;
    options.saPassword = saPassword;
    sandbox = std::make_unique<testsupport::SandboxProcess>(options);
    setenv("TDSPORT", std::to_string(sandbox->port()).c_str(), 1);
}

void ServerFixture::TearDownTestSuite() {
    sandbox.reset();
}

void ServerFixture::SetUp() {
    static int counter = 0;
    db = "RunT" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    std::filesystem::create_directory(app / "data");
    std::ofstream(app / "Setup.ini") << "[DataBase]\nDSName=T\n[Setup]\nSupperUser=1\n";
    texts = {"SQL Server", serverName, login,
             password,     db,         Env("DSADMIN_TEST_SAVE_FOLDER", (app / "data").c_str())};
    dropIfExists(db);
    logStart = sandbox ? sandbox->log().size() : 0;
}

void ServerFixture::TearDown() {
    dropIfExists(db);
}

void ServerFixture::writeStructure(const std::string& tsv) {
    const std::string command =
        std::string(DSADMIN_BIN_DIR) + "/dsfile write '" + (app / "T.DS") + "' --force";
    FILE* pipe = popen(command.c_str(), "w");
    ASSERT_NE(pipe, nullptr);
    std::fputs("ftable\tfname\tflb\tflong\tfauto\tfindex\n", pipe);
    std::fputs(tsv.c_str(), pipe);
    ASSERT_EQ(pclose(pipe), 0) << "dsfile refused the rows";
}

std::string ServerFixture::setting(const std::string& key) const {
    return ReadIniString(app / "Setup.ini", "DataBase", key, "<none>");
}

Connection ServerFixture::admin(const std::string& database) {
    Connection c;
    c.Provider(kServerProvider);
    c.ConnectionString(ServerConnectionString(login, password, serverName));
    c.Open();
    if (database != "master") c.DefaultDatabase(database);
    return c;
}

std::vector<std::string> ServerFixture::column(Connection& c, const std::string& query) {
    Recordset rows;
    rows.Open(query, c, kOpenKeyset, kLockReadOnly);
    std::vector<std::string> out;
    while (!rows.Eof()) {
        out.push_back(rows.Fields(rows.FieldNames().front()).text());
        rows.MoveNext();
    }
    return out;
}

bool ServerFixture::databaseExists(const std::string& name) {
    Connection c = admin();
    return !column(c, "select name from sys.databases where name = '" + name + "'").empty();
}

std::vector<std::string> ServerFixture::tables(const std::string& database) {
    Connection c = admin(database);
    std::map<std::string, std::string> schemas;
    Recordset rows;
    rows.Open("select schema_id, name from sys.schemas", c, kOpenKeyset, kLockReadOnly);
    for (; !rows.Eof(); rows.MoveNext()) {
        schemas[rows.Fields("schema_id").text()] = rows.Fields("name").text();
    }
    rows.Close();
    std::vector<std::string> out;
    rows.Open("select schema_id, name from sys.tables", c, kOpenKeyset, kLockReadOnly);
    for (; !rows.Eof(); rows.MoveNext()) {
        out.push_back(schemas[rows.Fields("schema_id").text()] + "." + rows.Fields("name").text());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void ServerFixture::dropIfExists(const std::string& name) {
    if (databaseExists(name)) admin().Execute("DROP DATABASE " + name);
}

std::string ServerFixture::refusals() {
    if (!sandbox) return "";
    std::string text = sandbox->log();
    for (int quiet = 0, i = 0; quiet < 8 && i < 80; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::string now = sandbox->log();
        quiet = now.size() == text.size() ? quiet + 1 : 0;
        text = std::move(now);
    }
    std::istringstream log(text.substr(std::min(logStart, text.size())));
    logStart = text.size();
    std::string line, out;
    while (std::getline(log, line)) {
        std::size_t at = line.find("refused (");
        if (at != std::string::npos) out += line.substr(at + 9) + "\n";
    }
    return out;
}

namespace {

// A statement as the sandbox's log shows it: its first line, at most 120 bytes then "...".
std::string Excerpt(const std::string& sql) {
    const std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return "";
    std::string line = sql.substr(start, sql.find_first_of("\r\n", start) - start);
    if (line.size() > 120) line = line.substr(0, 120) + "...";
    return line;
}

}  // namespace

void ServerFixture::RefusalLog::sent(const std::string& statement, const std::exception* failure) {
    const auto* refusal = dynamic_cast<const DbError*>(failure);
    if (!refusal || refusal->number() == 0) return;
    // The statement's own error is the last the server numbered (CREATE DATABASE sends 5123
    // before its 1802), as the sandbox's log names it.
    int number = refusal->number();
    std::string text = refusal->what();
    for (const ServerMessage& m : refusal->messages())
        if (m.number != 0) number = m.number, text = m.text;
    lines += "error " + std::to_string(number) + "): " + text + " | " + Excerpt(statement) + "\n";
}

std::string ServerFixture::generic(const std::string& text) const {
    std::string out = text;
    for (const auto& [from, to] : {std::pair{app.path(), std::string("{dir}")}, {db, "{db}"}}) {
        for (std::size_t at = out.find(from); at != std::string::npos; at = out.find(from, at)) {
            out.replace(at, from.size(), to);
            at += to.size();
        }
    }
    return out;
}

std::string ServerFixture::transcript(const dsadmin::test::ScriptedMsgBox& boxes) {
    std::istringstream lines(generic(boxes.transcript() + "-- refused by the server:\n" +
                                     std::exchange(refused.lines, {})));
    std::string line, out;
    while (std::getline(lines, line)) {
        const std::size_t dir = line.find("{dir}");
        if (line.ends_with("...") && dir != std::string::npos)
            line = line.substr(0, dir + 5) + "...";
        out += line + "\n";
    }
    return out;
}

void ExpectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(DSADMIN_SOURCE_DIR) + "/tests/data/" + name + ".txt";
    if (const char* update = std::getenv("DSADMIN_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(actual, text.str()) << "golden file " << path;
}

}  // namespace runs_test
