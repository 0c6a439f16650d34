#include "sandbox/sql/SandboxEngine.h"

#include <stdexcept>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/SandboxSession.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox {

std::unique_ptr<Engine> openEngine(const EngineOptions& options) {
    return std::make_unique<sql::SandboxEngine>(options);
}

}  // namespace sandbox

namespace sandbox::sql {

SandboxEngine::SandboxEngine(const EngineOptions& options) {
    try {
        instance_ = std::make_shared<Instance>(options);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("dsadmin-sandbox cannot open its data folder: ") +
                                 e.what());
    }
}

std::unique_ptr<Session> SandboxEngine::login(const std::string& user, const std::string& password,
                                              const std::string& database, Message& error) {
    if (!equalsName(user, "sa") || password != instance_->options().saPassword) {
        error = msg::loginFailed(user);
        error.line = 1;
        return nullptr;
    }
    auto lock = instance_->lock();
    const std::string wanted = database.empty() ? "master" : database;
    std::optional<DatabaseInfo> db = instance_->findDatabase(wanted);
    try {
        if (db) instance_->open(*db);
    } catch (const SqlError&) {
        db.reset();
    }
    if (!db) {
        error = msg::cannotOpenDatabaseAtLogin(wanted);
        error.line = 1;
        return nullptr;
    }
    instance_->enter(db->name);
    return std::make_unique<SandboxSession>(instance_, user, db->name);
}

}  // namespace sandbox::sql
