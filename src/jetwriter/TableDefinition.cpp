#include "jetwriter/TableDefinition.h"

#include <algorithm>

#include "jetwriter/Utf16.h"

namespace dsadmin::jet {
namespace {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kDescriptorsAt = 63;
constexpr std::size_t kDescriptor = 25;
constexpr std::uint16_t kGeneralSortOrder = 1033;
constexpr std::uint32_t kMagic1625 = 1625;
constexpr std::uint8_t kFixedFlag = 0x01;
constexpr std::uint8_t kUpdatableFlag = 0x02;
constexpr std::uint8_t kSystemColumnFlag = 0x10;  // every column of Access's system tables
constexpr std::uint8_t kSystemBinaryFlag = 0x20;  // their Owner and SID columns besides
constexpr std::uint8_t kCompressedTextFlag = 0x01;
constexpr std::size_t kMemoMapEntry = 10;
constexpr std::size_t kRowsAt = 16;
constexpr std::size_t kMapAt = 55;

// One column descriptor as Access writes it: the sort order on every column; system
// columns flagged; user text columns marked for compressed text (RowEncoder stores it so).
void descriptor(const ColumnSpec& c, bool system, std::uint8_t* d) {
    d[0] = static_cast<std::uint8_t>(c.type);
    put32(d + 1, kMagic1625);
    put16(d + 5, c.number);
    put16(d + 7, c.varIndex);
    put16(d + 9, system ? 0 : c.number);
    put16(d + 11, kGeneralSortOrder);
    d[15] = c.fixed ? kFixedFlag | kUpdatableFlag : kUpdatableFlag;
    if (system) d[15] |= kSystemColumnFlag;
    if (system && (c.name == "Owner" || c.name == "SID")) d[15] |= kSystemBinaryFlag;
    if (!system && c.type == JetType::Text) d[16] = kCompressedTextFlag;
    put16(d + 21, c.fixedOffset);
    put16(d + 23, c.type == JetType::Boolean ? 1 : c.size);
}

}  // namespace

TableDefinition::TableDefinition(const RowEncoder& layout, std::uint8_t tableType) {
    const auto& cols = layout.columns();
    bytes_.assign(kDescriptorsAt + kDescriptor * cols.size(), 0);
    std::uint8_t* h = bytes_.data();
    h[0] = 0x02;
    h[1] = 0x01;
    put32(h + 12, kMagic1625);
    h[24] = 0x01;
    h[40] = tableType;
    put16(h + 41, static_cast<std::uint16_t>(cols.size()));
    put16(h + 43, layout.varCount());
    put16(h + 45, static_cast<std::uint16_t>(cols.size()));
    for (std::size_t i = 0; i < cols.size(); ++i)
        descriptor(cols[i], tableType == kSystemTable, &bytes_[kDescriptorsAt + kDescriptor * i]);
    for (const auto& c : cols) {
        std::size_t at = bytes_.size();
        bytes_.resize(at + 2);
        Utf16::append(c.name, bytes_);
        put16(&bytes_[at], static_cast<std::uint16_t>(bytes_.size() - at - 2));
    }
    // Per memo column of a user table: its number and the two long-value usage-map pointers,
    // filled in by place().
    memoMapsAt_ = bytes_.size();
    for (const auto& c : cols)
        if (c.type == JetType::Memo && tableType == kUserTable) {
            std::size_t at = bytes_.size();
            bytes_.resize(at + kMemoMapEntry);
            put16(&bytes_[at], c.number);
        }
    bytes_.push_back(0xFF);
    bytes_.push_back(0xFF);
    put32(&bytes_[8], static_cast<std::uint32_t>(bytes_.size()));
}

std::size_t TableDefinition::pageCount() const {
    if (bytes_.size() <= kPageSize) return 1;
    const std::size_t perPage = kPageSize - kHeader;
    return 1 + (bytes_.size() - kPageSize + perPage - 1) / perPage;
}

bool TableDefinition::hasMemo() const {
    return bytes_.size() - 2 > memoMapsAt_;
}

void TableDefinition::place(std::span<Page* const> pages, std::span<const std::uint32_t> numbers,
                            std::uint32_t rows, std::uint32_t map, std::uint32_t memoMap) const {
    std::vector<std::uint8_t> def = bytes_;
    put32(&def[kRowsAt], rows);
    put32(&def[kMapAt], map);
    put32(&def[kMapAt + 4], map);
    for (std::size_t at = memoMapsAt_; at + 2 < def.size(); at += kMemoMapEntry) {
        put32(&def[at + 2], memoMap);
        put32(&def[at + 6], memoMap);
    }
    std::size_t from = kHeader;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        Page& page = *pages[p];
        page.fill(0);
        std::size_t room = kPageSize - kHeader;
        std::size_t n = std::min(room, def.size() - from);
        if (p == 0) std::memcpy(page.data(), def.data(), kHeader);
        page[0] = 0x02;
        page[1] = 0x01;
        put16(&page[2], static_cast<std::uint16_t>(room - n));
        put32(&page[4], p + 1 < pages.size() ? numbers[p + 1] : 0);
        std::memcpy(&page[kHeader], &def[from], n);
        from += n;
    }
}

}  // namespace dsadmin::jet
