#pragma once
// Reads Jet databases (Access .mdb files, and so the structure file .DS) through mdbtools'
// libmdb.
//
// libmdb is not safe on malformed files (it can crash on a hostile or truncated file), so
// every read runs in a helper program, dsadmin-jetreader (a fresh program, started with
// posix_spawn), that streams its answer back over a socket. A crash, a hang past the time limit or
// a garbled answer of that helper becomes a DbError naming the file; the calling process is never
// taken down.
//
// Every JetReader call starts a helper that opens the file afresh: a JetReader holds no libmdb
// state between calls, so the file may be replaced between calls and the object may be copied
// or moved freely. A JetReaderSession keeps its helper, and the file open, for many calls.
// Not thread-safe per object; separate objects may be used from separate threads.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/JetType.h"
#include "db/Value.h"

namespace dsadmin {

class ChildProcess;

struct JetColumn {
    std::string name;  // UTF-8, as stored in the file
    JetType type = JetType::Other;
    int size = 0;  // bytes: Text 2 x characters (Jet 3 files too), Long 4, Memo 0, ...
    friend bool operator==(const JetColumn&, const JetColumn&) = default;
};

// One whole table. Rows come in the order the file stores them (data pages in page order,
// rows in slot order): for a file written in one go, the order the rows were written.
struct JetTable {
    std::string name;                // UTF-8, as the catalog spells it
    std::vector<JetColumn> columns;  // in column-number order
    std::vector<Value> cells;        // row-major: rowCount() x columns.size() values

    std::size_t rowCount() const { return columns.empty() ? 0 : cells.size() / columns.size(); }
    // The values of row i (i < rowCount()), one per column.
    std::span<const Value> row(std::size_t i) const {
        return {cells.data() + i * columns.size(), columns.size()};
    }
    // Index of the column whose name equals `name` ignoring letter case (every alphabet),
    // as Jet matches names; -1 when there is none.
    int columnIndex(std::string_view name) const;
};

// The helper program's name, and where it is: beside the running program's real executable
// (the build tree's bin/, the installed application folder), else in ../lib/dsadmin from there
// (dsfile in bin/ of an installation under another prefix), else in ../../opt/dsadmin (dsfile
// in the package's /usr/bin, wherever the package is unpacked), else in the application folder
// the build was configured for. When it is in none of them, the first of these paths (the
// call then fails naming it).
inline constexpr const char* kJetReaderHelperName = "dsadmin-jetreader";
std::string JetReaderHelperPath();

class JetReader {
  public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60'000};
    // The time limit of a reader made without one: kDefaultTimeout unless a test has set
    // another with SetDefaultTimeoutForTests (shorter, to see a hung reader end).
    static std::chrono::milliseconds DefaultTimeout();
    static void SetDefaultTimeoutForTests(std::chrono::milliseconds timeout);

    // Remembers the path; opens nothing yet. `path` is a native path (UTF-8 bytes).
    // Throws DbError "结构文件“<path>”不存在。" when nothing is at `path`, "结构文件“<path>”
    // 不是普通文件。" for a folder or device, and "无法读取结构文件“<path>”：<reason>。" when
    // it cannot be opened for reading (reason: SystemErrorText).
    explicit JetReader(std::string path, std::chrono::milliseconds timeout = DefaultTimeout());

    const std::string& path() const { return path_; }
    std::chrono::milliseconds timeout() const { return timeout_; }

    // The user tables (not the MSys* system tables), in catalog order.
    // Throws DbError "“<path>”不是有效的结构文件（<why>）。" when the file is no Jet
    // database, is damaged or cut short, or its reader crashes; "读取结构文件“<path>”超时：
    // <n> 秒内没有应答。" when the reader exceeds the time limit.
    std::vector<std::string> tableNames() const;

    // The columns and all rows of the user table `name`, matched ignoring letter case as Jet
    // does. Reads the whole table in one pass. A table that is cut short (a page its usage
    // map lists lies past the end of the file, fewer rows than its definition counts, a
    // memo value missing) is an error, never a part of the table.
    // Throws DbError "结构文件“<path>”中找不到表“<name>”。" when there is no such user
    // table, and the errors of tableNames() for a bad file.
    JetTable readTable(std::string_view name) const;

  private:
    std::string path_;
    std::chrono::milliseconds timeout_;
};

// One helper kept running for a series of requests on one file (the Jet provider's session):
// the file is opened once, and the queries the runs make are answered without the whole table
// being held by the helper or by this process. Errors as JetReader's, for the whole session
// (a helper that crashed or timed out is replaced by a fresh one at the next request).
class JetReaderSession {
  public:
    // The table has no column of the name asked for (`table` is its name as the file spells
    // it); the caller words the error.
    struct NoColumn {
        std::string table;
        explicit NoColumn(std::string t) : table(std::move(t)) {}
    };

    // whileWaiting, when set, is called about every 50 ms while a request waits for the helper
    // (ChildProcess::WhileWaiting); what it throws ends the request, the helper killed.
    explicit JetReaderSession(JetReader reader, std::function<void()> whileWaiting = {});
    ~JetReaderSession();
    JetReaderSession(const JetReaderSession&) = delete;
    JetReaderSession& operator=(const JetReaderSession&) = delete;

    const JetReader& reader() const { return reader_; }
    std::vector<std::string> tableNames();
    JetTable readTable(std::string_view name);

    // The values of `column` of the table `name` (one column): each value that is no text,
    // and of the texts at least the first of each case-folded text, all in file order (a text
    // may come more than once: the caller keeps the first). The helper then knows where each
    // text's rows are. Throws NoColumn.
    JetTable distinctTexts(std::string_view name, std::string_view column);

    // For each of `texts`, the rows of the table whose value in `column` is that text once
    // case-folded, together with the rows whose value is no text and not Null (the caller
    // compares those), in file order: one JetTable per text, with all columns. Throws
    // NoColumn.
    std::vector<JetTable> rowsWhere(std::string_view name, std::string_view column,
                                    const std::vector<std::string>& texts);

  private:
    std::string ask(const std::string& request);

    JetReader reader_;
    std::function<void()> whileWaiting_;
    std::unique_ptr<ChildProcess> child_;
};

}  // namespace dsadmin
