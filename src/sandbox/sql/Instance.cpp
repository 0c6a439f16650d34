#include "sandbox/sql/Instance.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "base/UniqueFd.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace fs = std::filesystem;

namespace {

std::string prepareDataDir(const std::string& dir) {
    if (dir.empty()) throw std::runtime_error("the sandbox needs a data folder");
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        throw std::runtime_error("cannot use the folder " + dir + ": " + ec.message());
    return dir;
}

bool hasControlCharacter(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// A name that can become a file name in the data folder.
bool usableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           !hasControlCharacter(name);
}

// A logical file name that may become part of a file name: no path separators, no "..".
bool plainFileName(const std::string& name) {
    return name.find_first_of("/\\") == std::string::npos && name.find("..") == std::string::npos &&
           !hasControlCharacter(name);
}

// Creates `path` (which must not exist) empty; false with errno set.
bool createEmpty(const std::string& path) {
    const dsadmin::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    return static_cast<bool>(fd);
}

// Fills a log or secondary file, which createEmpty made, with one line; false with errno set.
bool writePlaceholder(const std::string& path, const std::string& database) {
    const dsadmin::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd) return false;
    const std::string text = "dsadmin-sandbox: file of database " + database + "\n";
    const ssize_t n = ::write(fd.get(), text.data(), text.size());
    if (n >= 0 && n != static_cast<ssize_t>(text.size())) errno = ENOSPC;
    return n == static_cast<ssize_t>(text.size()) && ::fsync(fd.get()) == 0;
}

bool diskFullErrno(int e) {
    return e == ENOSPC || e == EDQUOT;
}

void removeFiles(const std::vector<std::string>& paths) {
    std::error_code ec;
    for (const std::string& p : paths)
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(p + suffix, ec);
}

// The default log-file location: created with the data folder, <data>/log unless given.
EngineOptions withLogDir(EngineOptions options) {
    if (options.logDir.empty() && !options.dataDir.empty())
        options.logDir = options.dataDir + "/log";
    return options;
}

}  // namespace

Instance::Instance(EngineOptions options)
    : options_(withLogDir(std::move(options))),
      catalog_((prepareDataDir(options_.dataDir), prepareDataDir(options_.logDir),
                options_.dataDir + "/master.sqlite"),
               options_.dataDir) {
    DatabaseFile::open(options_.dataDir + "/master.sqlite");
    removeFiles({options_.dataDir + "/tempdb.sqlite"});
    for (const char* name : {"tempdb", "model", "msdb"}) {
        const std::string path = options_.dataDir + "/" + name + ".sqlite";
        if (!fs::exists(path)) DatabaseFile::create(path);
    }
    reconcileFiles();
}

void Instance::log(const std::string& text) const {
    if (options_.log) options_.log(text);
}

// A server killed while it created or dropped a database left the files it had recorded as
// intents: those that no database owns are removed. Other database files in the data and log
// folders that no database owns are not the server's to remove: they are reported.
void Instance::reconcileFiles() {
    std::set<std::string> owned;
    for (const DatabaseInfo& d : catalog_.list()) {
        owned.insert(d.dataFile);
        owned.insert(d.otherFiles.begin(), d.otherFiles.end());
    }
    std::vector<std::string> settled;
    for (const MasterCatalog::FileIntent& intent : catalog_.intents()) {
        settled.push_back(intent.path);
        if (owned.count(intent.path)) continue;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(intent.path, ec))) continue;
        removeFiles({intent.path});
        log("removed " + intent.path + ", left by an interrupted " +
            (intent.action == "drop" ? "DROP" : "CREATE") + " DATABASE " + intent.database);
    }
    catalog_.forgetIntents(settled);
    for (const std::string& dir : {options_.dataDir, options_.logDir}) {
        std::error_code ec;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
            const std::string ext = e.path().extension().string();
            if ((ext != ".mdf" && ext != ".ndf" && ext != ".ldf") || owned.count(e.path().string()))
                continue;
            log("found " + e.path().string() +
                ", which no database owns and this server did not leave; left alone");
        }
    }
}

std::string Instance::lower(const std::string& s) {
    return foldCase(s);
}

void Instance::leave(const std::string& database) {
    auto it = users_.find(lower(database));
    if (it != users_.end() && --it->second <= 0) {
        users_.erase(it);
        left_.notify_all();
    }
}

