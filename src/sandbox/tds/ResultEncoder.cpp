#include "sandbox/tds/ResultEncoder.h"

#include "sandbox/tds/Cells.h"
#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {

std::vector<Column> ResultEncoder::fitColumns(const ResultSet& rs) {
    std::vector<Column> columns = rs.columns;
    for (const auto& row : rs.rows) {
        for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
            Column& c = columns[i];
            if (isNull(row[i])) {
                c.nullable = true;
                continue;
            }
            if (c.type != ColumnType::NVarChar || c.maxChars == 0) continue;
            std::size_t units = utf8ToUcs2(cellToText(row[i])).size() / 2;
            if (units > 4000)
                c.maxChars = 0;
            else if (units > c.maxChars)
                c.maxChars = static_cast<std::uint16_t>(units);
        }
        if (row.size() < columns.size())
            for (std::size_t i = row.size(); i < columns.size(); ++i) columns[i].nullable = true;
    }
    return columns;
}

std::uint64_t ResultEncoder::rowCount(const StatementResult& r) {
    if (r.rowCount) return static_cast<std::uint64_t>(*r.rowCount);
    return r.rows ? r.rows->rows.size() : 0;
}

std::uint16_t ResultEncoder::statement(const StatementResult& r, std::string& currentDb) {
    if (r.newDatabase) {
        out_.envChange(kEnvDatabase, *r.newDatabase, currentDb);
        currentDb = *r.newDatabase;
    }
    for (const auto& info : r.infos) out_.message(info);
    std::uint16_t status = 0;
    if (r.error) {
        for (const auto& e : r.precedingErrors) out_.message(e);
        out_.message(*r.error);
        // A message of severity 10 or less travels as INFO and is no failure.
        if (r.error->severity > 10) status |= kDoneError;
    }
    if (r.rows && r.rows->columns.size() > kMaxColumns) {
        // The engine refuses such select lists; should one come, it is no answer to encode.
        out_.message(Message{1056, 1, 15,
                             "The number of elements in the select list exceeds the maximum "
                             "allowed number of 4096 elements.",
                             1});
        return status | kDoneError;
    }
    if (r.rows) {
        std::vector<Column> columns = fitColumns(*r.rows);
        out_.colMetadata(columns);
        for (const auto& row : r.rows->rows) out_.row(columns, row);
    }
    if (r.rowCount || r.rows) status |= kDoneCount;
    return status;
}

void ResultEncoder::batch(const std::vector<StatementResult>& results, std::string& currentDb) {
    if (results.empty()) return out_.done(kTokenDone, kDoneFinal, 0, 0);
    for (std::size_t i = 0; i < results.size(); ++i) {
        std::uint16_t status = statement(results[i], currentDb);
        if (i + 1 < results.size()) status |= kDoneMore;
        out_.done(kTokenDone, status, curCmd(results[i]), rowCount(results[i]));
    }
}

void ResultEncoder::procedure(const std::vector<StatementResult>& results, std::string& currentDb,
                              const std::optional<std::string>& revertTo,
                              std::optional<std::int32_t> handle) {
    bool failed = false;
    std::optional<std::int32_t> returned;  // a procedure called by name returns its own code
    for (const auto& r : results) {
        std::uint16_t status = statement(r, currentDb);
        failed = failed || (status & kDoneError);
        if (r.returnStatus) returned = r.returnStatus;
        out_.done(kTokenDoneInProc, status | kDoneMore, curCmd(r), rowCount(r));
    }
    if (revertTo && *revertTo != currentDb) {
        out_.envChange(kEnvDatabase, *revertTo, currentDb);
        currentDb = *revertTo;
    }
    out_.returnStatus(returned ? *returned : failed ? 1 : 0);
    if (handle) out_.returnValue(0, "@handle", *handle);
    out_.done(kTokenDoneProc, failed ? kDoneError : kDoneFinal, 0, 0);
}

void ResultEncoder::error(const Message& m) {
    out_.message(m);
    out_.done(kTokenDone, m.severity > 10 ? kDoneError : kDoneFinal, 0, 0);
}

}  // namespace sandbox::tds
