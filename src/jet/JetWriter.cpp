#include "jet/JetWriter.h"

#include <strings.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <map>

#include "jet/DataPage.h"
#include "jet/FileOutput.h"
#include "jet/HeaderPage.h"
#include "jet/JetWriteError.h"
#include "jet/TableDefinition.h"
#include "jet/Utf16.h"

namespace dsadmin::jet {
namespace {

constexpr std::uint32_t kCatalogPage = 2;  // both readers start from the catalog here
constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxNameUnits = 64;
// A usage map lists a table's data pages inline (start page + bitmap) while the bitmap
// stays this small; larger tables get bitmap pages of their own.
constexpr std::size_t kInlineMapBytes = 1024;
constexpr std::uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8;
constexpr std::int64_t kSystemFlags = -2147483647 - 1;  // 0x80000000
constexpr std::int64_t kTablesId = 0x0F000001;

void checkName(const std::string& what, const std::string& name) {
    std::vector<std::uint8_t> units;
    long n = Utf16::append(name, units);
    std::string why;
    if (n < 0)
        why = "is not valid UTF-8";
    else if (n == 0)
        why = "is empty";
    else if (static_cast<std::size_t>(n) > kMaxNameUnits)
        why = "is longer than 64 characters";
    else if (name.front() == ' ')
        why = "begins with a blank";
    for (unsigned char c : name)
        if (why.empty() &&
            (c < 0x20 || c == 0x7F || c == '.' || c == '!' || c == '`' || c == '[' || c == ']'))
            why = "contains a control character or one of . ! ` [ ]";
    if (!why.empty()) throw JetWriteError(what + " \"" + name + "\" " + why);
}

bool sameName(const std::string& a, const std::string& b) {
    return ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

ColumnSpec toSpec(const ColumnDef& c) {
    switch (c.type) {
        case ColumnType::Text:
            return {c.name, kText, static_cast<std::uint16_t>(2 * c.length)};
        case ColumnType::Long:
            return {c.name, kLong, 4};
        case ColumnType::Integer:
            return {c.name, kInt, 2};
        case ColumnType::Byte:
            return {c.name, kByte, 1};
        case ColumnType::Double:
            return {c.name, kDouble, 8};
        case ColumnType::YesNo:
            return {c.name, kBool, 0};
        case ColumnType::DateTime:
            return {c.name, kDateTime, 8};
        case ColumnType::Memo:
            return {c.name, kMemo, 0};
    }
    return {c.name, kText, 0};
}

RowEncoder checkedLayout(const TableDef& t) {
    checkName("table name", t.name);
    if (sameName(t.name, "MSysObjects")) throw JetWriteError("table name \"MSysObjects\" is taken");
    if (t.columns.empty() || t.columns.size() > kMaxColumns)
        throw JetWriteError("table \"" + t.name + "\" needs 1 to 255 columns");
    std::vector<ColumnSpec> specs;
    for (const auto& c : t.columns) {
        checkName("column name", c.name);
        for (const auto& s : specs)
            if (sameName(s.name, c.name))
                throw JetWriteError("table \"" + t.name + "\" has two columns named \"" + c.name +
                                    "\"");
        if (c.type == ColumnType::Text && (c.length < 1 || c.length > 255))
            throw JetWriteError("column \"" + c.name + "\": a text length must be 1 to 255");
        specs.push_back(toSpec(c));
    }
    return RowEncoder(std::move(specs));
}

// The 17 columns of Access's MSysObjects, in its column order.
std::vector<ColumnSpec> catalogColumns() {
    return {{"Id", kLong, 4},
            {"ParentId", kLong, 4},
            {"Name", kText, 510},
            {"Type", kInt, 2},
            {"DateCreate", kDateTime, 8},
            {"DateUpdate", kDateTime, 8},
            {"Owner", kBinary, 510},
            {"Flags", kLong, 4},
            {"Database", kMemo, 0},
            {"Connect", kMemo, 0},
            {"ForeignName", kText, 510},
            {"RmtInfoShort", kBinary, 510},
            {"RmtInfoLong", kOle, 0},
            {"Lv", kOle, 0},
            {"LvProp", kOle, 0},
            {"LvModule", kOle, 0},
            {"LvExtra", kOle, 0}};
}

void setBit(std::uint8_t* bitmap, std::uint32_t bit) {
    bitmap[bit / 8] |= 1 << (bit % 8);
}

}  // namespace

JetWriter::JetWriter(std::vector<TableDef> tables) {
    if (tables.empty()) throw JetWriteError("a database needs at least one table");
    created_ = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    for (std::uint32_t i = 0; i <= kCatalogPage; ++i) newPage();
    for (auto& def : tables) {
        for (const auto& t : tables_)
            if (sameName(t.def.name, def.name))
                throw JetWriteError("two tables are named \"" + def.name + "\"");
        RowEncoder layout = checkedLayout(def);
        Table t{std::move(def), std::move(layout), {}, {}, 0, 0};
        std::size_t n = TableDefinition(t.layout, TableDefinition::kUserTable).pageCount();
        for (std::size_t k = 0; k < n; ++k) t.definitionPages.push_back(newPage());
        tables_.push_back(std::move(t));
    }
    DataPage::init(page(1), 0);
    addCatalog();
}

JetWriter::~JetWriter() = default;

std::uint32_t JetWriter::newPage() {
    pages_.push_back(std::make_unique<Page>());
    pages_.back()->fill(0);
    return static_cast<std::uint32_t>(pages_.size() - 1);
}

void JetWriter::addCatalog() {
    catalogLayout_ = std::make_unique<RowEncoder>(catalogColumns());
    auto row = [&](std::int64_t id, std::int64_t parent, std::string name, std::int64_t type,
                   std::int64_t flags) {
        std::vector<Value> v(17);
        v[0] = id, v[1] = parent, v[2] = std::move(name), v[3] = type;
        v[4] = Date{created_}, v[5] = Date{created_}, v[7] = flags;
        std::vector<std::uint8_t> bytes;
        catalogLayout_->encode(v, {}, bytes);
        if (catalogPages_.empty() || !DataPage::fits(page(catalogPages_.back()), bytes.size())) {
            catalogPages_.push_back(newPage());
            DataPage::init(page(catalogPages_.back()), kCatalogPage);
        }
        DataPage::add(page(catalogPages_.back()), bytes);
        ++catalogRows_;
    };
    row(kTablesId, 0x0F000000, "Tables", 3, kSystemFlags);
    row(0x0F000002, 0x0F000000, "Databases", 3, kSystemFlags);
    row(0x0F000003, 0x0F000000, "Relationships", 3, kSystemFlags);
    row(kCatalogPage, kTablesId, "MSysObjects", 1, kSystemFlags);
    for (const auto& t : tables_) row(t.definitionPages.front(), kTablesId, t.def.name, 1, 0);
}

std::uint32_t JetWriter::addLongValue(Table& t, std::span<const std::uint8_t> row) {
    if (t.longValuePage == 0 || !DataPage::fits(page(t.longValuePage), row.size())) {
        t.longValuePage = newPage();
        DataPage::init(page(t.longValuePage), DataPage::kLongValueOwner);
    }
    int r = DataPage::add(page(t.longValuePage), row);
    return t.longValuePage << 8 | static_cast<std::uint32_t>(r);
}

void JetWriter::addRow(std::size_t index, std::span<const Value> values) {
    Table& t = tables_.at(index);
    std::vector<std::uint8_t> bytes;
    t.layout.encode(
        values, [&](auto row) { return addLongValue(t, row); }, bytes);
    if (t.dataPages.empty() || !DataPage::fits(page(t.dataPages.back()), bytes.size())) {
        t.dataPages.push_back(newPage());
        DataPage::init(page(t.dataPages.back()), t.definitionPages.front());
    }
    DataPage::add(page(t.dataPages.back()), bytes);
    ++t.rows;
}

// The usage-map row for a table owning `owned` (ascending). Bitmap pages it needs are
// appended to `extra` and numbered from `next` on.
JetWriter::MapRow JetWriter::usageMap(const std::vector<std::uint32_t>& owned,
                                      std::vector<std::unique_ptr<Page>>& extra,
                                      std::uint32_t& next) const {
    MapRow m;
    std::uint32_t first = owned.empty() ? 0 : owned.front();
    std::uint32_t span = owned.empty() ? 1 : owned.back() - first + 1;
    if ((span + 7) / 8 <= kInlineMapBytes) {
        m.bytes.assign(5 + (span + 7) / 8, 0);
        put32(&m.bytes[1], first);
        for (auto p : owned) setBit(&m.bytes[5], p - first);
        return m;
    }
    std::uint32_t slots = owned.back() / kPagesPerBitmapPage + 1;
    m.bytes.assign(1 + 4 * slots, 0);
    m.bytes[0] = 0x01;
    std::map<std::uint32_t, Page*> bitmaps;
    for (auto p : owned) {
        std::uint32_t slot = p / kPagesPerBitmapPage;
        if (!bitmaps.count(slot)) {
            extra.push_back(std::make_unique<Page>());
            Page& b = *extra.back();
            b.fill(0);
            b[0] = 0x05, b[1] = 0x01;
            put32(&m.bytes[1 + 4 * slot], next++);
            bitmaps[slot] = &b;
        }
        setBit(&(*bitmaps[slot])[4], p % kPagesPerBitmapPage);
    }
    return m;
}

void JetWriter::write(const std::string& path, bool overwrite) const {
    // Pages after the last row page: bitmap pages, then the pages holding the map rows.
    std::vector<std::unique_ptr<Page>> extra;
    std::uint32_t next = static_cast<std::uint32_t>(pages_.size());
    std::vector<MapRow> maps;
    maps.push_back(usageMap(catalogPages_, extra, next));
    for (const auto& t : tables_) maps.push_back(usageMap(t.dataPages, extra, next));
    std::size_t mapPage = SIZE_MAX;
    for (auto& m : maps) {
        if (mapPage == SIZE_MAX || !DataPage::fits(*extra[mapPage], m.bytes.size())) {
            extra.push_back(std::make_unique<Page>());
            DataPage::init(*extra.back(), 0);
            mapPage = extra.size() - 1;
        }
        std::uint32_t number = static_cast<std::uint32_t>(pages_.size() + mapPage);
        m.pointer =
            number << 8 | static_cast<std::uint32_t>(DataPage::add(*extra[mapPage], m.bytes));
    }
    // Definition pages and the header, written over the reserved pages.
    std::map<std::uint32_t, std::unique_ptr<Page>> over;
    auto define = [&](const RowEncoder& layout, std::uint8_t type,
                      const std::vector<std::uint32_t>& numbers, std::uint32_t rows,
                      std::uint32_t map) {
        std::vector<Page*> targets;
        for (auto n : numbers) targets.push_back((over[n] = std::make_unique<Page>()).get());
        TableDefinition(layout, type).place(targets, numbers, rows, map);
    };
    define(*catalogLayout_, TableDefinition::kSystemTable, {kCatalogPage}, catalogRows_,
           maps[0].pointer);
    for (std::size_t i = 0; i < tables_.size(); ++i)
        define(tables_[i].layout, TableDefinition::kUserTable, tables_[i].definitionPages,
               tables_[i].rows, maps[i + 1].pointer);
    over[0] = std::make_unique<Page>(HeaderPage::make(created_));

    FileOutput out(path, overwrite);
    for (std::uint32_t n = 0; n < pages_.size(); ++n) {
        auto it = over.find(n);
        out.append(it != over.end() ? *it->second : *pages_[n]);
    }
    for (const auto& p : extra) out.append(*p);
    out.commit();
}

}  // namespace dsadmin::jet