FileLease Instance::open(const DatabaseInfo& database) {
    const std::string& path = database.dataFile;
    struct stat st {};
    const bool present = ::stat(path.c_str(), &st) == 0;
    auto it = open_.find(path);
    if (it != open_.end()) {
        if (present && it->second.device == st.st_dev && it->second.inode == st.st_ino) {
            it->second.lastUse = ++uses_;
            FileLease lease(it->second.file);
            lease->endOpenTransaction();
            return lease;
        }
        open_.erase(it);  // removed or replaced behind the server's back
    }
    if (!present) throw SqlError(msg::databaseUnavailable(database.name));
    // Leases are made under the instance lock only, so a file that no lease holds now stays
    // unheld; a held one is left open (and the limit passed) rather than opened twice.
    auto oldest = open_.end();
    for (auto i = open_.begin(); open_.size() >= kMaxOpenFiles && i != open_.end(); ++i)
        if (i->second.file.use_count() == 1 &&
            (oldest == open_.end() || i->second.lastUse < oldest->second.lastUse))
            oldest = i;
    if (oldest != open_.end()) open_.erase(oldest);
    try {
        auto file = std::make_shared<FileLease::Shared>(DatabaseFile::open(path));
        open_.emplace(path, OpenFile{file, st.st_dev, st.st_ino, ++uses_});
        return FileLease(std::move(file));
    } catch (const std::runtime_error&) {
        throw SqlError(msg::databaseUnavailable(database.name));
    }
}

// The data file first, then the secondary and log files. Without FILENAME a data file is
// <name>.mdf (.ndf) in the data folder and a log file <name>.ldf in the log folder; without
// LOG ON the log is <database>_log.ldf in the log folder, SQL Server's "default log-file
// location".
std::vector<std::string> Instance::filePaths(const CreateDatabase& s) const {
    std::vector<std::string> paths;
    std::string data = options_.dataDir + "/" + s.name + ".mdf";
    if (!s.dataFiles.empty() && !s.dataFiles[0].fileName.empty()) data = s.dataFiles[0].fileName;
    paths.push_back(data);
    for (std::size_t i = 1; i < s.dataFiles.size(); ++i)
        paths.push_back(s.dataFiles[i].fileName.empty()
                            ? options_.dataDir + "/" + s.dataFiles[i].logicalName + ".ndf"
                            : s.dataFiles[i].fileName);
    for (const FileSpec& f : s.logFiles)
        paths.push_back(f.fileName.empty() ? options_.logDir + "/" + f.logicalName + ".ldf"
                                           : f.fileName);
    if (s.logFiles.empty()) paths.push_back(options_.logDir + "/" + s.name + "_log.ldf");
    return paths;
}

// The logical names (given, or the ones SQL Server generates: the database's name for a data
// file made without ON, <name>_log for the log made without LOG ON) and the sizes.
void Instance::checkFileSpecs(const CreateDatabase& s) {
    if (s.logFiles.empty() && utf16Length(s.name) > kMaxNameWithDefaultLog)
        throw SqlError(msg::createDatabaseFailed(), {msg::logNameTooLong()});
    std::vector<std::string> names;
    if (s.dataFiles.empty()) names.push_back(s.name);
    for (const auto* files : {&s.dataFiles, &s.logFiles})
        for (const FileSpec& f : *files) names.push_back(f.logicalName);
    if (s.logFiles.empty()) names.push_back(s.name + "_log");
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t k = 0; k < i; ++k)
            if (!names[i].empty() && equalsName(names[k], names[i]))
                throw SqlError(msg::logicalNameInUse(names[i]));
    for (const auto* files : {&s.dataFiles, &s.logFiles})
        for (const FileSpec& f : *files)
            if (f.sizeKb && f.maxSizeKb && *f.maxSizeKb < *f.sizeKb)
                throw SqlError(
                    msg::maxSizeBelowSize(f.logicalName.empty() ? f.fileName : f.logicalName));
}

// A file given without FILENAME is named after its logical name, which must then be a plain
// name: with a separator or ".." it would name a file outside the data and log folders.
void Instance::checkLogicalNames(const CreateDatabase& s, const std::vector<std::string>& paths) {
    std::size_t i = 0;
    for (const auto* files : {&s.dataFiles, &s.logFiles}) {
        for (const FileSpec& f : *files) {
            const bool derived = f.fileName.empty() && !(files == &s.dataFiles && i == 0);
            if (derived && !plainFileName(f.logicalName))
                throw SqlError(msg::createDatabaseFailed(), {msg::fileActivationFailed(paths[i])});
            ++i;
        }
        if (files == &s.dataFiles && s.dataFiles.empty()) ++i;  // the default data file
    }
}

