#pragma once
// Writes a new Jet 4 (Access 2000) database file holding one or more user tables.
//
// What the file holds (docs/dsfile.md compares it with Access's own files): the header page
// as Access fills it, with no password; the system tables MSysObjects (the catalog, with
// Access's 17 columns), MSysACEs, MSysQueries and MSysRelationships (the last three empty);
// per user table a definition page (no indexes), its rows on data pages in the order they
// were added, memo texts too long for the row on long-value pages, and usage maps of its
// data and long-value pages (inline for small tables, through page-usage bitmap pages for
// large ones). Text is stored compressed when it is all Latin-1, else as UTF-16LE.
// mdbtools (libmdb) and the npm package mdb-reader read it.
//
// The file is written while rows are added, to a temporary file beside the target: memory
// holds only the pages still being filled (a few per table) and the list of each table's
// pages, whatever the size of the file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/Value.h"
#include "jet/JetSchema.h"
#include "jet/Page.h"
#include "jet/RowEncoder.h"

namespace dsadmin::jet {

class FileOutput;

class JetWriter {
  public:
    // The largest file Jet 4 opens: 2 GB.
    static constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 31;

    // Checks the definitions (names, counts, text lengths), then creates a temporary file in
    // the folder of `path`. Without `overwrite`, an existing `path` is refused. The file
    // will never be larger than `maxFileSize` bytes (tests pass a small limit).
    // Throws JetWriteError naming the table or column at fault, or the file.
    JetWriter(std::vector<TableDef> tables, const std::string& path, bool overwrite,
              std::uint64_t maxFileSize = kMaxFileSize);
    // Removes the temporary file unless commit() succeeded; `path` stays as it was.
    ~JetWriter();
    JetWriter(const JetWriter&) = delete;
    JetWriter& operator=(const JetWriter&) = delete;

    // The user tables, in the order given.
    std::size_t tableCount() const { return tables_.size() - firstUser_; }
    const TableDef& table(std::size_t i) const { return tables_.at(firstUser_ + i).def; }
    std::uint32_t rowCount(std::size_t i) const { return tables_.at(firstUser_ + i).rows; }

    // Appends a row to table `table` (index into the definitions): one value per column,
    // in column order. Text and Memo take UTF-8 text; Long, Integer and Byte whole numbers
    // in range; Double numbers; Yes/No bool or a number (not 0 = Yes); Date/Time Date.
    // Null is allowed everywhere (Yes/No stores it as No).
    // Throws JetWriteError naming the column when a value does not fit, and when the row
    // would make the file larger than the limit; the row is not added, and the writer can
    // still commit the rows before it.
    void addRow(std::size_t table, std::span<const Value> values);

    // Writes the rest (definitions, usage maps, header), syncs and renames the temporary
    // file to `path` (without `overwrite`, refusing a file that appeared meanwhile). Call
    // once. Throws JetWriteError; then no temporary file is left and `path` is unchanged.
    void commit();

  private:
    struct Table {
        TableDef def;
        RowEncoder layout;
        std::uint8_t type = 0;  // TableDefinition::kUserTable or kSystemTable
        std::vector<std::uint32_t> definitionPages;
        std::vector<std::uint32_t> dataPages;
        std::vector<std::uint32_t> longValuePages;
        std::uint32_t rows = 0;
    };
    struct MapRow {
        std::vector<std::uint8_t> bytes;
        std::uint32_t pointer = 0;
    };

    void addTable(TableDef def, std::vector<ColumnSpec> columns, std::uint8_t type);
    std::uint32_t newPage(std::uint32_t owner, std::size_t reserve);
    void finish(std::uint32_t number);
    Page& open(std::uint32_t number) { return *open_.at(number); }
    std::uint32_t addLongValue(Table& t, std::span<const std::uint8_t> row);
    void addCatalog();
    MapRow usageMap(const std::vector<std::uint32_t>& owned, std::uint32_t& next);
    std::size_t spareForMaps() const;

    std::vector<Table> tables_;  // the catalog, the three system tables, the user tables
    std::size_t firstUser_ = 0;
    double created_ = 0;
    std::uint64_t maxPages_ = 0;
    std::uint32_t pageCount_ = 0;
    std::unordered_map<std::uint32_t, std::unique_ptr<Page>> open_;  // pages being filled
    std::unique_ptr<FileOutput> out_;
    bool committed_ = false;
};

}  // namespace dsadmin::jet
