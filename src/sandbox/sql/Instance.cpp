#include "sandbox/sql/Instance.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
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

// Creates a small placeholder file for a log or secondary file; false with errno set.
bool createPlaceholder(const std::string& path, const std::string& database) {
    const dsadmin::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd) return false;
    const std::string text = "dsadmin-sandbox: file of database " + database + "\n";
    return ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void removeFiles(const std::vector<std::string>& paths) {
    std::error_code ec;
    for (const std::string& p : paths) {
        fs::remove(p, ec);
        fs::remove(p + "-journal", ec);
    }
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

DatabaseFile& Instance::open(const DatabaseInfo& database) {
    const std::string& path = database.dataFile;
    struct stat st {};
    const bool present = ::stat(path.c_str(), &st) == 0;
    auto it = open_.find(path);
    if (it != open_.end()) {
        if (present && it->second.device == st.st_dev && it->second.inode == st.st_ino) {
            it->second.lastUse = ++uses_;
            it->second.file.endOpenTransaction();
            return it->second.file;
        }
        open_.erase(it);  // removed or replaced behind the server's back
    }
    if (!present) throw SqlError(msg::databaseUnavailable(database.name));
    if (open_.size() >= kMaxOpenFiles) {
        auto oldest = open_.begin();
        for (auto i = open_.begin(); i != open_.end(); ++i)
            if (i->second.lastUse < oldest->second.lastUse) oldest = i;
        open_.erase(oldest);
    }
    try {
        DatabaseFile file = DatabaseFile::open(path);
        return open_.emplace(path, OpenFile{std::move(file), st.st_dev, st.st_ino, ++uses_})
            .first->second.file;
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
    checkFiles(paths);
    std::vector<std::string> made;
    try {
        DatabaseFile::create(paths[0]);
        made.push_back(paths[0]);
        for (std::size_t i = 1; i < paths.size(); ++i) {
            if (!createPlaceholder(paths[i], s.name))
                throw SqlError(msg::createDatabaseFailed(),
                               {msg::createFileFailed(paths[i], errno == EACCES)});
            made.push_back(paths[i]);
        }
        catalog_.add(s.name, paths[0], std::vector<std::string>(paths.begin() + 1, paths.end()));
    } catch (const SqlError&) {
        removeFiles(made);
        throw;
    } catch (const std::runtime_error&) {
        removeFiles(made);
        if (made.empty())
            throw SqlError(msg::createDatabaseFailed(), {msg::createFileFailed(paths[0], true)});
        throw;
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
        catalog_.remove(d->id);
        closeFile(d->dataFile);
        std::vector<std::string> files = d->otherFiles;
        files.push_back(d->dataFile);
        removeFiles(files);
        return;
    }
}

}  // namespace sandbox::sql
