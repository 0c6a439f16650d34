#pragma once
// A logged-in connection: parses each batch whole, then runs its statements one by one under
// the instance lock (CREATE TABLE and DROP TABLE under their database file's lock alone, once
// they hold that).
// A statement's error is its own result; the statements after it still run.

#include <memory>
#include <mutex>

#include "sandbox/Engine.h"
#include "sandbox/sql/Ast.h"
#include "sandbox/sql/Instance.h"
#include "sandbox/sql/SessionFacts.h"

namespace sandbox::sql {

class SandboxSession : public Session {
  public:
    // `database` is the catalog's spelling; the caller has counted the session in it
    // (Instance::enter) and holds the lock. The destructor leaves the database.
    SandboxSession(std::shared_ptr<Instance> instance, std::string user, std::string database);
    ~SandboxSession() override;

    const std::string& database() const override { return facts_.database; }
    std::vector<StatementResult> execute(const std::string& sql,
                                         const std::vector<Param>& params) override;
    StatementResult useDatabase(const std::string& name) override;

  private:
    StatementResult run(const Statement& statement);
    void runBody(const Statement& statement, StatementResult& result,
                 std::unique_lock<std::mutex>& held);
    void use(const std::string& name, StatementResult& result);
    void dropDatabases(const DropDatabase& statement, std::unique_lock<std::mutex>& held);
    void dropTables(const DropTable& statement, std::unique_lock<std::mutex>& held);
    void set(const SetOption& option, StatementResult& result);

    std::shared_ptr<Instance> instance_;
    SessionFacts facts_;
};

}  // namespace sandbox::sql
