#include "jetwriter/JetWriter.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <map>

#include "base/Utf16.h"
#include "jetwriter/DataPage.h"
#include "jetwriter/FileOutput.h"
#include "jetwriter/HeaderPage.h"
#include "jetwriter/JetWriteError.h"
#include "jetwriter/TableDefinition.h"
#include "jetwriter/Utf16.h"

namespace dsadmin::jet {
namespace {

constexpr std::uint32_t kCatalogPage = 2;  // both readers start from the catalog here
constexpr std::uint32_t kPageMapPage = 1;  // Access's global page map; an empty data page here
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

// Jet tells names apart without regard to letter case, in every alphabet.
bool sameName(const std::string& a, const std::string& b) {
    const std::u16string wa = Utf8ToUtf16(a), wb = Utf8ToUtf16(b);
    UErrorCode error = U_ZERO_ERROR;
    return u_strCaseCompare(wa.data(), static_cast<std::int32_t>(wa.size()), wb.data(),
                            static_cast<std::int32_t>(wb.size()), U_FOLD_CASE_DEFAULT,
                            &error) == 0 &&
           U_SUCCESS(error);
}

ColumnSpec toSpec(const ColumnDef& c) {
    switch (c.type) {
        case JetColumnType::Text:
            return {c.name, JetType::Text, static_cast<std::uint16_t>(2 * c.length)};
        case JetColumnType::Long:
            return {c.name, JetType::Long, 4};
        case JetColumnType::Integer:
            return {c.name, JetType::Integer, 2};
        case JetColumnType::Byte:
            return {c.name, JetType::Byte, 1};
        case JetColumnType::Double:
            return {c.name, JetType::Double, 8};
        case JetColumnType::YesNo:
            return {c.name, JetType::Boolean, 0};
        case JetColumnType::DateTime:
            return {c.name, JetType::DateTime, 8};
        case JetColumnType::Memo:
            return {c.name, JetType::Memo, 0};
    }
    return {c.name, JetType::Text, 0};
}

RowEncoder checkedLayout(const TableDef& t) {
    checkName("table name", t.name);
    for (const char* system : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"})
        if (sameName(t.name, system))
            throw JetWriteError("table name \"" + t.name + "\" is taken by a system table");
    if (t.columns.empty() || t.columns.size() > kMaxColumns)
        throw JetWriteError("table \"" + t.name + "\" needs 1 to 255 columns");
    std::vector<ColumnSpec> specs;
    for (const auto& c : t.columns) {
        checkName("column name", c.name);
        for (const auto& s : specs)
            if (sameName(s.name, c.name))
                throw JetWriteError("table \"" + t.name + "\" has two columns named \"" + c.name +
                                    "\"");
        if (c.type == JetColumnType::Text && (c.length < 1 || c.length > 255))
            throw JetWriteError("column \"" + c.name + "\": a text length must be 1 to 255");
        specs.push_back(toSpec(c));
    }
    return RowEncoder(std::move(specs), true);
}

// The 17 columns of Access's MSysObjects, in its column order.
std::vector<ColumnSpec> catalogColumns() {
    return {{"Id", JetType::Long, 4},
            {"ParentId", JetType::Long, 4},
            {"Name", JetType::Text, 510},
            {"Type", JetType::Integer, 2},
            {"DateCreate", JetType::DateTime, 8},
            {"DateUpdate", JetType::DateTime, 8},
            {"Owner", JetType::Binary, 510},
            {"Flags", JetType::Long, 4},
            {"Database", JetType::Memo, 0},
            {"Connect", JetType::Memo, 0},
            {"ForeignName", JetType::Text, 510},
            {"RmtInfoShort", JetType::Binary, 510},
            {"RmtInfoLong", JetType::Ole, 0},
            {"Lv", JetType::Ole, 0},
            {"LvProp", JetType::Ole, 0},
            {"LvModule", JetType::Ole, 0},
            {"LvExtra", JetType::Ole, 0}};
}

// The empty system tables every Jet 4 file has beside MSysObjects, with Access's columns in
// its column-number order.
struct SystemTable {
    const char* name;
    std::vector<ColumnSpec> columns;
};
std::vector<SystemTable> systemTables() {
    return {{"MSysACEs",
             {{"ObjectId", JetType::Long, 4},
              {"SID", JetType::Binary, 510},
              {"ACM", JetType::Long, 4},
              {"FInheritable", JetType::Boolean, 0}}},
            {"MSysQueries",
             {{"ObjectId", JetType::Long, 4},
              {"Attribute", JetType::Byte, 1},
              {"Order", JetType::Binary, 510},
              {"Name1", JetType::Text, 510},
              {"Name2", JetType::Text, 510},
              {"Expression", JetType::Memo, 0},
              {"Flag", JetType::Integer, 2},
              {"LvExtra", JetType::Long, 4}}},
            {"MSysRelationships",
             {{"szRelationship", JetType::Text, 510},
              {"grbit", JetType::Long, 4},
              {"ccolumn", JetType::Long, 4},
              {"icolumn", JetType::Long, 4},
              {"szObject", JetType::Text, 510},
              {"szColumn", JetType::Text, 510},
              {"szReferencedObject", JetType::Text, 510},
              {"szReferencedColumn", JetType::Text, 510}}}};
}

void setBit(std::uint8_t* bitmap, std::uint32_t bit) {
    bitmap[bit / 8] |= 1 << (bit % 8);
}

}  // namespace

JetWriter::JetWriter(std::vector<TableDef> tables, const std::string& path, bool overwrite,
                     std::uint64_t maxFileSize)
    : maxPages_(maxFileSize / kPageSize) {
    if (tables.empty()) throw JetWriteError("a database needs at least one table");
    std::vector<RowEncoder> layouts;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        for (std::size_t k = 0; k < i; ++k)
            if (sameName(tables[k].name, tables[i].name))
                throw JetWriteError("two tables are named \"" + tables[i].name + "\"");
        layouts.push_back(checkedLayout(tables[i]));
    }
    created_ = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    out_ = std::make_unique<FileOutput>(path, overwrite);
    pageCount_ = kCatalogPage;
    Page pageMap;
    DataPage::init(pageMap, 0);
    out_->put(kPageMapPage, pageMap);
    addTable({"MSysObjects", {}}, catalogColumns(), TableDefinition::kSystemTable);
    for (auto& s : systemTables())
        addTable({s.name, {}}, std::move(s.columns), TableDefinition::kSystemTable);
    firstUser_ = tables_.size();
    for (std::size_t i = 0; i < tables.size(); ++i) {
        Table t{std::move(tables[i]),
                std::move(layouts[i]),
                TableDefinition::kUserTable,
                {},
                {},
                {},
                0};
        tables_.push_back(std::move(t));
        std::size_t n =
            TableDefinition(tables_.back().layout, TableDefinition::kUserTable).pageCount();
        for (std::size_t k = 0; k < n; ++k) tables_.back().definitionPages.push_back(pageCount_++);
    }
    if (pageCount_ + spareForMaps() > maxPages_)
        throw JetWriteError("the tables' definitions alone pass the file size limit");
    addCatalog();
}

JetWriter::~JetWriter() = default;

void JetWriter::addTable(TableDef def, std::vector<ColumnSpec> columns, std::uint8_t type) {
    Table t{std::move(def), RowEncoder(std::move(columns)), type, {}, {}, {}, 0};
    std::size_t n = TableDefinition(t.layout, type).pageCount();
    for (std::size_t k = 0; k < n; ++k) t.definitionPages.push_back(pageCount_++);
    tables_.push_back(std::move(t));
}

// Pages commit() adds for the usage maps, at most: the pages holding the map rows (each
// row at most 1,029 bytes, so three a page) and the bitmap pages of maps too wide to be
// inline, for a file grown to the limit.
std::size_t JetWriter::spareForMaps() const {
    const std::size_t maps = 2 * tables_.size();
    std::size_t spare = maps / 3 + 1;
    const std::size_t perMap = maxPages_ / kPagesPerBitmapPage + 1;
    for (const auto& t : tables_)
        for (const auto* owned : {&t.dataPages, &t.longValuePages})
            if (owned->size() > 1 && owned->back() - owned->front() + 64 >= kInlineMapBytes * 8)
                spare += perMap;
    return spare;
}

std::uint32_t JetWriter::newPage(std::uint32_t owner, std::size_t reserve) {
    if (pageCount_ + 1 + reserve + spareForMaps() > maxPages_)
        throw JetWriteError("the file would grow past " + std::to_string(maxPages_ * kPageSize) +
                            " bytes, the most a Jet database can hold");
    auto page = std::make_unique<Page>();
    DataPage::init(*page, owner);
    open_[pageCount_] = std::move(page);
    return pageCount_++;
}

void JetWriter::finish(std::uint32_t number) {
    auto it = open_.find(number);
    if (it == open_.end()) return;
    out_->put(number, *it->second);
    open_.erase(it);
}

void JetWriter::addCatalog() {
    Table& catalog = tables_.front();
    auto row = [&](std::int64_t id, std::int64_t parent, std::string name, std::int64_t type,
                   std::int64_t flags) {
        std::vector<Value> v(17);
        v[0] = id, v[1] = parent, v[2] = std::move(name), v[3] = type;
        v[4] = Date{created_}, v[5] = Date{created_}, v[7] = flags;
        std::vector<std::uint8_t> bytes;
        catalog.layout.encode(v, {}, bytes);
        if (catalog.dataPages.empty() ||
            !DataPage::fits(open(catalog.dataPages.back()), bytes.size())) {
            if (!catalog.dataPages.empty()) finish(catalog.dataPages.back());
            catalog.dataPages.push_back(newPage(kCatalogPage, 0));
        }
        DataPage::add(open(catalog.dataPages.back()), bytes);
        ++catalog.rows;
    };
    row(kTablesId, 0x0F000000, "Tables", 3, kSystemFlags);
    row(0x0F000002, 0x0F000000, "Databases", 3, kSystemFlags);
    row(0x0F000003, 0x0F000000, "Relationships", 3, kSystemFlags);
    row(0x10000000, 0x0F000002, "MSysDb", 2, kSystemFlags);
    for (std::size_t i = 0; i < tables_.size(); ++i) {
        const Table& t = tables_[i];
        row(t.definitionPages.front(), kTablesId, t.def.name, 1, i < firstUser_ ? kSystemFlags : 0);
    }
}

std::uint32_t JetWriter::addLongValue(Table& t, std::span<const std::uint8_t> row) {
    if (t.longValuePages.empty() || !DataPage::fits(open(t.longValuePages.back()), row.size())) {
        if (!t.longValuePages.empty()) finish(t.longValuePages.back());
        t.longValuePages.push_back(newPage(DataPage::kLongValueOwner, 1));
    }
    int r = DataPage::add(open(t.longValuePages.back()), row);
    return t.longValuePages.back() << 8 | static_cast<std::uint32_t>(r);
}

void JetWriter::addRow(std::size_t index, std::span<const Value> values) {
    if (committed_ || index >= tables_.size() - firstUser_)
        throw JetWriteError("no table number " + std::to_string(index) + " to add a row to");
    Table& t = tables_[firstUser_ + index];
    std::vector<std::uint8_t> bytes;
    // Long values of a row refused later stay on their page unreferenced: harmless.
    t.layout.encode(
        values, [&](auto row) { return addLongValue(t, row); }, bytes);
    if (t.dataPages.empty() || !DataPage::fits(open(t.dataPages.back()), bytes.size())) {
        std::uint32_t n = newPage(t.definitionPages.front(), 0);
        if (!t.dataPages.empty()) finish(t.dataPages.back());
        t.dataPages.push_back(n);
    }
    DataPage::add(open(t.dataPages.back()), bytes);
    ++t.rows;
}

// The usage-map row for a table owning `owned` (ascending). Bitmap pages it needs are
// written and numbered from `next` on.
JetWriter::MapRow JetWriter::usageMap(const std::vector<std::uint32_t>& owned,
                                      std::uint32_t& next) {
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
    std::map<std::uint32_t, Page> bitmaps;  // by slot; at most 17 for 2 GB
    for (auto p : owned) {
        std::uint32_t slot = p / kPagesPerBitmapPage;
        auto [it, added] = bitmaps.try_emplace(slot);
        if (added) {
            it->second.fill(0);
            it->second[0] = 0x05, it->second[1] = 0x01;
            put32(&m.bytes[1 + 4 * slot], next++);
        }
        setBit(&it->second[4], p % kPagesPerBitmapPage);
    }
    for (const auto& [slot, page] : bitmaps) out_->put(get32(&m.bytes[1 + 4 * slot]), page);
    return m;
}

void JetWriter::commit() {
    if (committed_) throw JetWriteError("the file is written already");
    while (!open_.empty()) finish(open_.begin()->first);
    // After the last row page: bitmap pages, then the pages holding the map rows.
    std::uint32_t next = pageCount_;
    std::vector<MapRow> maps;
    for (const auto& t : tables_) {
        maps.push_back(usageMap(t.dataPages, next));
        maps.push_back(usageMap(t.longValuePages, next));
    }
    Page mapPage;
    std::uint32_t mapNumber = 0;
    for (auto& m : maps) {
        if (mapNumber == 0 || !DataPage::fits(mapPage, m.bytes.size())) {
            if (mapNumber) out_->put(mapNumber, mapPage);
            DataPage::init(mapPage, 0);
            mapNumber = next++;
        }
        m.pointer = mapNumber << 8 | static_cast<std::uint32_t>(DataPage::add(mapPage, m.bytes));
    }
    out_->put(mapNumber, mapPage);
    if (next > maxPages_)
        throw JetWriteError("the file would grow past " + std::to_string(maxPages_ * kPageSize) +
                            " bytes, the most a Jet database can hold");
    for (std::size_t i = 0; i < tables_.size(); ++i) {
        const Table& t = tables_[i];
        std::vector<Page> pages(t.definitionPages.size());
        std::vector<Page*> targets;
        for (auto& p : pages) targets.push_back(&p);
        TableDefinition(t.layout, t.type)
            .place(targets, t.definitionPages, t.rows, maps[2 * i].pointer,
                   maps[2 * i + 1].pointer);
        for (std::size_t k = 0; k < pages.size(); ++k) out_->put(t.definitionPages[k], pages[k]);
    }
    out_->put(0, HeaderPage::make(created_));
    out_->commit();
    committed_ = true;
}

}  // namespace dsadmin::jet
