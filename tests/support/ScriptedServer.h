#pragma once
// A scripted provider for tests of the runs: while a ScriptedServer lives, every connection
// opened with its provider name (by default "SQLOLEDB", the runs' server) gets a session that
// answers each command text from one queue the test fills (rows, no rows, or an error) and
// records everything sent. For the faults a server cannot produce on demand: a refusal at the
// 500th statement, a connection lost between two statements. Header-only; link dsadmin_db.

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/Providers.h"

namespace dsadmin::test {

class ScriptedServer {
  public:
    explicit ScriptedServer(std::string provider = "SQLOLEDB") : provider_(std::move(provider)) {
        RegisterProvider(provider_, [this](const OleDbString&) -> std::unique_ptr<ProviderSession> {
            std::lock_guard lock(mutex_);
            record("open");
            if (refuseOpen_) throw *refuseOpen_;
            return std::make_unique<Session>(*this);
        });
    }
    ~ScriptedServer() { UnregisterProvider(provider_); }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // The next command is answered with these rows.
    void rows(RowSet rows) { push({std::move(rows), std::nullopt}); }
    // The next `n` commands are accepted without rows.
    void accept(std::size_t n = 1) {
        for (std::size_t i = 0; i < n; ++i) push({std::nullopt, std::nullopt});
    }
    // The next command is refused with `error`.
    void refuse(DbError error) { push({std::nullopt, std::move(error)}); }
    // Every later command, switch of database and close fails with `error`: the link is gone.
    void loseConnectionAfterQueue(DbError error) { lost_ = std::move(error); }
    // Opening a connection fails with `error`.
    void refuseOpen(DbError error) { refuseOpen_ = std::move(error); }

    // Everything sent, in order: each command text, "USE <name>" for a switch of database,
    // "open" and "close".
    std::vector<std::string> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    std::size_t unanswered() const {
        std::lock_guard lock(mutex_);
        return answers_.size();
    }

    // A server's numbered error as the ODBC provider reports it.
    static DbError ServerError(int number, const std::string& text, int state = 1) {
        return DbError(text, "42000", number, {{number, 16, state, "42000", text}});
    }

  private:
    struct Answer {
        std::optional<RowSet> rows;
        std::optional<DbError> error;
    };

    class Session : public ProviderSession {
      public:
        explicit Session(ScriptedServer& server) : server_(server) {}
        std::optional<RowSet> run(const std::string& text) override { return server_.answer(text); }
        void setDefaultDatabase(const std::string& name) override {
            server_.answer("USE " + name);
            database_ = name;
        }
        std::string defaultDatabase() override { return database_; }
        void close() override {
            std::lock_guard lock(server_.mutex_);
            server_.record("close");
            if (server_.answers_.empty() && server_.lost_) throw *server_.lost_;
        }

      private:
        ScriptedServer& server_;
        std::string database_ = "master";
    };

    void push(Answer a) {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(a));
    }
    void record(const std::string& text) { sent_.push_back(text); }

    // A switch of database takes the next answer like any command. With the queue empty a
    // command is accepted without rows, unless the link is gone.
    std::optional<RowSet> answer(const std::string& text) {
        std::lock_guard lock(mutex_);
        record(text);
        if (answers_.empty()) {
            if (lost_) throw *lost_;
            return std::nullopt;
        }
        Answer a = std::move(answers_.front());
        answers_.pop_front();
        if (a.error) throw *a.error;
        return std::move(a.rows);
    }

    std::string provider_;
    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::vector<std::string> sent_;
    std::optional<DbError> lost_;
    std::optional<DbError> refuseOpen_;
};

}  // namespace dsadmin::test
