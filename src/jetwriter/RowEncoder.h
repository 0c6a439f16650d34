#pragma once
// The column layout of one Jet 4 table and the encoding of its rows.
//
// Row layout (offsets from the row's start):
//   u16 column count | fixed area (each fixed column at 2 + its offset; NULL is zeros) |
//   variable values back to back | u16 end of the variable data | u16 offset of each
//   variable column, last first | u16 variable column count | null mask, one bit per column
//   number, set = present (for Yes/No: set = Yes)
// The trailer from "u16 end" on is written only when the table has variable columns.
// With `compressText`, text values are stored compressed (FF FE, one byte a character) when
// every character is U+0001..U+00FF and that saves room; else text as plain UTF-16LE, as
// memo values always are.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/JetType.h"
#include "db/Value.h"

namespace dsadmin::jet {

struct ColumnSpec {
    std::string name;  // UTF-8
    JetType type = JetType::Text;
    std::uint16_t size = 0;  // bytes: Text 2 x characters, Long 4, Memo/OLE 0, Yes/No 0
    // Filled in by RowEncoder:
    bool fixed = false;
    std::uint16_t number = 0;       // column number, also the null-mask bit
    std::uint16_t fixedOffset = 0;  // fixed columns: offset inside the fixed area
    std::uint16_t varIndex = 0;     // variable columns: position in the offset table;
                                    // fixed columns: variable columns before this one
};

class RowEncoder {
  public:
    // The largest row Jet 4 stores on a data page.
    static constexpr std::size_t kMaxRow = 4060;
    // Stores one long-value row on a long-value page; returns its pointer (page << 8 | row).
    using LongValueSink = std::function<std::uint32_t(std::span<const std::uint8_t>)>;

    // Numbers the columns in the given order and lays out the fixed area.
    explicit RowEncoder(std::vector<ColumnSpec> columns, bool compressText = false);

    const std::vector<ColumnSpec>& columns() const { return columns_; }
    std::uint16_t varCount() const { return varCount_; }

    // Encodes one row into `out` (replacing its contents). `values` has one value per
    // column. Memo values too long to stay in the row go through `sink`.
    // Throws JetWriteError naming the column when a value does not suit its column, and
    // when the row is longer than kMaxRow.
    void encode(std::span<const Value> values, const LongValueSink& sink,
                std::vector<std::uint8_t>& out) const;

  private:
    void putFixed(const ColumnSpec& c, const Value& v, std::uint8_t* at) const;
    void putMemo(const ColumnSpec& c, const Value& v, const LongValueSink& sink,
                 std::vector<std::uint8_t>& out) const;

    std::vector<ColumnSpec> columns_;
    std::uint16_t varCount_ = 0;
    std::size_t fixedSize_ = 0;
    bool compressText_ = false;
};

}  // namespace dsadmin::jet
