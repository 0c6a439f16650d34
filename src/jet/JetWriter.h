#pragma once
// Writes a new Jet 4 (Access 2000) database file holding one or more user tables.
//
// What the file holds: the header page; the system catalog MSysObjects (its 17 columns,
// with the Tables/Databases/Relationships containers and one row per table); per table a
// definition page (no indexes), its rows on data pages in the order they were added, memo
// texts too long for the row on long-value pages, and a usage map of its data pages (inline
// for small tables, through page-usage bitmap pages for large ones). Text is stored as
// plain UTF-16LE. mdbtools (libmdb) and the npm package mdb-reader read it.
//
// Rows are kept in memory (as finished pages) until write().

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/Value.h"
#include "jet/JetSchema.h"
#include "jet/Page.h"
#include "jet/RowEncoder.h"

namespace dsadmin::jet {

class JetWriter {
  public:
    // Checks the definitions (names, counts, text lengths).
    // Throws JetWriteError naming the table or column at fault.
    explicit JetWriter(std::vector<TableDef> tables);
    ~JetWriter();
    JetWriter(const JetWriter&) = delete;
    JetWriter& operator=(const JetWriter&) = delete;

    std::size_t tableCount() const { return tables_.size(); }
    const TableDef& table(std::size_t i) const { return tables_[i].def; }
    std::uint32_t rowCount(std::size_t i) const { return tables_[i].rows; }

    // Appends a row to table `table` (index into the definitions): one value per column,
    // in column order. Text and Memo take UTF-8 text; Long, Integer and Byte whole numbers
    // in range; Double numbers; Yes/No bool or a number (not 0 = Yes); Date/Time Date.
    // Null is allowed everywhere (Yes/No stores it as No).
    // Throws JetWriteError naming the column when a value does not fit; the row is not added.
    void addRow(std::size_t table, std::span<const Value> values);

    // Writes the file to a new temporary file in the folder of `path` and renames it to
    // `path`. Without `overwrite`, an existing `path` is kept and JetWriteError thrown.
    // On any failure no temporary file is left behind and `path` is unchanged.
    void write(const std::string& path, bool overwrite) const;

  private:
    struct Table {
        TableDef def;
        RowEncoder layout;
        std::vector<std::uint32_t> definitionPages;
        std::vector<std::uint32_t> dataPages;
        std::uint32_t rows = 0;
        std::uint32_t longValuePage = 0;  // 0: none yet
    };
    struct MapRow {
        std::vector<std::uint8_t> bytes;
        std::uint32_t pointer = 0;
    };

    std::uint32_t newPage();
    Page& page(std::uint32_t number) { return *pages_[number]; }
    std::uint32_t addLongValue(Table& t, std::span<const std::uint8_t> row);
    void addCatalog();
    MapRow usageMap(const std::vector<std::uint32_t>& owned,
                    std::vector<std::unique_ptr<Page>>& extra, std::uint32_t& next) const;
    std::vector<std::unique_ptr<Page>> finalPages() const;

    std::vector<Table> tables_;
    std::unique_ptr<RowEncoder> catalogLayout_;
    std::vector<std::uint32_t> catalogPages_;
    std::uint32_t catalogRows_ = 0;
    double created_ = 0;
    std::vector<std::unique_ptr<Page>> pages_;  // pages 0 .. n-1; definitions filled at write
};

}  // namespace dsadmin::jet
