#include "cli/RunReport.h"

#include <ostream>

#include "db/DbError.h"

namespace dsadmin::cli {
namespace {

Json Names(const std::vector<std::string>& names) {
    Json::Array a;
    for (const std::string& n : names) a.emplace_back(n);
    return a;
}

// FreeTDS numbers its own messages from 20000 (20009 "Unable to connect", 20017 "Unexpected
// EOF from the server", 20003 a time-out) and gives them a connection or driver SQLSTATE;
// the server's messages in that range (replication's) come with others.
bool IsDriverCode(int number, const std::string& sqlState) {
    return number >= 20000 && number < 21000 &&
           (sqlState.rfind("08", 0) == 0 || sqlState.rfind("HY", 0) == 0 ||
            sqlState.rfind("S1", 0) == 0);
}

bool IsLoginRefusal(int number) {
    return number == 18456 || number == 18452 || number == 18486 || number == 18487 ||
           number == 18488 || number == 4060 || number == 4064;
}

}  // namespace

bool RunReport::sending(const std::string& statement) {
    if (!plan_) {
        if (verbose_) *verbose_ << "> " << statement << "\n" << std::flush;
        return true;
    }
    statements_.push(Json::Object{{"text", statement}, {"outcome", "planned"}});
    if (!quiet_) out_ << statement << "\n";
    return false;
}

void RunReport::sent(const std::string& statement, const std::exception* failure) {
    anySent_ = true;
    const char* outcome = !failure ? "accepted" : LinkBroke(*failure) ? "unknown" : "refused";
    Json entry = Json::Object{{"text", statement}, {"outcome", outcome}};
    if (failure) {
        const std::string kind = KindOf(*failure);
        entry.set("error", ErrorJson(*failure, kind.empty() ? "server" : kind));
        lastRefusal_ = failure->what();
    }
    statements_.push(std::move(entry));
    if (verbose_) *verbose_ << "  " << outcome << ": " << statement << "\n" << std::flush;
}

void RunReport::declined(const std::string& statement) {
    statements_.push(Json::Object{{"text", statement}, {"outcome", "declined"}});
}

void RunReport::table(const std::string& name, TableFate fate) {
    (fate == TableFate::Created ? created_ : present_).push_back(name);
}

void RunReport::failed(const std::exception& failure) {
    std::string kind = classify_ ? classify_(failure) : KindOf(failure);
    error_ = ErrorJson(failure, kind.empty() ? "driver" : kind);
}

bool RunReport::LinkBroke(const std::exception& failure) {
    const auto* db = dynamic_cast<const DbError*>(&failure);
    if (!db) return false;
    if (db->sqlState() == "08S01") return true;
    for (const ServerMessage& m : db->messages())
        if (m.sqlState == "08S01") return true;
    return false;
}

std::string RunReport::KindOf(const std::exception& failure) {
    const auto* db = dynamic_cast<const DbError*>(&failure);
    if (!db) return {};
    const std::string& state = db->sqlState();
    if (state == "HYT00" || state == "HYT01") return "timeout";
    if (state.rfind("08", 0) == 0 || LinkBroke(failure)) return "connect";
    if (IsLoginRefusal(db->number())) return "connect";
    if (IsDriverCode(db->number(), state)) return "driver";
    if (db->number() != 0) return "server";
    return {};
}

Json RunReport::ErrorJson(const std::string& text, const std::string& kind) {
    return Json::Object{{"kind", kind},         {"text", text}, {"number", Json()},
                        {"driverCode", Json()}, {"state", 0},   {"sqlState", ""}};
}

Json RunReport::ErrorJson(const std::exception& failure, const std::string& kind) {
    Json error = ErrorJson(std::string(failure.what()), kind);
    const auto* db = dynamic_cast<const DbError*>(&failure);
    if (!db) return error;
    int state = 0;
    for (const ServerMessage& m : db->messages())
        if (m.number == db->number()) {
            state = m.state;
            break;
        }
    const bool driver = IsDriverCode(db->number(), db->sqlState());
    if (db->number() != 0) error.set(driver ? "driverCode" : "number", db->number());
    error.set("state", state).set("sqlState", db->sqlState());
    return error;
}

void RunReport::addTo(Json& report, bool tables) const {
    report.set("statements", statements_);
    if (tables) {
        report.set(plan_ ? "tablesPlanned" : "tablesCreated", Names(created_));
        report.set("tablesPresent", Names(present_));
    }
}

}  // namespace dsadmin::cli
