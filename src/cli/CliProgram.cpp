#include "cli/CliProgram.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "Version.h"
#include "base/AsciiText.h"
#include "cli/CliOptions.h"
#include "cli/Json.h"
#include "cli/RunReport.h"
#include "cli/TerminalMsgBox.h"
#include "db/ConnectionStrings.h"
#include "db/odbc/OdbcSession.h"
#include "db/odbc/PreloginProbe.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/check/StructureCheck.h"
#include "settings/DBSet.h"
#include "settings/PrivateProfile.h"

namespace dsadmin::cli {
namespace {

const char* const kProgram = "dsadmin-cli: ";

// The first line of `in` without its line end; nullopt when `in` holds no line at all.
std::optional<std::string> FirstLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string ReadPassword(const CliOptions& o, const LoadedDBSet& set, std::istream& in) {
    switch (o.passwordFrom) {
        case PasswordFrom::Settings:
            return set.password;
        case PasswordFrom::Env: {
            const char* value = std::getenv(o.passwordSource.c_str());
            if (!value)
                throw UsageError("环境变量 " + o.passwordSource + " 不存在（--password-env）");
            return value;
        }
        case PasswordFrom::File: {
            std::ifstream file(o.passwordSource);
            std::optional<std::string> line;
            if (!file || !(line = FirstLine(file)))
                throw UsageError("无法读取密码文件 " + o.passwordSource);
            return *line;
        }
        case PasswordFrom::Stdin:
            if (const std::optional<std::string> line = FirstLine(in)) return *line;
            throw UsageError("标准输入没有密码（--password-stdin）");
    }
    return {};
}

OdbcEncryption EncryptionOf(const CliOptions& o) {
    if (!o.encrypt) return OdbcEncryption::DriverDefault;
    if (*o.encrypt == "optional") return OdbcEncryption::Optional;
    return *o.encrypt == "mandatory" ? OdbcEncryption::Mandatory : OdbcEncryption::Strict;
}

// Every server connection of this process names the program and carries the options.
void SetConnectionOptions(const CliOptions& o) {
    OdbcClientOptions client;
    client.applicationName = "dsadmin-cli";
    client.encryption = EncryptionOf(o);
    client.trustServerCertificate = o.trustServerCertificate;
    if (o.caFile) {
        std::ifstream ca(*o.caFile);
        if (!ca) throw UsageError("无法读取 CA 文件 " + *o.caFile + "（--ca-file）");
        client.caFile = std::filesystem::absolute(*o.caFile).string();
    }
    OdbcSession::SetClientOptions(client);
}

// What the server gives a session with these options: "session", "login", "none", or null
// when it cannot be asked.
Json SessionEncryptionJson(const CliOptions& o) {
    try {
        const ServerAddress address = ParseDataSource(o.server);
        const OdbcEncryption e = EncryptionOf(o);
        if (auto answer = ProbePreloginEncryption(address, FreetdsPreloginByte(e)))
            return SessionEncryption(e, *answer);
    } catch (const std::exception&) {
    }
    return Json();
}

struct Inputs {
    RunFields fields;
    std::string appFolder, setupPath, structureFile;
};

// A Setup.ini that is there but cannot be read, when a value must come from it: nothing is
// sent (exit code 2), as for an unreadable password file.
class UnreadableSettings : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

Inputs Resolve(const CliOptions& o, std::istream& in) {
    Inputs r;
    r.appFolder = o.appFolder ? *o.appFolder : AppFolder();
    r.setupPath = MakeSetupPath(r.appFolder);
    const bool needsSettings =
        !o.structure || !o.login || !o.database || o.passwordFrom == PasswordFrom::Settings;
    if (const auto why = UnreadableSettingsText(r.setupPath); why && needsSettings)
        throw UnreadableSettings(*why);
    const LoadedDBSet set = LoadDBSet(r.setupPath);
    r.structureFile =
        o.structure
            ? std::filesystem::absolute(*o.structure).string()
            : StructureFilePath(r.appFolder, ReadIniString(r.setupPath, "DataBase", "DSName", ""));
    r.fields = {set.databaseType,
                o.server,
                o.login.value_or(set.login),
                ReadPassword(o, set, in),
                o.database.value_or(set.databaseName),
                o.saveFolder.value_or("")};
    return r;
}

void PrintCheck(const StructureCheck& check, std::ostream& out) {
    std::size_t missing = 0, differing = 0;
    for (const TableCheck& t : check.tables()) {
        if (!t.present) {
            ++missing;
            out << "表 " << t.name << "：数据库中没有\n";
            continue;
        }
        if (t.clean()) continue;
        ++differing;
        out << "表 " << t.name << "（" << t.schema << "）：\n";
        for (const ColumnDefinition& c : t.missing)
            out << "  缺少列 " << ColumnDefinitionText(c) << "\n";
        for (const CatalogColumn& c : t.extra)
            out << "  多出列 " << c.name << " " << c.text() << "\n";
        for (const ColumnDifference& c : t.changed)
            out << "  列 " << c.column << " 不同：结构文件为 " << c.model << "，数据库为 "
                << c.database << "\n";
    }
    out << "检查完成：结构文件描述 " << check.tables().size() << " 个表，数据库缺少 " << missing
        << " 个，有差异 " << differing << " 个。\n";
}

Json Column(const ColumnDefinition& c) {
    return Json::Object{{"name", c.name}, {"definition", ColumnDefinitionText(c)}};
}

Json CheckJson(const StructureCheck& check) {
    Json tables = Json::Array{};
    for (const TableCheck& t : check.tables()) {
        Json entry = Json::Object{{"name", t.name}, {"present", t.present}};
        if (t.present) {
            entry.set("schema", t.schema);
            Json missing = Json::Array{}, extra = Json::Array{}, changed = Json::Array{};
            for (const ColumnDefinition& c : t.missing) missing.push(Column(c));
            for (const CatalogColumn& c : t.extra)
                extra.push(Json::Object{{"name", c.name}, {"definition", c.text()}});
            for (const ColumnDifference& c : t.changed) {
                Json facts = Json::Array{};
                for (const std::string& f : c.facts) facts.push(f);
                changed.push(Json::Object{{"name", c.column},
                                          {"model", c.model},
                                          {"database", c.database},
                                          {"differences", facts}});
            }
            entry.set("missingColumns", missing)
                .set("extraColumns", extra)
                .set("changedColumns", changed);
        }
        tables.push(std::move(entry));
    }
    return tables;
}

class Session {
  public:
    Session(const CliOptions& o, const Inputs& inputs, bool interactive, std::istream& in,
            std::ostream& out, std::ostream& err)
        : o_(o),
          inputs_(inputs),
          plan_(o.command == Command::PlanCreate || o.command == Command::PlanModify),
          boxes_(plan_                     ? TerminalMsgBox::Mode::Plan
                 : (o.yes || !interactive) ? TerminalMsgBox::Mode::Yes
                                           : TerminalMsgBox::Mode::Ask,
                 o.json, in, out, err),
          report_(plan_, o.json, out),
          out_(out),
          err_(err) {}

