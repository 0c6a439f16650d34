#pragma once
// Turns what the engine returned for a request into tokens, following how SQL Server
// answers (MS-TDS 2.2.7.5-7 and the DONE rules both FreeTDS and tedious rely on):
// - a SQL batch: each statement's tokens end with DONE; every DONE but the last has MORE;
//   an empty batch still gets one DONE.
// - an sp_executesql call: each statement ends with DONEINPROC (MORE), then RETURNSTATUS and
//   a final DONEPROC.
// A statement's tokens come in this order: ENVCHANGE database, INFO messages, ERROR,
// (the preceding ERRORs, then the ERROR itself), COLMETADATA + ROWs, DONE (ERROR bit with an error,
// COUNT bit with a row count).

#include <optional>
#include <string>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/tds/TokenWriter.h"

namespace sandbox::tds {

class ResultEncoder {
  public:
    // Writes into `out`, which the caller owns and must outlive the encoder.
    explicit ResultEncoder(TokenWriter& out) : out_(out) {}

    // Columns of a result set at most: SQL Server's select-list limit (error 1056).
    static constexpr std::size_t kMaxColumns = 4096;

    // `currentDb` is the database before the request; it is updated by every switch.
    void batch(const std::vector<StatementResult>& results, std::string& currentDb);
    // `revertTo`: the database to announce when the call ends (a USE inside sp_executesql
    // lasts only for the call); nullopt when the call did not switch.
    // `handle`: the @handle output value of sp_prepare/sp_prepexec, sent as RETURNVALUE.
    void procedure(const std::vector<StatementResult>& results, std::string& currentDb,
                   const std::optional<std::string>& revertTo,
                   std::optional<std::int32_t> handle = std::nullopt);
    // One ERROR followed by a final DONE with the error bit.
    void error(const Message& m);

    // The columns as they go on the wire: a column that holds NULLs is nullable, and a text
    // column is widened to its longest value (beyond 4000 characters: nvarchar(max)).
    static std::vector<Column> fitColumns(const ResultSet& rs);

  private:
    // Writes the statement's tokens up to its DONE; returns the DONE status bits.
    std::uint16_t statement(const StatementResult& r, std::string& currentDb);
    static std::uint64_t rowCount(const StatementResult& r);
    static std::uint16_t curCmd(const StatementResult& r) { return r.rows ? 0xC1 : 0; }

    TokenWriter& out_;
};

}  // namespace sandbox::tds
