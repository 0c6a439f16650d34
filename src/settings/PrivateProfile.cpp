#include "settings/PrivateProfile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "base/SystemErrorText.h"
#include "base/UniqueFd.h"
#include "settings/Gbk.h"
#include "settings/IniFile.h"

namespace dsadmin {
namespace {

UniqueFd OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

// The whole content of a regular file; nullopt when it is missing, unreadable or no file,
// with errno set (EINVAL for a file that is not a regular one).
std::optional<std::string> ReadFile(const std::string& path) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the window in open().
    UniqueFd fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return bytes;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string UserName(uid_t uid) {
    if (const struct passwd* pw = ::getpwuid(uid)) return pw->pw_name;
    return "uid " + std::to_string(uid);
}

// Why a read of the file at `path` failed with `error` (errno after ReadFile).
std::string WhyUnreadable(const std::string& path, int error) {
    struct stat st {};
    const bool known = ::stat(path.c_str(), &st) == 0;
    if (known && S_ISDIR(st.st_mode)) return SystemErrorText(EISDIR);
    if (error == EINVAL) return "不是普通文件";
    std::string why = SystemErrorText(error);
    if ((error == EACCES || error == EPERM) && known) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        why += "（文件属于 " + UserName(st.st_uid) + "，权限 " + mode + "，当前用户是 " +
               UserName(::geteuid()) + "）";
    }
    return why;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file a write goes to: the final target of a chain of symbolic links, else the path
// itself. The target need not exist yet: the package links /opt/dsadmin/Setup.ini to
// /etc/opt/dsadmin/Setup.ini before the first save creates it. A relative link is taken from
// the folder that holds it. A loop gives the path back, and the save then fails on it.
std::string ResolveTarget(const std::string& path) {
    std::filesystem::path at = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(at, ec)) return at.string();
        const std::filesystem::path next = std::filesystem::read_symlink(at, ec);
        if (ec) return path;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The mode of a file created beside `target`: 0660 in a folder shared by a group (setgid and
// writable by its group, like /etc/opt/dsadmin: the file takes the folder's group, and the
// operators in it must read and save it), else 0600, since the file holds a password.
mode_t NewFileMode(const std::string& target) {
    struct stat folder {};
    const bool shared = ::stat(FolderOf(target).c_str(), &folder) == 0 &&
                        (folder.st_mode & S_ISGID) != 0 && (folder.st_mode & S_IWGRP) != 0;
    return shared ? 0660 : 0600;
}

// Opens (creating it with `mode`, whatever the umask) the lock file. Locking needs no write
// access, so a lock that another operator of the group created is opened for reading.
UniqueFd OpenLock(const std::string& path, mode_t mode) {
    UniqueFd fd = OpenRetrying(path.c_str(), O_RDONLY | O_CREAT | O_EXCL, mode);
    if (fd) {
        // Undo the umask; should this fail, the lock is only less widely shared.
        if (::fchmod(fd.get(), mode) != 0) {
        }
        return fd;
    }
    if (errno != EEXIST) return fd;
    return OpenRetrying(path.c_str(), O_RDONLY);
}

// Writes `bytes` to "<path>.tmp", flushes it and renames it over `path`. The new file keeps the
// owner (when root saves it), group and mode of the old one `old`, or gets `newMode`. Returns
// false (leaving `path` as it was) on any failure.
bool ReplaceFile(const std::string& path, const std::string& bytes, const struct stat* old,
                 mode_t newMode) {
    const std::string temp = path + ".tmp";
    ::unlink(temp.c_str());  // a leftover of a writer that was killed
    UniqueFd fd = OpenRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (!fd) return false;
    if (old) {
        // A failed fchown leaves the save going on: as root, on a filesystem without owners
        // the file stays root's; anyone else may give the file only a group they belong to
        // (in a setgid folder it has the folder's group already), and it becomes theirs.
        const bool root = ::geteuid() == 0;
        if (::fchown(fd.get(), root ? old->st_uid : static_cast<uid_t>(-1), old->st_gid) != 0) {
        }
    }
    bool ok = ::fchmod(fd.get(), old ? (old->st_mode & 07777) : newMode) == 0;
    ok = ok && WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    UniqueFd dir = OpenRetrying(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir) (void)::fsync(dir.get());
    return true;
}

// The text a C string argument of the Windows function would carry: up to the first NUL.
std::string CString(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

// UTF-8 text in the file's encoding (see IniFile::utf8).
std::string Encode(const IniFile& file, std::string_view text) {
    return file.utf8() ? ValidUtf8(text) : Utf8ToGbk(text);
}

std::string OneLine(std::string value) {
    value = CString(value);
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return value;
}

}  // namespace

std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
    const auto bytes = ReadFile(path);
    if (!bytes) return defaultValue;
    const IniFile file = IniFile::parse(*bytes);
    const auto value = file.value(Encode(file, CString(section)), Encode(file, CString(key)));
    if (!value) return defaultValue;
    if (file.utf8()) return ValidUtf8(Utf8Prefix(*value, kMaxIniValueBytes));
    return GbkToUtf8(GbkPrefix(*value, kMaxIniValueBytes));
}

std::optional<std::string> UnreadableSettingsText(const std::string& path) {
    if (ReadFile(path)) return std::nullopt;
    const int error = errno;
    if (error == ENOENT) return std::nullopt;
    return "无法读取设置文件“" + path + "”：" + WhyUnreadable(path, error) + "。";
}

void WriteIniStrings(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& keysAndValues) {
    const std::string target = ResolveTarget(path);
    const mode_t newMode = NewFileMode(target);
    UniqueFd lock = OpenLock(target + ".lock", newMode);
    if (!lock) return;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return;
    }
    struct stat st {};
    std::string old;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        const bool writable = (st.st_mode & 0222) != 0 && ::access(target.c_str(), W_OK) == 0;
        const auto bytes = ReadFile(target);
        if (!S_ISREG(st.st_mode) || !writable || !bytes) return;
        old = *bytes;
    } else if (errno != ENOENT) {
        return;
    }
    IniFile file = IniFile::parse(old);
    const std::string fileSection = Encode(file, CString(section));
    for (const auto& [key, value] : keysAndValues) {
        file.setValue(fileSection, Encode(file, CString(key)), Encode(file, OneLine(value)));
    }
    const std::string bytes = file.bytes();
    if (exists && bytes == old) return;
    ReplaceFile(target, bytes, exists ? &st : nullptr, newMode);
}

void WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    WriteIniStrings(path, section, {{key, value}});
}

}  // namespace dsadmin
