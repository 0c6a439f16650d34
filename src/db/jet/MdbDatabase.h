#pragma once
// libmdb's side of a JetReader call; runs only inside the helper program (see JetReader.h).
// Owns one MdbHandle with its catalog, read once, and the row index of one column.

// Debian's mdbtools.h 1.0.0 opens extern "C" before including glib.h, which breaks C++;
// glib.h and iconv.h must come first.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/AnswerWriter.h"

namespace dsadmin {

// A run of consecutive rows (see MdbDatabase::RowIndex).
struct MdbRowRun {
    std::uint64_t hash;
    std::uint32_t first;
    std::uint32_t count;
};

class MdbDatabase {
  public:
    // A failure with one of the jetwire::ErrorCode values.
    struct Failure : std::runtime_error {
        Failure(std::uint8_t c, const std::string& detail) : std::runtime_error(detail), code(c) {}
        std::uint8_t code;
    };

    // Opens `path` read-only and reads its table catalog. The file must exist (libmdb
    // searches $MDBPATH for a missing one, and loops forever on an empty entry there).
    // Throws Failure(kNotJet) when libmdb cannot open it or read its catalog, and when the
    // catalog is cut short (a page its usage map lists lies past the end of the file, or
    // fewer rows can be read than its definition counts).
    explicit MdbDatabase(const std::string& path);

    // User tables in catalog order.
    std::vector<std::string> userTables() const;

    // Writes the table's name, columns and every row to `out` (JetWire.h, kind 'R' body).
    // Throws Failure(kNoTable) when there is no user table `name` (ignoring letter case as
    // Jet does, for every alphabet), Failure(kBadTable) when its definition cannot be read
    // or its usage map lists a page past the end of the file. A table that turns out
    // damaged while its rows stream (fewer rows than its definition counts, a memo value
    // cut short) ends with the 'x' mark and the reason instead of 'z'.
    void writeTable(std::string_view name, AnswerWriter& out);

    // Writes the 'V' body (JetWire.h) for the column `column` of the user table `name`: the
    // header naming that column, then its values that are no text and the first text of each
    // run of rows with the same case-folded text, in file order. Remembers where each text's
    // rows are (replacing what was remembered before). Throws Failure(kNoColumn) when the
    // table has no such column, and the failures of writeTable.
    void writeDistinct(std::string_view name, std::string_view column, AnswerWriter& out);

    // Writes the 'W' body: the whole table's header, then for each of `texts` the rows whose
    // value in `column` is that text once case-folded, or no text and not Null, in file order.
    // Reads the table once to learn where the rows are unless writeDistinct or writeWhere did
    // so for the same column last.
    void writeWhere(std::string_view name, std::string_view column,
                    const std::vector<std::string>& texts, AnswerWriter& out);

  private:
    struct HandleCloser {
        void operator()(MdbHandle* h) const noexcept { mdb_close(h); }
    };
    struct TableFreer {
        void operator()(MdbTableDef* t) const noexcept { mdb_free_tabledef(t); }
    };
    using Table = std::unique_ptr<MdbTableDef, TableFreer>;

    // One decoded value.
    struct Cell {
        std::uint8_t tag = 0;  // jetwire::Tag
        std::int64_t integer = 0;
        double number = 0;  // Float and Date
        std::string text;
    };

    // Where the rows of one column's values are: rows are numbered by their slot in the
    // table's data pages taken in order, and each value's rows are kept as runs of numbers.
    struct RowIndex {
        struct Page {
            std::uint32_t page;
            std::uint32_t firstSlot;  // the number of the page's first row slot
        };
        const MdbCatalogEntry* entry = nullptr;
        Table table;
        std::string tableName;
        unsigned column = 0;
        std::string columnName;
        std::vector<Page> pages;
        std::vector<MdbRowRun> texts;   // by the hash of the folded text, then row
        std::vector<MdbRowRun> others;  // rows whose value is no text nor Null
        std::string damage;             // why the table is damaged; empty while it is not
    };

    MdbCatalogEntry* findUserTable(std::string_view name) const;
    Table openTable(std::string_view name, std::string& spelled) const;
    void writeColumn(MdbTableDef* t, unsigned i, AnswerWriter& out) const;
    void writeHeader(MdbTableDef* t, const std::string& name, AnswerWriter& out) const;
    RowIndex& indexFor(std::string_view table, std::string_view column, bool fresh);
    std::uint32_t scanColumn(RowIndex& ix, AnswerWriter* out);
    bool crackRowAt(RowIndex& ix, std::uint32_t ordinal, std::vector<MdbField>& fields);
    bool loadPage(std::uint32_t page);
    static const MdbField* fieldOf(const std::vector<MdbField>& fields, unsigned column);
    bool pageInFile(std::uint32_t page) const;
    std::string missingPage(MdbTableDef* t) const;
    static std::string cutShort(const std::string& table, std::uint32_t announced,
                                std::uint32_t rows);
    void checkCatalog();
    void writeRow(MdbTableDef* table, MdbField* fields, AnswerWriter& out);
    void decodeValue(const MdbColumn& col, const MdbField& field, Cell& cell);
    static void putCell(const Cell& cell, AnswerWriter& out);
    const std::string& memoBytes(const MdbColumn& col, const MdbField& field);

    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
    std::unique_ptr<RowIndex> index_;
    Cell cell_;
    std::string textBuf_;
    std::string memo_;
    std::string damage_;  // why the table being written is damaged; empty while it is not
    std::uint64_t fileSize_ = 0;
    // The last pages crackRowAt read, as read: the runs ask for tables in name order, which
    // jumps between a few places of the file (T1000, T10000, T10001, ..., T1001, ...).
    struct CachedPage {
        std::uint32_t page = 0;
        bool used = false;
        std::vector<unsigned char> bytes;
    };
    std::vector<CachedPage> pages_;
    std::size_t nextPage_ = 0;  // the slot the next page read replaces
};

}  // namespace dsadmin
