#pragma once
// The boundary between the TDS front end (packets, login, tokens, sockets) and the SQL
// engine (T-SQL parser, catalog, SQLite storage). The front end turns a login into
// Engine::login and each SQL batch or sp_executesql call into Session::execute, and encodes
// what comes back as TDS tokens. Nothing here knows about TDS bytes.
//
// Text is UTF-8 throughout.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sandbox {

// A message as SQL Server sends it in an INFO (severity <= 10) or ERROR token.
struct Message {
    std::int32_t number = 0;
    std::uint8_t state = 1;
    std::uint8_t severity = 16;  // "class"
    std::string text;
    std::int32_t line = 1;
};

// Column types the engine returns in result sets.
enum class ColumnType { Int, BigInt, SmallInt, TinyInt, Bit, Float, DateTime, NVarChar };

struct Column {
    std::string name;
    ColumnType type = ColumnType::NVarChar;
    std::uint16_t maxChars = 128;  // NVarChar only; 0 means nvarchar(max)
    bool nullable = true;
};

// A cell: Null, a whole number, a float, text, or a datetime as days since 1900-01-01 plus
// 1/300-second ticks (the TDS DATETIME encoding).
struct DateTimeValue {
    std::int32_t days = 0;
    std::uint32_t ticks = 0;
};
using Cell = std::variant<std::monostate, std::int64_t, double, std::string, DateTimeValue>;

struct ResultSet {
    std::vector<Column> columns;
    std::vector<std::vector<Cell>> rows;
};

// What one statement of a batch produced, in order: messages first, then an optional
// result set, then the DONE token's facts.
struct StatementResult {
    std::vector<Message> infos;    // INFO tokens (5701 "Changed database context..." ...)
    std::optional<Message> error;  // ERROR token; the DONE then carries the error bit
    // ERROR tokens that a real server sends before `error` in the same reply, in order (a
    // failed CREATE DATABASE: 5123 or 5170 here, then `error` = 1802; an unclosed quote: 105
    // here, then `error` = 102). Empty unless `error` is set. Send these, then `error`, then
    // the one DONE with the error bit.
    std::vector<Message> precedingErrors;
    std::optional<ResultSet> rows;             // COLMETADATA + ROWs
    std::optional<std::int64_t> rowCount;      // DONE count with the COUNT bit
    std::optional<std::string> newDatabase;    // ENVCHANGE type 1 (new name; old = before)
    std::optional<std::int32_t> returnStatus;  // a procedure's return code (EXECUTE)
};

// A parameter of sp_executesql, already decoded by the front end.
struct Param {
    std::string name;  // with its '@'
    std::variant<std::monostate, std::int64_t, double, std::string> value;
};

class Session {
  public:
    virtual ~Session() = default;
    virtual const std::string& database() const = 0;
    // Runs every statement of the batch and returns one result per statement that ran.
    // A batch the parser refuses produces one result carrying the error (nothing ran).
    virtual std::vector<StatementResult> execute(const std::string& sql,
                                                 const std::vector<Param>& params = {}) = 0;
    // The switch a client asks for at login or through ENVCHANGE requests; on failure the
    // result carries the error (911 ...) and the session stays where it was.
    virtual StatementResult useDatabase(const std::string& name) = 0;
};

class Engine {
  public:
    virtual ~Engine() = default;
    // Checks the login and opens a session in `database` (empty: master). Returns nullptr and
    // fills `error` on refusal: 18456 "Login failed for user '<name>'." for a wrong user or
    // password; 4060 (class 11) "Cannot open database "<db>" requested by the login. The login
    // failed." for an unknown database, which a real server follows with 18456 for the same
    // user: the front end sends that second ERROR itself (tedious retries a lone 4060).
    virtual std::unique_ptr<Session> login(const std::string& user, const std::string& password,
                                           const std::string& database, Message& error) = 0;
};

}  // namespace sandbox

namespace sandbox {

struct EngineOptions {
    std::string dataDir;     // holds master's catalog and the files of databases made without ON
    std::string saPassword;  // the password of the one login, sa
    std::string serverName = "DSADMIN-SANDBOX";  // what @@SERVERNAME answers
    std::string logDir;  // the default log-file location; empty: <dataDir>/log
    // Where the engine reports what it did on its own (files it removed at start, files it
    // found and left alone); empty: nowhere.
    std::function<void(const std::string&)> log;
};

// Opens (creating when missing) the engine over `options.dataDir`. Throws std::runtime_error
// with a readable text when the folder cannot be used. The engine and its sessions may be
// called from several threads at once; each session from one thread at a time.
std::unique_ptr<Engine> openEngine(const EngineOptions& options);

}  // namespace sandbox
