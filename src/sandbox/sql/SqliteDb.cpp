#include "sandbox/sql/SqliteDb.h"

#include <sqlite3.h>

#include <cerrno>
#include <stdexcept>

namespace sandbox::sql {

namespace {
bool diskFull(sqlite3* db, int rc) {
    if ((rc & 0xFF) == SQLITE_FULL) return true;
    const int os = db ? sqlite3_system_errno(db) : 0;
    return (rc & 0xFF) == SQLITE_IOERR && (os == ENOSPC || os == EDQUOT);
}

[[noreturn]] void fail(sqlite3* db, const std::string& what, int rc) {
    const std::string text = what + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    if (diskFull(db, rc)) throw SqliteDiskFull(text);
    throw std::runtime_error(text);
}

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    fail(db, what, db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM);
}
}  // namespace

SqliteStatement::SqliteStatement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK)
        fail(db, "SQLite prepare");
}

SqliteStatement::SqliteStatement(sqlite3* db, sqlite3_stmt* kept, bool* inUse)
    : db_(db), stmt_(kept), inUse_(inUse) {
    *inUse_ = true;
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), inUse_(other.inUse_) {
    other.stmt_ = nullptr;
    other.inUse_ = nullptr;
}

SqliteStatement::~SqliteStatement() {
    if (!inUse_) {
        sqlite3_finalize(stmt_);
        return;
    }
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    *inUse_ = false;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) fail(db_, "SQLite bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const std::string& value) {
    if (sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        fail(db_, "SQLite bind");
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) fail(db_, "SQLite bind");
    return *this;
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, "SQLite step", rc);
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string SqliteStatement::text(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
             : std::string();
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

SqliteDb::SqliteDb(const std::string& path, Mode mode) : path_(path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX |
                      (mode == Mode::CreateNew ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string text = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("cannot open " + path + ": " + text);
    }
    sqlite3_busy_timeout(db_, 5000);
    // Commits are written, not synced: a statement that has returned is in the operating
    // system's hands and survives the server being killed (an interrupted commit leaves its
    // rollback journal, which the next open plays back), which is what this server promises;
    // a crash of the whole machine may lose or damage what was written last. Syncing each
    // commit cost two to three fsyncs per CREATE TABLE, most of the statement's time. (A
    // write-ahead log would be as fast but keeps -wal and -shm files beside every open
    // database, in the operator's folder, and cannot open a database on a full disk.)
    try {
        exec("PRAGMA synchronous=OFF");
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(other.db_), path_(std::move(other.path_)), kept_(std::move(other.kept_)) {
    other.db_ = nullptr;
}

SqliteDb::~SqliteDb() {
    finalizeKept();
    sqlite3_close_v2(db_);
}

void SqliteDb::finalizeKept() {
    if (!kept_) return;
    for (auto& [sql, k] : *kept_) sqlite3_finalize(k.stmt);
    kept_->clear();
}

SqliteStatement SqliteDb::prepare(const std::string& sql) {
    Kept& k = (*kept_)[sql];
    if (k.inUse) return SqliteStatement(db_, sql);
    if (!k.stmt && sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &k.stmt, nullptr) != SQLITE_OK) {
        kept_->erase(sql);
        fail(db_, "SQLite prepare");
    }
    return SqliteStatement(db_, k.stmt, &k.inUse);
}

void SqliteDb::exec(const std::string& sql) {
    char* error = nullptr;
    if (const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error); rc != SQLITE_OK) {
        const std::string text = "SQLite: " + std::string(error ? error : "unknown error");
        sqlite3_free(error);
        if (diskFull(db_, rc)) throw SqliteDiskFull(text);
        throw std::runtime_error(text);
    }
}

void SqliteDb::rollbackOpenTransaction() {
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteDb::inTransaction() const {
    return db_ && !sqlite3_get_autocommit(db_);
}

std::optional<std::int64_t> SqliteDb::scalar(const std::string& sql) {
    SqliteStatement s = prepare(sql);
    if (!s.step() || s.isNull(0)) return std::nullopt;
    return s.integer(0);
}

}  // namespace sandbox::sql
