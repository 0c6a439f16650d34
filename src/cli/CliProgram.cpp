#include "cli/CliProgram.h"

#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "Version.h"
#include "cli/CliOptions.h"
#include "cli/FreeTdsEnvironment.h"
#include "cli/Json.h"
#include "cli/RunReport.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/odbc/OdbcSession.h"
#include "runs/RunFields.h"
#include "settings/DBSet.h"
#include "settings/PrivateProfile.h"

namespace dsadmin::cli {
namespace {

const char* const kProgram = "dsadmin-cli: ";

// The first line of `in` without its line end ("\n" or "\r\n"); nullopt when `in` holds no
// line at all. Nothing else is taken away: blanks at either end belong to the password.
std::optional<std::string> FirstLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The terminal's settings while echo is off, put back by a signal that ends the program.
termios gSavedTerminal;
volatile std::sig_atomic_t gEchoOff = 0;

extern "C" void RestoreEchoAndDie(int signal) {
    if (gEchoOff) ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Asks on the terminal with echo off.
std::string PromptPassword(std::istream& in, std::ostream& err, bool interactive) {
    if (!interactive || ::tcgetattr(STDIN_FILENO, &gSavedTerminal) != 0)
        throw UsageError("--password-prompt 需要终端（标准输入不是终端）");
    err << "密码：" << std::flush;
    termios quiet = gSavedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    auto oldInt = std::signal(SIGINT, RestoreEchoAndDie);
    auto oldTerm = std::signal(SIGTERM, RestoreEchoAndDie);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    gEchoOff = 1;
    const std::optional<std::string> line = FirstLine(in);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
    gEchoOff = 0;
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    if (!line) throw UsageError("没有读到密码（--password-prompt）");
    return *line;
}

// The password as the source gives it. A mistake's text names the option, never the
// variable, the file or what they hold.
std::string ReadPassword(const CliOptions& o, const LoadedDBSet& set, std::istream& in,
                         std::ostream& err, bool interactive) {
    switch (o.passwordFrom) {
        case PasswordFrom::Settings:
            // No password anywhere: on a terminal it is asked for, as --password-prompt does.
            if (set.password.empty() && interactive) return PromptPassword(in, err, interactive);
            return set.password;
        case PasswordFrom::Env: {
            const char* value = std::getenv(o.passwordSource.c_str());
            if (!value) throw UsageError("--password-env 指定的环境变量不存在");
            return value;
        }
        case PasswordFrom::File: {
            std::ifstream file(o.passwordSource, std::ios::binary);
            std::optional<std::string> line;
            if (!file || !(line = FirstLine(file)))
                throw UsageError("无法读取 --password-file 指定的密码文件（不存在、不可读或为空）");
            return *line;
        }
        case PasswordFrom::Stdin:
            if (const std::optional<std::string> line = FirstLine(in)) return *line;
            throw UsageError("标准输入没有密码（--password-stdin）");
        case PasswordFrom::Prompt:
            return PromptPassword(in, err, interactive);
    }
    return {};
}

// Every server connection of this process names the program and carries the options.
void SetConnectionOptions(const CliOptions& o) {
    OdbcClientOptions client;
    client.applicationName = "dsadmin-cli";
    client.encryption = EncryptionOf(o);
    client.trustServerCertificate = o.trustServerCertificate;
    if (o.caFile) {
        std::ifstream ca(*o.caFile);
        if (!ca) throw UsageError("无法读取 CA 文件（--ca-file）");
        client.caFile = std::filesystem::absolute(*o.caFile).string();
    }
    OdbcSession::SetClientOptions(client);
}

ServerAddress Address(const std::string& server) {
    try {
        return ParseDataSource(server);
    } catch (const DbError&) {
        throw UsageError("--server 的端口无效（应为 1 到 65535 的整数）");
    }
}

// A Setup.ini that is there but cannot be read, when a value must come from it: nothing is
// sent (exit code 2), as for an unreadable password file.
class UnreadableSettings : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

CliInputs Resolve(const CliOptions& o, std::istream& in, std::ostream& err, bool interactive) {
    CliInputs r;
    r.address = Address(o.server);
    r.appFolder = o.appFolder ? *o.appFolder : AppFolder();
    r.setupPath = MakeSetupPath(r.appFolder);
    const bool needsSettings =
        !o.structure || !o.login || !o.database || o.passwordFrom == PasswordFrom::Settings;
    if (const auto why = UnreadableSettingsText(r.setupPath); why && needsSettings)
        throw UnreadableSettings(*why);
    const LoadedDBSet set = LoadDBSet(r.setupPath);
    r.superUser = set.superUser;
    r.structureFile =
        o.structure
            ? std::filesystem::absolute(*o.structure).string()
            : StructureFilePath(r.appFolder, ReadIniString(r.setupPath, "DataBase", "DSName", ""));
    r.fields = {set.databaseType,
                o.server,
                o.login.value_or(set.login),
                ReadPassword(o, set, in, err, interactive),
                o.database.value_or(set.databaseName),
                o.saveFolder.value_or("")};
    return r;
}

}  // namespace

int CliProgram::Run(const std::vector<std::string>& args, bool interactive, std::istream& in,
                    std::ostream& out, std::ostream& err) {
    const RunClock clock;
    CliOptions o;
    try {
        CliOptions::Parse(args, o);
        if (o.help) return out << UsageText(), kExitDone;
        if (o.version) return out << "dsadmin-cli " << kVersion << "\n", kExitDone;
        if (o.changes() && !o.yes && !interactive)
            throw UsageError("没有终端可以回答问题：请加 --yes");
        SetConnectionOptions(o);
        CliInputs inputs = Resolve(o, in, err, interactive);
        inputs.envCleared = FreeTdsEnvironment::Clear();
        if (o.verbose)
            for (const std::string& name : inputs.envCleared)
                err << kProgram << "已忽略环境变量 " << name << "（--server 决定连接的服务器）\n";
        return CliSession(o, inputs, clock, interactive, in, out, err).run();
    } catch (const UsageError& e) {
        err << kProgram << e.what() << "（--help 显示用法）\n";
        if (o.json) {
            Json report = ReportHeader(o, nullptr, clock);
            report.set("statements", Json::Array{});
            report.set("messages", Json::Array{});
            report.set("error", RunReport::ErrorJson(std::string(e.what()), "usage"));
            report.set("answeredNo", false);
            report.set("exitCode", static_cast<int>(kExitUsage));
            out << report.dump();
        }
        return kExitUsage;
    } catch (const UnreadableSettings& e) {
        err << kProgram << e.what() << "\n";
        return kExitUsage;
    }
}

}  // namespace dsadmin::cli
