#include "cli/CliSession.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "base/AsciiText.h"
#include "cli/DeployLock.h"
#include "cli/PlanChecks.h"
#include "cli/RunGate.h"
#include "cli/RunReport.h"
#include "cli/TerminalMsgBox.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "db/odbc/PreloginProbe.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DatabaseName.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/RunAccount.h"
#include "runs/check/StructureCheck.h"

namespace dsadmin::cli {
namespace {

const char* const kNotSuperUser =
    "删除数据库需要超级用户：程序目录的 Setup.ini 中 [Setup] 的 SupperUser 应为 1";

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

// The user tables of the database that no described table names (schema-qualified), as the
// check finds tables: by name without regard to case. Its two queries go to `report`.
std::vector<std::pair<std::string, std::string>> UndescribedTables(const RunInput& input,
                                                                   const std::string& database,
                                                                   const StructureCheck& check,
                                                                   RunReport& report) {
    std::set<std::string> described;
    for (const TableCheck& t : check.tables()) described.insert(DatabaseCatalog::Fold(t.name));
    Connection server;
    OpenServerConnection(server, input);
    server.DefaultDatabase(database);
    const auto read = [&](const std::string& query, const auto& each) {
        Recordset rows;
        rows.Open(query, server, kOpenKeyset, kLockReadOnly);
        report.own(query, nullptr);
        for (; !rows.Eof(); rows.MoveNext()) each(rows);
        rows.Close();
    };
    std::map<std::string, std::string> schemas;
    read("select schema_id, name from sys.schemas",
         [&](Recordset& r) { schemas[r.Fields("schema_id").text()] = r.Fields("name").text(); });
    std::vector<std::pair<std::string, std::string>> extra;
    read("select schema_id, name from sys.tables", [&](Recordset& r) {
        const std::string name = r.Fields("name").text();
        if (!described.count(DatabaseCatalog::Fold(name)))
            extra.emplace_back(schemas[r.Fields("schema_id").text()], name);
    });
    std::sort(extra.begin(), extra.end());
    server.Close();
    return extra;
}

// A failure found before the run's first change (lock, checks, the refused super user).
struct EarlyFailure {
    Json error;
};

// The state of one command's run.
class SessionRun {
  public:
    SessionRun(const CliOptions& o, const CliInputs& inputs, const RunClock& clock,
               bool interactive, std::istream& in, std::ostream& out, std::ostream& err)
        : o_(o),
          inputs_(inputs),
          clock_(clock),
          out_(o.quiet ? null_ : out),
          json_(out),
          err_(err),
          database_(Trim(inputs.fields.databaseName)),
          mode_(o.plan()                  ? TerminalMsgBox::Mode::Plan
                : (o.yes || !interactive) ? TerminalMsgBox::Mode::Yes
                                          : TerminalMsgBox::Mode::Ask),
          boxes_(mode_, o.json, in, out_, err),
          gate_(boxes_, [this] { openGate(); }),
          report_(o.plan(), o.json || o.quiet, out_, o.verbose ? &err : nullptr) {
        report_.classifyWith([this](const std::exception& e) { return kindOf(e); });
    }

    int run() {
        RunInput input{inputs_.fields, inputs_.setupPath, inputs_.appFolder, gate_};
        input.saveSettings = false;
        input.structureFile = inputs_.structureFile;
        input.watch = &report_;
        input.progress = &steps_;
        input.plan = o_.plan() || o_.command == Command::Check;  // both read only
        input.passwordAsWritten = true;
        input.connectionTimeout = o_.loginTimeoutSeconds;
        input.commandTimeout = o_.queryTimeoutSeconds;
        input.saveFolderHere = IsThisMachine(inputs_.address.host);
        input_ = &input;
        const bool asks = o_.changes() && !o_.json;
        std::ostream& target = mode_ == TerminalMsgBox::Mode::Ask ? err_ : out_;
        if (asks)
            target << "服务器 " << AddressText(inputs_.address) << "，数据库 " << database_ << "\n";
        try {
            if (o_.command == Command::Delete && !inputs_.superUser) {
                err_ << kNotSuperUser << "\n";
                early_ =
                    EarlyFailure{RunReport::ErrorJson(std::string(kNotSuperUser), "permission")};
            } else {
                dispatch(input);
            }
        } catch (const GateClosed&) {
        } catch (const std::exception& e) {  // modify and check let their failures pass
            report_.failed(e);
            err_ << kSystemErrorPrefix << e.what() << "\n";
            tellAccount(e.what());
        }
        if (boxes_.failed()) tellAccount(boxes_.failure());
        if (!gate_.declined().empty()) report_.declined(gate_.declined());
        lock_.reset();  // released before the result is reported
        const int code = exitCode();
        if (asks && code == kExitDone)
            out_ << "（服务器 " << AddressText(inputs_.address) << "，数据库 " << database_
                 << "）\n";
        if (o_.json) json_ << json(code).dump();
        return code;
    }

