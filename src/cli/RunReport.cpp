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

}  // namespace

bool RunReport::sending(const std::string& statement) {
    if (!plan_) return true;
    statements_.push(Json::Object{{"text", statement}, {"outcome", "planned"}});
    if (!quiet_) out_ << statement << "\n";
    return false;
}

void RunReport::sent(const std::string& statement, const std::exception* failure) {
    Json entry = Json::Object{{"text", statement}, {"outcome", failure ? "refused" : "accepted"}};
    if (failure) entry.set("error", ErrorJson(*failure));
    statements_.push(std::move(entry));
}

void RunReport::table(const std::string& name, TableFate fate) {
    (fate == TableFate::Created ? created_ : present_).push_back(name);
}

void RunReport::failed(const std::exception& failure) {
    error_ = ErrorJson(failure);
}

Json RunReport::ErrorJson(const std::exception& failure) {
    const auto* db = dynamic_cast<const DbError*>(&failure);
    int state = 0;
    if (db) {
        for (const ServerMessage& m : db->messages())
            if (m.number == db->number()) {
                state = m.state;
                break;
            }
    }
    return Json::Object{{"number", db ? db->number() : 0},
                        {"state", state},
                        {"sqlState", db ? db->sqlState() : std::string()},
                        {"text", std::string(failure.what())}};
}

void RunReport::addTo(Json& report, bool tables) const {
    report.set("statements", statements_);
    if (tables) {
        report.set(plan_ ? "tablesPlanned" : "tablesCreated", Names(created_));
        report.set("tablesPresent", Names(present_));
    }
    report.set("error", error_ ? *error_ : Json());
}

}  // namespace dsadmin::cli
