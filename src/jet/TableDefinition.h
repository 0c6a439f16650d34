#pragma once
// Jet 4 table definition pages (TDEF, type 0x02).
//
// Layout: an 8-byte page header (type, 0x01, free space, next definition page), the
// definition's length, the row count, the table type (0x4E user, 0x53 system), column
// counts, no indexes, the pointers to the usage-map rows, then one 25-byte descriptor per
// column, the column names (u16 byte length + UTF-16LE), for a user table one entry per
// memo column (its number and the usage map of the table's long-value pages), and FF FF.
// A definition longer than a page continues on further pages, each with the 8-byte header
// again.

#include <cstdint>
#include <span>
#include <vector>

#include "jet/Page.h"
#include "jet/RowEncoder.h"

namespace dsadmin::jet {

class TableDefinition {
  public:
    static constexpr std::uint8_t kUserTable = 0x4E;
    static constexpr std::uint8_t kSystemTable = 0x53;

    TableDefinition(const RowEncoder& layout, std::uint8_t tableType);

    // Pages the definition takes.
    std::size_t pageCount() const;

    // Whether the definition lists memo columns (and so wants a long-value usage map).
    bool hasMemo() const;

    // Writes the definition onto `pages` (pageCount() of them, numbered `numbers`), with
    // `rows` rows, both usage-map pointers at `map` and those of every memo column at
    // `memoMap` (page << 8 | row).
    void place(std::span<Page* const> pages, std::span<const std::uint32_t> numbers,
               std::uint32_t rows, std::uint32_t map, std::uint32_t memoMap = 0) const;

  private:
    std::vector<std::uint8_t> bytes_;  // the definition as if on one long page
    std::size_t memoMapsAt_ = 0;
};

}  // namespace dsadmin::jet