void Instance::checkFiles(const std::vector<std::string>& paths) const {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& p = paths[i];
        if (p.empty() || p[0] != '/' || hasControlCharacter(p))
            throw SqlError(msg::createDatabaseFailed(), {msg::fileActivationFailed(p)});
        std::error_code ec;
        if (!fs::is_directory(fs::path(p).parent_path(), ec))
            throw SqlError(msg::createDatabaseFailed(), {msg::createFileFailed(p)});
        bool repeated = false;
        for (std::size_t k = 0; k < i; ++k) repeated = repeated || paths[k] == p;
        if (repeated || fs::exists(fs::symlink_status(p, ec)))
            throw SqlError(msg::createDatabaseFailed(), {msg::fileExists(p)});
    }
}

void Instance::createDatabase(const CreateDatabase& s) {
    if (catalog_.find(s.name)) throw SqlError(msg::databaseExists(s.name));
    if (!usableName(s.name))
        throw SqlError(msg::notSupported("The database name '" + s.name +
                                         "' (it must be usable as a file name)"));
    checkFileSpecs(s);
    const std::vector<std::string> paths = filePaths(s);
    checkLogicalNames(s, paths);
    checkFiles(paths);
    // The files are recorded before they exist and forgotten with the catalog row's insert: a
    // kill in between leaves intents that the next start settles (reconcileFiles).
    try {
        catalog_.recordIntents(s.name, "create", paths);
    } catch (const SqliteDiskFull&) {
        throw SqlError(msg::createDatabaseFailed(), {msg::diskFullExpandingFile(paths[0])});
    }
    std::vector<std::string> made;
    const auto undo = [&] {
        removeFiles(made);
        try {
            catalog_.forgetIntents(paths);
        } catch (const std::exception&) {
            // left for the next start to settle
        }
    };
    std::size_t current = 0;
    try {
        for (; current < paths.size(); ++current) {
            const std::string& p = paths[current];
            if (!createEmpty(p)) {
                if (diskFullErrno(errno)) throw SqliteDiskFull(p);
                throw SqlError(msg::createDatabaseFailed(),
                               {msg::createFileFailed(p, errno == EACCES)});
            }
            made.push_back(p);
            if (current == 0) {
                DatabaseFile::create(p);
            } else if (!writePlaceholder(p, s.name)) {
                if (diskFullErrno(errno)) throw SqliteDiskFull(p);
                throw SqlError(msg::createDatabaseFailed(), {msg::createFileFailed(p, true)});
            }
        }
        catalog_.add(s.name, paths[0], std::vector<std::string>(paths.begin() + 1, paths.end()));
    } catch (const SqlError&) {
        undo();
        throw;
    } catch (const SqliteDiskFull&) {
        undo();
        throw SqlError(msg::createDatabaseFailed(),
                       {msg::diskFullExpandingFile(paths[std::min(current, paths.size() - 1)])});
    } catch (const std::runtime_error&) {
        undo();
        throw SqlError(msg::createDatabaseFailed(),
                       {msg::createFileFailed(paths[std::min(current, paths.size() - 1)], true)});
    }
}

void Instance::dropDatabase(const std::string& name, bool ifExists,
                            std::unique_lock<std::mutex>& held) {
    const auto deadline = std::chrono::steady_clock::now() + kSessionEndGrace;
    for (;;) {
        const std::optional<DatabaseInfo> d = catalog_.find(name);
        if (!d) {
            if (ifExists) return;
            throw SqlError(msg::cannotDropDatabase(name));
        }
        if (d->system()) throw SqlError(msg::systemDatabase(d->name));
        const std::string key = lower(d->name);
        if (users_.count(key)) {
            // The catalog may change while the lock is released: look the name up again.
            if (left_.wait_until(held, deadline) == std::cv_status::timeout && users_.count(key))
                throw SqlError(msg::databaseInUse(name));
            continue;
        }
        // A statement still running on the file (let in before this one took the instance
        // lock) ends first: no table is added to a file being removed.
        std::shared_ptr<FileLease::Shared> closing;
        if (auto f = open_.find(d->dataFile); f != open_.end()) {
            closing = f->second.file;
            open_.erase(f);
            const std::lock_guard<std::mutex> inFlight(closing->mutex);
        }
        closing.reset();  // closed before its files go, unless an ending statement holds it
        // The row goes and the files' removal is recorded in one transaction: a kill before
        // the files are gone leaves intents that the next start settles.
        catalog_.remove(*d);
        std::vector<std::string> files = d->otherFiles;
        files.push_back(d->dataFile);
        removeFiles(files);
        try {
            catalog_.forgetIntents(files);
        } catch (const std::exception&) {
            // settled at the next start
        }
        return;
    }
}

}  // namespace sandbox::sql
