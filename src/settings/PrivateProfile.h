#pragma once
// The two settings-file operations, with the behaviour of the Windows private-profile functions
// (see IniFile.h for the file's rules). Text in and out is UTF-8; the file is GBK, or UTF-8
// when it starts with a UTF-8 byte-order mark (which a save keeps).
//
// Neither operation keeps state between calls, throws, or reports a failure: every call reads
// the file afresh, and a file that cannot be read reads as missing.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dsadmin {

// The longest value, in file bytes, that ReadIniString returns (a 255-byte buffer with its
// terminating zero). A longer value is cut to its first 254 bytes, or 253 when byte 254 would
// be the first half of a double-byte GBK character: a character is never split.
inline constexpr std::size_t kMaxIniValueBytes = 254;

// The key's value (trimmed, surrounding quotes removed, cut as above; in a UTF-8 file the cut
// never splits a character and an invalid byte reads as U+FFFD), decoded to UTF-8;
// `defaultValue` when the file, the section or the key does not exist or cannot be read.
std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue);

// Why the settings file at `path` is there but cannot be read, in the operator's words:
// "无法读取设置文件“<path>”：<why>。", why being "权限不够（文件属于 root，权限 0600，当前用户是
// nobody）", "是文件夹，不是文件", "不是普通文件", "输入/输出错误", ...; nullopt when the file
// reads, and when nothing is at `path` (a missing file reads as empty, as ReadIniString has
// it). For the callers that must not go on with empty settings in place of a file's values.
std::optional<std::string> UnreadableSettingsText(const std::string& path);

// Sets the key to the value, creating the file, section and key as needed; in the value every
// CR and every LF becomes one blank first. Like the C strings of the Windows function, every
// argument ends at its first NUL character. Reports nothing: a write that cannot be done leaves
// the file as it was.
//
// The write is safe where the Windows function is not:
// - a symbolic link is followed, not replaced: what follows happens to its final target and
//   in the target's folder, and the target need not exist yet;
// - the new file is written beside the old one ("<path>.tmp"), flushed to disk and renamed
//   over it, so the file is always either the old or the new one, never a part;
// - a lock on "<path>.lock" (flock) is held from reading to renaming, so two processes
//   writing at once lose no key;
// - a file created here is readable and writable by its owner only (0600: it holds a
//   password), or by its owner and group (0660) in a setgid folder that its group may write,
//   which gives the file that group (the operators' shared settings folder); the lock file is
//   created alike. An existing file keeps its mode and group, and its owner when root saves;
// - a file that exists but is read-only (no write bit, even for root), cannot be read, or
//   is not a regular file is left alone.
void WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

// Sets several keys of one section in one locked read-modify-write, in the order given, with
// the rules of WriteIniString: either all of them reach the file or none.
void WriteIniStrings(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& keysAndValues);

}  // namespace dsadmin
