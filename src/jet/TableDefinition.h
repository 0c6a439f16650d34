#pragma once
// Jet 4 table definition pages (TDEF, type 0x02).
//
// Layout: an 8-byte page header (type, 0x01, free space, next definition page), the
// definition's length, the row count, the table type (0x4E user, 0x53 system), column
// counts, no indexes, the pointers to the usage-map rows, then one 25-byte descriptor per
// column and the column names (u16 byte length + UTF-16LE), ended by FF FF. A definition
// longer than a page continues on further pages, each with the 8-byte header again.

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

    // Writes the definition onto `pages` (pageCount() of them, numbered `numbers`), with
    // `rows` rows and both usage-map pointers at `map` (page << 8 | row).
    void place(std::span<Page* const> pages, std::span<const std::uint32_t> numbers,
               std::uint32_t rows, std::uint32_t map) const;

  private:
    std::vector<std::uint8_t> bytes_;  // the definition as if on one long page
};

}  // namespace dsadmin::jet
