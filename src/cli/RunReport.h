#pragma once
// What dsadmin-cli learns of a run through the run's watch: each statement with the server's
// answer, the tables created and those found present, and the failure. For a plan it holds
// back every statement that would change the server and prints it instead. Builds the JSON
// report's statement list and error objects. Never holds the password: the core's failures
// do not carry it.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "runs/RunWatch.h"

namespace dsadmin::cli {

class RunReport : public RunWatch {
  public:
    // With `plan`, statements that change the server are held back and written to `out`
    // (one a line) unless `quiet`. With `verbose`, each statement is written to `err` as it
    // is sent.
    RunReport(bool plan, bool quiet, std::ostream& out, std::ostream* verbose = nullptr)
        : plan_(plan), quiet_(quiet), out_(out), verbose_(verbose) {}

    bool sending(const std::string& statement) override;
    void sent(const std::string& statement, const std::exception* failure) override;
    void table(const std::string& name, TableFate fate) override;
    void failed(const std::exception& failure) override;

    // A statement the operator declined: listed with outcome "declined", never sent.
    void declined(const std::string& statement);
    // A statement dsadmin-cli sent itself (the lock), listed like the run's.
    void own(const std::string& statement, const std::exception* failure) {
        sent(statement, failure);
    }

    // How failed() names the kind of a failure ("server", "model", ...).
    void classifyWith(std::function<std::string(const std::exception&)> classify) {
        classify_ = std::move(classify);
    }

    bool hasFailure() const { return error_.has_value(); }
    // The error object of the failure that ended the run, once failed() was told of one.
    const std::optional<Json>& error() const { return error_; }
    // True when `failure` is the server's answer to a statement listed here (not a failure
    // to read the structure file, say).
    bool answeredStatement(const std::exception& failure) const {
        return lastRefusal_ && *lastRefusal_ == failure.what();
    }
    bool anySent() const { return anySent_; }

    // Adds "statements", and with `tables` the table lists ("tablesCreated" and
    // "tablesPresent", or "tablesPlanned" for a plan), to `report`.
    void addTo(Json& report, bool tables) const;

    // The error object of a failure whose kind is `kind`: "text", and for a DbError "number"
    // (the server's message number, null when the failure is not the server's),
    // "driverCode" (the driver's own number, null otherwise), "state" and "sqlState".
    static Json ErrorJson(const std::exception& failure, const std::string& kind);
    static Json ErrorJson(const std::string& text, const std::string& kind);

    // The failure's classification when it is a DbError: "timeout" (HYT00/HYT01), "connect"
    // (a lost or refused link, a refused login), "server" (the server's numbered message),
    // "driver" (the driver's own number); "" when it tells nothing of itself.
    static std::string KindOf(const std::exception& failure);
    // True when the connection broke under a statement, so its fate is unknown.
    static bool LinkBroke(const std::exception& failure);

  private:
    bool plan_;
    bool quiet_;
    std::ostream& out_;
    std::ostream* verbose_;
    Json statements_ = Json::Array{};
    std::vector<std::string> created_, present_;
    std::optional<Json> error_;
    std::function<std::string(const std::exception&)> classify_;
    std::optional<std::string> lastRefusal_;
    bool anySent_ = false;
};

}  // namespace dsadmin::cli