  private:
    void dispatch(const RunInput& input) {
        switch (*o_.command) {
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
                extraTables_ = UndescribedTables(input, database_, *check_, report_);
                if (o_.json) return;
                PrintCheck(*check_, out_);
                for (const auto& [schema, name] : extraTables_)
                    out_ << "另有表 " << schema << "." << name
                         << "：结构文件没有描述（仅供参考）\n";
                return;
        }
    }

    // How far a create or modify run got before `failure` ended it, after the failure's own
    // text; the JSON report lists the tables instead.
    void tellAccount(const std::string& failure) {
        if (o_.json || o_.plan() || o_.command == Command::Check) return;
        const std::string account = steps_.afterFailure(failure).full;
        if (!account.empty()) err_ << account << "\n";
    }

    // After the question: the lock (create, modify, delete), then the checks (create,
    // modify and their plans). A name the run will refuse itself is left to the run.
    void openGate() {
        if (!IsPlainIdentifier(database_, kMaxDatabaseNameUnits)) return;
        Connection own;
        try {
            Connection* server = nullptr;
            if (o_.changes()) {
                lockInfo_ = Json::Object{{"name", DeployLock::Name(database_)},
                                         {"timeoutSeconds", o_.lockTimeoutSeconds},
                                         {"acquired", false}};
                const auto start = std::chrono::steady_clock::now();
                lock_ = std::make_unique<DeployLock>(*input_, database_, o_.lockTimeoutSeconds);
                lockInfo_.set("acquired", true)
                    .set("acquireMs",
                         static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - start)
                                               .count()))
                    .set("waitedMs", static_cast<long>(lock_->waited().count()));
                server = &lock_->connection();
            }
            if (o_.command == Command::Delete) return;
            if (!server) {
                OpenServerConnection(own, *input_);
                server = &own;
            }
            const bool creates = o_.command == Command::Create || o_.command == Command::PlanCreate;
            checks_ = PlanChecks::Run(*input_, *server, database_, creates);
        } catch (const LockNotTaken& e) {
            err_ << e.what() << "\n";
            early_ = EarlyFailure{RunReport::ErrorJson(std::string(e.what()), "lock")};
            throw GateClosed{};
        } catch (const std::exception& e) {
            err_ << kSystemErrorPrefix << e.what() << "\n";
            const std::string kind = RunReport::KindOf(e);
            early_ = EarlyFailure{RunReport::ErrorJson(e, kind.empty() ? "model" : kind)};
            throw GateClosed{};
        }
        if (checks_.empty()) return;
        std::string text;
        for (const CheckFailure& f : checks_) {
            err_ << f.text << "\n";
            text += (text.empty() ? "" : "\n") + f.text;
        }
        early_ = EarlyFailure{RunReport::ErrorJson(text, checks_.front().kind)};
        throw GateClosed{};
    }

    // Where a failure of the run came from.
    std::string kindOf(const std::exception& e) const {
        if (!IsPlainIdentifier(database_, o_.command == Command::Create
                                              ? kMaxCreatedDatabaseNameUnits
                                              : kMaxDatabaseNameUnits) &&
            !database_.empty())
            return "name";
        const std::string kind = RunReport::KindOf(e);
        if (!kind.empty()) return kind;
        if (report_.answeredStatement(e)) return "server";
        const auto step = steps_.lastStep();
        if (step == RunStep::Kind::ReadingStructure || step == RunStep::Kind::CheckingTable ||
            step == RunStep::Kind::CreatingTable)
            return "model";
        if (o_.command == Command::Check && !report_.anySent()) return "model";
        return "driver";
    }

    bool failed() const { return boxes_.failed() || report_.hasFailure() || early_; }

    int exitCode() const {
        if (failed()) return kExitFailed;
        if (boxes_.answeredNo()) return kExitAnsweredNo;
        if (check_ && !check_->clean()) return kExitDifferences;
        return kExitDone;
    }

    Json errorJson() const {
        if (early_) return early_->error;
        if (report_.error()) return *report_.error();
        if (!boxes_.failed()) return Json();
        const std::string& text = boxes_.failure();  // a failure the run found itself
        const bool savePath = text == kSavePathEmptyText || text == kSavePathInvalidText;
        return RunReport::ErrorJson(text, savePath ? "savePath" : "name");
    }

