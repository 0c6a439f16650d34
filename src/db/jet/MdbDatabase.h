#pragma once
// libmdb's side of a JetReader call; runs only inside the child process (see JetReader.h).
// Owns one MdbHandle with its catalog, read once.

// Debian's mdbtools.h 1.0.0 opens extern "C" before including glib.h, which breaks C++;
// glib.h and iconv.h must come first.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/AnswerWriter.h"

namespace dsadmin {

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

  private:
    struct HandleCloser {
        void operator()(MdbHandle* h) const noexcept { mdb_close(h); }
    };
    struct TableFreer {
        void operator()(MdbTableDef* t) const noexcept { mdb_free_tabledef(t); }
    };
    using Table = std::unique_ptr<MdbTableDef, TableFreer>;

    MdbCatalogEntry* findUserTable(std::string_view name) const;
    bool pageInFile(std::uint32_t page) const;
    std::string missingPage(MdbTableDef* t) const;
    static std::string cutShort(const std::string& table, std::uint32_t announced,
                                std::uint32_t rows);
    void checkCatalog();
    void writeRow(MdbTableDef* table, MdbField* fields, AnswerWriter& out);
    void writeValue(const MdbColumn& col, const MdbField& field, AnswerWriter& out);
    const std::string& memoBytes(const MdbColumn& col, const MdbField& field);

    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
    std::string textBuf_;
    std::string memo_;
    std::string damage_;  // why the table being written is damaged; empty while it is not
    std::uint64_t fileSize_ = 0;
};

}  // namespace dsadmin
