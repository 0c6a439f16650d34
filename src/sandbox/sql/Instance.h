#pragma once
// The server-wide state of one engine: the data folder, master's catalog of databases, which
// databases the sessions are in, and the statements that work on whole databases. The instance
// mutex guards it all: callers take lock() around every call below (sessions do so per
// statement). Each open database file has a mutex of its own besides, held by the FileLease
// that open() hands out, so that a statement on one database's file may run on after it has
// let the instance lock go (CREATE TABLE does) while statements on other files run.
//
// Lock order: the instance mutex, then a file's mutex. A thread that holds a file's mutex
// never waits for the instance mutex, and nobody holds two files' mutexes at once.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sandbox/Engine.h"
#include "sandbox/sql/AppLocks.h"
#include "sandbox/sql/Ast.h"
#include "sandbox/sql/DatabaseFile.h"
#include "sandbox/sql/MasterCatalog.h"

namespace sandbox::sql {

// A database's file lent to one statement, with the file's mutex held for as long as the lease
// lives. The file stays usable when the instance closes it meanwhile (least recently used).
class FileLease {
  public:
    DatabaseFile& operator*() const { return shared_->file; }
    DatabaseFile* operator->() const { return &shared_->file; }

  private:
    friend class Instance;
    struct Shared {
        explicit Shared(DatabaseFile f) : file(std::move(f)) {}
        std::mutex mutex;
        DatabaseFile file;
    };
    explicit FileLease(std::shared_ptr<Shared> shared)
        : shared_(std::move(shared)), lock_(shared_->mutex) {}

    std::shared_ptr<Shared> shared_;
    std::unique_lock<std::mutex> lock_;  // let go before shared_
};

class Instance {
  public:
    // Without LOG ON the log's logical name is <name>_log, at most 128 characters.
    static constexpr std::size_t kMaxNameWithDefaultLog = 123;

    // Creates the data folder and master's file when missing, registers the system
    // databases and empties tempdb. Throws std::runtime_error when the folder is unusable.
    explicit Instance(EngineOptions options);

    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex_); }
    const EngineOptions& options() const { return options_; }
    int nextSpid() { return spid_++; }

    std::vector<DatabaseInfo> databases() { return catalog_.list(); }
    std::optional<DatabaseInfo> findDatabase(const std::string& name) {
        return catalog_.find(name);
    }
    // The database's file, kept open between statements (opening an SQLite file parses its
    // whole schema, which grows with every table); reopened when the file on disk is no longer
    // the one held open. SqlError 945 when it cannot be opened. Waits while another statement
    // holds the file; the lease may outlive the instance lock.
    FileLease open(const DatabaseInfo& database);

    // CREATE DATABASE; SqlError 1801, 1828, 5103, 1819 + 1802 (a name over 123 UTF-16 units
    // without LOG ON), 5123/5105/5170 + 1802, 5149 + 1802 when the disk is full (nothing it
    // began is left), kNotSupported for unusable names. Crash-consistent: see reconcileFiles.
    void createDatabase(const CreateDatabase& statement);
    // DROP DATABASE of one name; SqlError 3701, 3702, 3708. Removes the files once a statement
    // running on the data file (a three-part name from another database) has ended. `held` is the
    // caller's lock: a database in use is waited for, the lock released meanwhile, for up to
    // kSessionEndGrace, so that a client that closed its connection just before is not
    // counted (its session ends when its thread reads the close).
    void dropDatabase(const std::string& name, bool ifExists, std::unique_lock<std::mutex>& held);
    static constexpr std::chrono::milliseconds kSessionEndGrace{2000};

    // The application locks of every database (sp_getapplock).
    AppLocks& appLocks() { return appLocks_; }

    // The sessions logged in, by spid, for sys.dm_exec_sessions.
    struct SessionInfo {
        std::string login;
        std::string loginTime;  // "YYYY-MM-DD hh:mm:ss.mmm"
        std::string database;   // current database
    };
    std::map<int, SessionInfo>& sessions() { return sessions_; }

    // Counts sessions in each database (DROP DATABASE refuses one in use).
    void enter(const std::string& database) { ++users_[lower(database)]; }
    void leave(const std::string& database);

  private:
    static std::string lower(const std::string& s);
    std::vector<std::string> filePaths(const CreateDatabase& statement) const;
    static void checkFileSpecs(const CreateDatabase& statement);
    static void checkLogicalNames(const CreateDatabase& statement,
                                  const std::vector<std::string>& paths);
    void checkFiles(const std::vector<std::string>& paths) const;
    void reconcileFiles();
    void log(const std::string& text) const;

    struct OpenFile {
        std::shared_ptr<FileLease::Shared> file;
        dev_t device;
        ino_t inode;
        std::uint64_t lastUse;
    };
    // Files that no lease holds are closed beyond this many, the least recently used first.
    static constexpr std::size_t kMaxOpenFiles = 32;

    EngineOptions options_;  // logDir filled in
    std::mutex mutex_;
    std::condition_variable left_;  // a session left a database
    MasterCatalog catalog_;
    std::map<std::string, int> users_;
    AppLocks appLocks_;
    std::map<int, SessionInfo> sessions_;
    std::map<std::string, OpenFile> open_;  // by data file path
    std::uint64_t uses_ = 0;
    int spid_ = 51;
};

}  // namespace sandbox::sql
