#include "jetwriter/DataPage.h"

namespace dsadmin::jet {
namespace {
constexpr std::size_t kRowCountAt = 12;
constexpr std::size_t kFreeSpaceAt = 2;
}  // namespace

void DataPage::init(Page& page, std::uint32_t owner) {
    page.fill(0);
    page[0] = 0x01;
    page[1] = 0x01;
    put16(&page[kFreeSpaceAt], static_cast<std::uint16_t>(kPageSize - kHeader));
    setOwner(page, owner);
}

void DataPage::setOwner(Page& page, std::uint32_t owner) {
    put32(&page[4], owner);
}

int DataPage::rowCount(const Page& page) {
    return get16(&page[kRowCountAt]);
}

std::size_t DataPage::lowestRow(const Page& page) {
    int n = rowCount(page);
    return n == 0 ? kPageSize : get16(&page[kHeader + 2 * (n - 1)]);
}

bool DataPage::fits(const Page& page, std::size_t size) {
    int n = rowCount(page);
    return n < kMaxRows && size + 2 + kHeader + 2 * n <= lowestRow(page);
}

int DataPage::add(Page& page, std::span<const std::uint8_t> row) {
    int n = rowCount(page);
    std::size_t start = lowestRow(page) - row.size();
    std::memcpy(&page[start], row.data(), row.size());
    put16(&page[kHeader + 2 * n], static_cast<std::uint16_t>(start));
    put16(&page[kRowCountAt], static_cast<std::uint16_t>(n + 1));
    put16(&page[kFreeSpaceAt], static_cast<std::uint16_t>(start - (kHeader + 2 * (n + 1))));
    return n;
}

}  // namespace dsadmin::jet
