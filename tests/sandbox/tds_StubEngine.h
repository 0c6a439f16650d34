#pragma once
// A tiny stand-in engine for the protocol tests that run without the SQL engine. It knows
// "use <db>", "select <text>" (one nvarchar row holding <text>), "fail" (error 208), and
// "wait" (sleeps 300 ms); statements are separated by ';'.

#include <chrono>
#include <thread>

#include "sandbox/Engine.h"

namespace tdstest {

class StubSession : public sandbox::Session {
  public:
    explicit StubSession(std::string db) : db_(std::move(db)) {}
    const std::string& database() const override { return db_; }
    std::vector<sandbox::StatementResult> execute(
        const std::string& sql, const std::vector<sandbox::Param>& params) override {
        std::vector<sandbox::StatementResult> out;
        std::size_t start = 0;
        while (start <= sql.size()) {
            std::size_t end = sql.find(';', start);
            if (end == std::string::npos) end = sql.size();
            std::string stmt = sql.substr(start, end - start);
            start = end + 1;
            if (stmt.find_first_not_of(" \r\n\t") == std::string::npos) continue;
            out.push_back(run(stmt.substr(stmt.find_first_not_of(" \r\n\t")), params));
        }
        return out;
    }
    sandbox::StatementResult useDatabase(const std::string& name) override {
        sandbox::StatementResult r;
        if (name == "nodb") {
            r.error = sandbox::Message{911, 1, 16, "Database 'nodb' does not exist.", 1};
            return r;
        }
        db_ = name;
        r.newDatabase = name;
        r.infos.push_back({5701, 1, 0, "Changed database context to '" + name + "'.", 1});
        return r;
    }

  private:
    sandbox::StatementResult run(const std::string& stmt,
                                 const std::vector<sandbox::Param>& params) {
        sandbox::StatementResult r;
        if (stmt.rfind("use ", 0) == 0) return useDatabase(stmt.substr(4));
        if (stmt == "fail") {
            r.error = sandbox::Message{208, 1, 16, "Invalid object name 'x'.", 1};
        } else if (stmt == "wait") {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        } else if (stmt.rfind("select ", 0) == 0) {
            std::string text = stmt.substr(7);
            for (const auto& p : params)
                if (auto s = std::get_if<std::string>(&p.value))
                    text += "|" + p.name + "=" + *s;
                else if (auto i = std::get_if<std::int64_t>(&p.value))
                    text += "|" + p.name + "=" + std::to_string(*i);
            r.rows = sandbox::ResultSet{{{"v", sandbox::SandboxColumnType::NVarChar, 100, false}},
                                        {{text}}};
            r.rowCount = 1;
        }
        return r;
    }
    std::string db_;
};

class StubEngine : public sandbox::Engine {
  public:
    explicit StubEngine(std::string password) : password_(std::move(password)) {}
    std::unique_ptr<sandbox::Session> login(const std::string& user, const std::string& password,
                                            const std::string& database,
                                            sandbox::Message& error) override {
        if (user != "sa" || password != password_) {
            error = {18456, 1, 14, "Login failed for user '" + user + "'.", 1};
            return nullptr;
        }
        if (database == "nodb") {
            error = {4060, 1, 11,
                     "Cannot open database \"nodb\" requested by the login. The login failed.", 1};
            return nullptr;
        }
        return std::make_unique<StubSession>(database.empty() ? "master" : database);
    }

  private:
    std::string password_;
};

}  // namespace tdstest
