#pragma once
// Jet 4 data pages (type 0x01): an owner, a row count, a table of row offsets after the
// 14-byte header, and the rows packed from the end of the page downwards. The same layout
// holds table rows, usage-map rows and long-value (memo) rows.

#include <cstdint>
#include <span>

#include "jetwriter/Page.h"

namespace dsadmin::jet {

class DataPage {
  public:
    static constexpr int kMaxRows = 255;
    static constexpr std::size_t kHeader = 14;
    // Owner value of long-value pages: the bytes "LVAL".
    static constexpr std::uint32_t kLongValueOwner = 0x4C41564C;

    // Clears `page` to an empty data page owned by the table definition at page `owner`.
    static void init(Page& page, std::uint32_t owner);
    static void setOwner(Page& page, std::uint32_t owner);
    static int rowCount(const Page& page);
    // True when a row of `size` bytes (1..4082) still fits, with its offset entry.
    static bool fits(const Page& page, std::size_t size);
    // Appends a row that fits; returns its row number on the page.
    static int add(Page& page, std::span<const std::uint8_t> row);

  private:
    static std::size_t lowestRow(const Page& page);
};

}  // namespace dsadmin::jet