    Json json(int code) const {
        Json report = ReportHeader(o_, &inputs_, clock_);
        report.set("lock", lockInfo_);
        if (o_.command != Command::Check && o_.command != Command::Delete) {
            Json checks = Json::Array{};
            for (const CheckFailure& f : checks_)
                checks.push(Json::Object{{"kind", f.kind}, {"text", f.text}});
            report.set("checks", checks);
        }
        report_.addTo(report, o_.command != Command::Check && o_.command != Command::Delete);
        Json results = Json::Array{};
        for (const std::string& r : boxes_.results()) results.push(r);
        report.set("messages", results);
        if (check_) {
            report.set("tables", CheckJson(*check_));
            Json extra = Json::Array{};
            for (const auto& [schema, name] : extraTables_)
                extra.push(Json::Object{{"schema", schema}, {"name", name}});
            report.set("extraTables", extra);
        }
        report.set("error", errorJson());
        report.set("encryption", SessionEncryptionJson(o_));
        report.set("answeredNo", boxes_.answeredNo());
        report.set("exitCode", code);
        return report;
    }

    const CliOptions& o_;
    const CliInputs& inputs_;
    const RunClock& clock_;
    std::ostream null_{nullptr};  // takes what --quiet keeps back
    std::ostream& out_;
    std::ostream& json_;
    std::ostream& err_;
    std::string database_;
    TerminalMsgBox::Mode mode_;
    TerminalMsgBox boxes_;
    RunGate gate_;
    RunReport report_;
    RunAccount steps_;
    const RunInput* input_ = nullptr;
    std::unique_ptr<DeployLock> lock_;
    Json lockInfo_;
    std::vector<CheckFailure> checks_;
    std::optional<EarlyFailure> early_;
    std::optional<StructureCheck> check_;
    std::vector<std::pair<std::string, std::string>> extraTables_;
};

}  // namespace

std::string RunClock::startText() const {
    const std::time_t t = std::chrono::system_clock::to_time_t(wall);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000;
    char tail[8];
    std::snprintf(tail, sizeof tail, ".%03dZ", static_cast<int>(ms));
    return std::string(text) + tail;
}

long RunClock::elapsedMs() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - steady)
                                 .count());
}

OdbcEncryption EncryptionOf(const CliOptions& o) {
    if (!o.encrypt) return OdbcEncryption::DriverDefault;
    if (*o.encrypt == "optional") return OdbcEncryption::Optional;
    return *o.encrypt == "mandatory" ? OdbcEncryption::Mandatory : OdbcEncryption::Strict;
}

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

bool IsThisMachine(const std::string& host) {
    std::string h = host;
    for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (h == "localhost" || h == "::1" || h == "[::1]") return true;
    in_addr v4{};
    if (::inet_pton(AF_INET, h.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return false;
    std::string own = name;
    for (char& c : own) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return h == own || h == own.substr(0, own.find('.'));
}

std::string AddressText(const ServerAddress& a) {
    std::string text = a.host;
    if (!a.instance.empty()) text += "\\" + a.instance;
    if (a.port != 0) text += ":" + std::to_string(a.port);
    return text;
}

Json ReportHeader(const CliOptions& o, const CliInputs* inputs, const RunClock& clock) {
    Json report = Json::Object{{"schemaVersion", kSchemaVersion},
                               {"command", o.command ? Json(CliOptions::Name(*o.command)) : Json()},
                               {"server", o.server}};
    if (inputs) {
        const ServerAddress& a = inputs->address;
        report.set("serverAddress",
                   Json::Object{{"host", a.host},
                                {"port", a.port ? Json(a.port) : Json()},
                                {"instance", a.instance.empty() ? Json() : Json(a.instance)}});
        Json cleared = Json::Array{};
        for (const std::string& name : inputs->envCleared) cleared.push(name);
        report.set("environmentCleared", cleared);
        report.set("database", Trim(inputs->fields.databaseName));
        report.set("structureFile", inputs->structureFile);
    } else {
        report.set("serverAddress", Json());
        report.set("database", o.database ? Json(Trim(*o.database)) : Json());
        report.set("structureFile", Json());
    }
    report.set("startTime", clock.startText());
    report.set("durationMs", clock.elapsedMs());
    return report;
}

int CliSession::run() {
    return SessionRun(o_, inputs_, clock_, interactive_, in_, out_, err_).run();
}

}  // namespace dsadmin::cli