    int run() {
        RunInput input{inputs_.fields, inputs_.setupPath, inputs_.appFolder, boxes_};
        input.saveSettings = false;
        input.structureFile = inputs_.structureFile;
        input.watch = &report_;
        input.plan = plan_ || o_.command == Command::Check;  // both read only
        try {
            dispatch(input);
        } catch (const std::exception& e) {  // modify and check let their failures pass
            report_.failed(e);
            err_ << kSystemErrorPrefix << e.what() << "\n";
        }
        const int code = exitCode();
        if (o_.json) out_ << json(code).dump();
        return code;
    }

  private:
    void dispatch(const RunInput& input) {
        switch (o_.command) {
            case Command::Create:
            case Command::PlanCreate:
                return CreateDatabaseRun(input);
            case Command::Modify:
            case Command::PlanModify:
                return ModifyDatabaseRun(input);
            case Command::Delete:
                return DeleteDatabaseRun(input);
            case Command::Check:
                check_ = StructureCheck::Run(input);
                if (!o_.json) PrintCheck(*check_, out_);
                return;
        }
    }

    int exitCode() const {
        if (boxes_.failed() || report_.hasFailure()) return kExitFailed;
        if (boxes_.answeredNo()) return kExitAnsweredNo;
        if (check_ && !check_->clean()) return kExitDifferences;
        return kExitDone;
    }

    Json json(int code) const {
        Json report = Json::Object{{"command", CliOptions::Name(o_.command)},
                                   {"server", o_.server},
                                   {"database", Trim(inputs_.fields.databaseName)},
                                   {"structureFile", inputs_.structureFile}};
        report_.addTo(report, o_.command != Command::Check && o_.command != Command::Delete);
        Json results = Json::Array{};
        for (const std::string& r : boxes_.results()) results.push(r);
        report.set("messages", results);
        if (check_) report.set("tables", CheckJson(*check_));
        if (boxes_.failed() && !report_.hasFailure())  // a failure the run found itself
            report.set(
                "error",
                Json::Object{
                    {"number", 0}, {"state", 0}, {"sqlState", ""}, {"text", boxes_.failure()}});
        report.set("encryption", SessionEncryptionJson(o_));
        report.set("answeredNo", boxes_.answeredNo());
        report.set("exitCode", code);
        return report;
    }

    const CliOptions& o_;
    const Inputs& inputs_;
    bool plan_;
    TerminalMsgBox boxes_;
    RunReport report_;
    std::ostream& out_;
    std::ostream& err_;
    std::optional<StructureCheck> check_;
};

bool AsksQuestions(Command c) {
    return c == Command::Create || c == Command::Modify || c == Command::Delete;
}

}  // namespace

int CliProgram::Run(const std::vector<std::string>& args, bool interactive, std::istream& in,
                    std::ostream& out, std::ostream& err) {
    try {
        const CliOptions o = CliOptions::Parse(args);
        if (o.help) return out << UsageText(), kExitDone;
        if (o.version) return out << "dsadmin-cli " << kVersion << "\n", kExitDone;
        if (AsksQuestions(o.command) && !o.yes && !interactive)
            throw UsageError("没有终端可以回答问题：请加 --yes");
        SetConnectionOptions(o);
        const Inputs inputs = Resolve(o, in);
        return Session(o, inputs, interactive, in, out, err).run();
    } catch (const UsageError& e) {
        err << kProgram << e.what() << "（--help 显示用法）\n";
        return kExitUsage;
    } catch (const UnreadableSettings& e) {
        err << kProgram << e.what() << "\n";
        return kExitUsage;
    }
}

}  // namespace dsadmin::cli
