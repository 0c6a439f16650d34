#include "sandbox/sql/SandboxSession.h"

#include "sandbox/MemoryBudget.h"
#include "sandbox/sql/AppLockProcedures.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/Parser.h"
#include "sandbox/sql/SchemaChanges.h"
#include "sandbox/sql/SelectRunner.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"
#include "sandbox/sql/SqliteDb.h"

namespace sandbox::sql {

namespace {

template <class... F>
struct Visitor : F... {
    using F::operator()...;
};
template <class... F>
Visitor(F...) -> Visitor<F...>;

void putError(const SqlError& e, StatementResult& result) {
    result.error = e.last();
    result.precedingErrors = e.preceding();
}

}  // namespace

SandboxSession::SandboxSession(std::shared_ptr<Instance> instance, std::string user,
                               std::string database)
    : instance_(std::move(instance)) {
    facts_.user = std::move(user);
    facts_.database = std::move(database);
    facts_.spid = instance_->nextSpid();
    instance_->sessions()[facts_.spid] = {facts_.user, DatabaseFile::now(), facts_.database};
}

SandboxSession::~SandboxSession() {
    auto lock = instance_->lock();
    instance_->appLocks().releaseAll(facts_.spid);
    instance_->sessions().erase(facts_.spid);
    instance_->leave(facts_.database);
}

std::vector<StatementResult> SandboxSession::execute(const std::string& sql,
                                                     const std::vector<Param>& params) {
    std::vector<Statement> statements;
    facts_.variables.clear();  // variables live for one batch
    try {
        statements = Parser::parseBatch(sql, params);
    } catch (SqlError& e) {
        e.setLine(1);
        StatementResult result;
        putError(e, result);
        return {result};
    }
    std::vector<StatementResult> results;
    if (!chargeRequest(statements.size() * sizeof(StatementResult))) {
        StatementResult full;
        full.error = msg::insufficientMemory();
        full.error->line = 1;
        return {full};
    }
    results.reserve(statements.size());
    for (const Statement& s : statements) {
        // Once the request's memory is spent the batch ends with 701, instead of a result set
        // that has been read but may not be kept.
        StatementResult full;
        full.error = msg::insufficientMemory();
        full.error->line = s.line;
        results.push_back(run(s));
        std::size_t bytes = 0;
        if (results.back().rows)
            for (const auto& row : results.back().rows->rows)
                bytes += sizeof(row) + row.size() * sizeof(Cell);
        if (!chargeRequest(bytes)) {
            results.back() = std::move(full);
            break;
        }
    }
    return results;
}

StatementResult SandboxSession::useDatabase(const std::string& name) {
    StatementResult result;
    auto lock = instance_->lock();
    try {
        use(name, result);
    } catch (SqlError& e) {
        e.setLine(1);
        putError(e, result);
    }
    return result;
}

StatementResult SandboxSession::run(const Statement& statement) {
    StatementResult result;
    auto lock = instance_->lock();
    try {
        runBody(statement, result, lock);
    } catch (SqlError& e) {
        e.setLine(statement.line);
        result = StatementResult{};
        putError(e, result);
        if (std::holds_alternative<Execute>(statement.body)) result.returnStatus = -999;
    } catch (const SqliteDiskFull&) {
        // A database file could not grow: SQL Server's answer when a filegroup is full.
        const auto* table = std::get_if<CreateTable>(&statement.body);
        result = StatementResult{};
        result.error =
            msg::filegroupFull(table ? table->table.text : facts_.database, facts_.database);
        result.error->line = statement.line;
    } catch (const std::exception& e) {
        result = StatementResult{};
        result.error =
            msg::make(msg::kNotSupported, 16, 1,
                      std::string("The dsadmin sandbox failed: ") + e.what(), statement.line);
    }
    return result;
}

void SandboxSession::runBody(const Statement& statement, StatementResult& result,
                             std::unique_lock<std::mutex>& held) {
    SchemaChanges changes(*instance_, facts_);
    std::visit(
        Visitor{
            [&](const CreateDatabase& s) { instance_->createDatabase(s); },
            [&](const DropDatabase& s) { dropDatabases(s, held); },
            [&](const UseDatabase& s) { use(s.name, result); },
            [&](const CreateTable& s) { changes.createTable(s, held); },
            [&](const DropTable& s) { dropTables(s, held); },
            [&](const CreateSchema& s) { changes.createSchema(s); },
            [&](const SetOption& s) { set(s, result); },
            [&](const Select& s) {
                result.rows = SelectRunner(*instance_, facts_).run(s);
                result.rowCount = static_cast<std::int64_t>(result.rows->rows.size());
            },
            [&](const Declare& s) {
                for (const auto& [name, type] : s.variables)
                    facts_.variables[name] = {type, Cell{}};
            },
            [&](const Execute& s) { AppLockProcedures::run(s, *instance_, facts_, result, held); },
        },
        statement.body);
}

void SandboxSession::use(const std::string& name, StatementResult& result) {
    const std::optional<DatabaseInfo> db = instance_->findDatabase(name);
    if (!db) throw SqlError(msg::databaseMissing(name));
    instance_->open(*db);  // 945 when its file is gone
    instance_->enter(db->name);
    instance_->leave(facts_.database);
    facts_.database = db->name;
    instance_->sessions()[facts_.spid].database = db->name;
    result.newDatabase = db->name;
    result.infos.push_back(msg::changedDatabase(db->name));
}

// Every name is tried; the errors of all failing names come back together.
void SandboxSession::dropDatabases(const DropDatabase& s, std::unique_lock<std::mutex>& held) {
    std::vector<Message> errors;
    for (const std::string& name : s.names) {
        try {
            instance_->dropDatabase(name, s.ifExists, held);
        } catch (const SqlError& e) {
            errors.insert(errors.end(), e.preceding().begin(), e.preceding().end());
            errors.push_back(e.last());
        }
    }
    if (errors.empty()) return;
    const Message last = errors.back();
    errors.pop_back();
    throw SqlError(last, errors);
}

void SandboxSession::dropTables(const DropTable& s, std::unique_lock<std::mutex>& held) {
    SchemaChanges changes(*instance_, facts_);
    std::vector<Message> errors;
    for (const ObjectName& name : s.tables) {
        try {
            changes.dropTable(name, s.ifExists, held);
        } catch (const SqlError& e) {
            errors.push_back(e.last());
        }
    }
    if (errors.empty()) return;
    const Message last = errors.back();
    errors.pop_back();
    throw SqlError(last, errors);
}

void SandboxSession::set(const SetOption& option, StatementResult& result) {
    if (option.option != "LANGUAGE") return;  // every other option is accepted and has no effect
    if (!equalsName(option.value, "us_english") && !equalsName(option.value, "english"))
        throw SqlError(msg::notSupported("The language '" + option.value + "'"));
    result.infos.push_back(msg::changedLanguage("us_english"));
}

}  // namespace sandbox::sql
