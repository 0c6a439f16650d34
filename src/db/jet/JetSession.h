#pragma once
// The "Microsoft.Jet.OLEDB.4.0" provider: answers the structure file's queries (see
// JetQuery) from its tables, read through one JetReaderSession (the reader's helper kept for
// the session). The two queries the runs make stream: SELECT DISTINCT of one column reads the
// column once (the helper then knows where each text's rows are), and a WHERE on that column
// fetches only the matching rows, together with those of the texts that follow in the last
// DISTINCT's order (the runs ask for them next). Neither this process nor the helper holds
// the whole table. Any other query reads its table once per session and keeps it, so a
// structure of thousands of tables costs one scan per table, not one per query. Results follow Jet:
// text compared without regard to case; a plain SELECT returns the file's row order; DISTINCT
// returns its rows sorted ascending, Null first, the first case variant in file order standing for
// the others.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/OleDbString.h"
#include "db/ProviderSession.h"
#include "db/jet/JetQuery.h"
#include "db/jet/JetReader.h"

namespace dsadmin {

class JetSession : public ProviderSession {
  public:
    // Opens the file named by "Data Source". Throws DbError naming the file when it is
    // missing or no Jet database ("结构文件“…”不存在。"). Of `options` only whileWaiting
    // counts: called while the reader's helper is waited for, from the first request on.
    static std::unique_ptr<JetSession> Open(const OleDbString& properties,
                                            const SessionOptions& options);

    // Answers one query. Throws DbError for a query outside JetQuery's form and for a
    // missing table or column (each named).
    std::optional<RowSet> run(const std::string& text) override;
    // A Jet file has one database: refused.
    void setDefaultDatabase(const std::string& name) override;
    std::string defaultDatabase() override { return {}; }
    void close() override {
        tables_.clear();
        ahead_.clear();
        order_ = {};
    }

    // Answers a parsed query against one table already read, scanning every row.
    static RowSet Evaluate(const JetQuery& query, const JetTable& table);

  private:
    // A table read once, with the rows of a column grouped by folded text when a WHERE
    // has asked for that column, so that each later WHERE finds its rows at once.
    struct ColumnIndex {
        std::unordered_map<std::string, std::vector<std::size_t>> byText;
        std::vector<std::size_t> others;  // rows whose value is no text
    };
    struct CachedTable {
        JetTable table;
        std::unordered_map<int, ColumnIndex> indexes;
    };

    // The order of the last SELECT DISTINCT of one column, for fetching ahead.
    struct DistinctOrder {
        std::string table, column;        // folded
        std::vector<std::string> folded;  // the texts in the order returned
        std::size_t next = 0;             // where the next WHERE is expected
    };

    JetSession(JetReader reader, std::function<void()> whileWaiting)
        : reader_(std::move(reader), std::move(whileWaiting)) {}
    CachedTable& cached(const std::string& name);
    RowSet distinct(const JetQuery& query);
    std::optional<RowSet> where(const JetQuery& query);
    std::vector<std::string> textsAhead(const std::string& table, const std::string& column,
                                        const std::string& folded);
    static std::vector<std::size_t> indexedRows(CachedTable& t, int column,
                                                const std::string& text);
    static RowSet project(const JetQuery& query, const JetTable& table,
                          const std::vector<std::size_t>& rows);

    JetReaderSession reader_;
    std::map<std::string, CachedTable> tables_;  // by folded name
    DistinctOrder order_;
    // Rows fetched ahead: (folded table, folded column) and, by folded text, its rows.
    std::string aheadTable_, aheadColumn_;
    std::unordered_map<std::string, JetTable> ahead_;
};

}  // namespace dsadmin
