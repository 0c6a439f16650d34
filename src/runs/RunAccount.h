#pragma once
// How far a create or modify run got, kept from the steps it reports, and told after it
// failed: what the server holds now and how to go on. The window shows it in its progress
// line until the next run; dsadmin-cli writes it after the failure. Text is UTF-8.

#include <cstddef>
#include <optional>
#include <string>

#include "runs/RunProgress.h"

namespace dsadmin {

class RunAccount : public RunProgress {
  public:
    // Passes every report on to `inner` (not owned) when given.
    explicit RunAccount(RunProgress* inner = nullptr) : inner_(inner) {}

    void report(const RunStep& step) override;

    // The step the run reported last; nullopt before its first.
    std::optional<RunStep::Kind> lastStep() const;

    struct Text {
        // For a one-line label, what to do first, since its end may be cut off:
        // "按“修改现有库结构”补全：已建 1791/3000 个表，停在 Table1792".
        std::string line;
        std::string full;  // every fact, and a hint for the server's file errors
    };
    // The account of the run after the failure whose description is `failure` (the error
    // box's text or the exception's). Empty texts until the run reported ReadingStructure:
    // for a failure to connect (the box says all there is) and for the delete run.
    Text afterFailure(const std::string& failure) const;

    // What to do about a server's file error that `failure` reports: operating system error 5
    // (the server's own account may not write the folder) or 3 (the folder does not exist on
    // the server's machine); empty for any other failure.
    static std::string FileErrorHint(const std::string& failure);

  private:
    Text databaseNotMade(const std::string& failure) const;
    Text stoppedAtTable() const;

    RunProgress* inner_;
    std::optional<RunStep> last_;
    bool creating_ = false;          // a create run: it reported CreatingDatabase
    bool readStructure_ = false;     // a create or modify run that got past its connection
    std::size_t tablesCreated_ = 0;  // CreatingTable steps reported, the current one included
};

}  // namespace dsadmin
