#pragma once
// What a run tells its caller while it works, so that a window can show how far it has got.
// Reports come on the run's own thread, between its steps; they change nothing the run does
// (no box, statement or order). Text is UTF-8.

#include <cstddef>
#include <string>

namespace dsadmin {

struct RunStep {
    enum class Kind {
        Connecting,        // opening the server connection at `address`
        CreatingDatabase,  // CREATE DATABASE
        ReadingStructure,  // opening the structure file and reading its table list
        CheckingTable,     // the modify run's existence query for table `index` of `count`
        CreatingTable,     // CREATE TABLE for table `index` (1-based) of `count`
        DroppingDatabase,  // Drop Database
    };
    Kind kind;
    std::size_t index = 0;     // 1-based position in the table list; 0 for the other steps
    std::size_t count = 0;     // entries in the table list
    std::string table = {};    // the table's name as the structure file gives it
    std::string address = {};  // Connecting: where the connection goes ("127.0.0.1:1433")
};

class RunProgress {
  public:
    virtual ~RunProgress() = default;
    // Called before the step starts. May throw only what the run may pass on.
    virtual void report(const RunStep& step) = 0;
};

// The operator's text for a step: "正在连接 127.0.0.1:1433……" ("正在连接服务器……" without an
// address), "正在创建第 3 个表（共 120 个）：Person", ...
std::string ProgressText(const RunStep& step);

}  // namespace dsadmin
