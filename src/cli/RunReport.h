#pragma once
// What dsadmin-cli learns of a run through the run's watch: each statement with the server's
// answer, the tables created and those found present, and the failure. For a plan it holds
// back every statement that would change the server and prints it instead. Builds the JSON
// report. Never holds the password: the core's failures do not carry it.

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
    // (one a line) unless `quiet`.
    RunReport(bool plan, bool quiet, std::ostream& out) : plan_(plan), quiet_(quiet), out_(out) {}

    bool sending(const std::string& statement) override;
    void sent(const std::string& statement, const std::exception* failure) override;
    void table(const std::string& name, TableFate fate) override;
    void failed(const std::exception& failure) override;

    bool hasFailure() const { return error_.has_value(); }

    // Adds "statements", with `tables` the table lists ("tablesCreated" and "tablesPresent",
    // or "tablesPlanned" for a plan), and "error" (null, or number, state, sqlState, text) to
    // `report`.
    void addTo(Json& report, bool tables) const;

    // The error object of a failure: the server's number, state and SQLSTATE when it is a
    // DbError (0 and "" otherwise) and its description.
    static Json ErrorJson(const std::exception& failure);

  private:
    bool plan_;
    bool quiet_;
    std::ostream& out_;
    Json statements_ = Json::Array{};
    std::vector<std::string> created_, present_;
    std::optional<Json> error_;
};

}  // namespace dsadmin::cli
