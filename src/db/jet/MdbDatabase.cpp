#include "db/jet/MdbDatabase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "base/Utf16.h"
#include "db/jet/JetName.h"
#include "db/jet/JetWire.h"

namespace dsadmin {
namespace {

// Row-offset flag that marks a deleted row or a pointer to a moved one; libmdb and other
// readers skip such rows.
constexpr int kDeletedRow = 0x4000;
constexpr int kOffsetMask = 0x1FFF;
// Jet 3 memo texts come back through libmdb's bind-size buffer: large enough for 65,535
// characters as UTF-8.
constexpr std::size_t kBindSize = 256 * 1024;

// A Jet 4 text value: plain UCS-2LE, or "compressed Unicode" when it starts with FF FE
// (then a 0 byte toggles between one byte per character and two), as libmdb decodes it.
// Surrogate pairs are joined (libmdb's iconv turns them into "??"), a lone surrogate becomes
// U+FFFD.
void decodeJet4Text(const unsigned char* p, std::size_t n, std::string& out) {
    std::u16string units;
    units.reserve(n);
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        for (std::size_t i = 2; i < n;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(p[i++]);
            } else if (i + 1 < n) {
                units.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < n; i += 2)
            units.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    }
    out = Utf16ToUtf8(units);
}

std::string hexText(const unsigned char* p, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (std::size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

template <class T>
T load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Owns a string libmdb allocated with glib.
struct GlibFree {
    void operator()(gchar* s) const noexcept { g_free(s); }
};
using GlibText = std::unique_ptr<gchar, GlibFree>;

// A GUID in its standard text form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: the first three
// groups are stored little-endian, the last eight bytes in order.
std::string guidText(const unsigned char* p) {
    static const char digits[] = "0123456789ABCDEF";
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string s = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s.push_back('-');
        s.push_back(digits[p[order[i]] >> 4]);
        s.push_back(digits[p[order[i]] & 15]);
    }
    return s + "}";
}

}  // namespace

MdbDatabase::MdbDatabase(const std::string& path) {
    // Values are wanted as UTF-8 whatever the caller's environment says.
    ::setenv("MDBICONV", "UTF-8", 1);
    ::unsetenv("MDBPATH");
    mdb_.reset(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb_) throw Failure(jetwire::kNotJet, "不是 Jet 数据库");
    struct stat st {};
    if (::fstat(::fileno(mdb_->f->stream), &st) == 0)
        fileSize_ = static_cast<std::uint64_t>(st.st_size);
    // libmdb decodes Jet 4 names and texts as UCS-2, which turns a character beyond U+FFFF
    // (a surrogate pair) into "??"; UTF-16 keeps it. Set before the catalog is read, so
    // table and column names come out whole.
    if (!IS_JET3(mdb_.get())) {
        iconv_t utf16 = ::iconv_open("UTF-8", "UTF-16LE");
        if (utf16 != reinterpret_cast<iconv_t>(-1)) {
            if (mdb_->iconv_in != reinterpret_cast<iconv_t>(-1)) ::iconv_close(mdb_->iconv_in);
            mdb_->iconv_in = utf16;
        }
    }
    mdb_set_bind_size(mdb_.get(), kBindSize);
    // Every Jet database lists at least its own catalog table MSysObjects; an empty list
    // means a catalog libmdb could not follow (a truncated file, for one).
    if (!mdb_read_catalog(mdb_.get(), MDB_TABLE) || mdb_->num_catalog == 0)
        throw Failure(jetwire::kNotJet, "没有表目录");
    checkCatalog();
    textBuf_.resize(16384);
}

std::vector<std::string> MdbDatabase::userTables() const {
    std::vector<std::string> names;
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
        if (e->object_type == MDB_TABLE && mdb_is_user_table(e)) names.emplace_back(e->object_name);
    }
    return names;
}

MdbCatalogEntry* MdbDatabase::findUserTable(std::string_view name) const {
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
        if (e->object_type == MDB_TABLE && mdb_is_user_table(e) &&
            JetName::same(e->object_name, name))
            return e;
    }
    return nullptr;
}

bool MdbDatabase::pageInFile(std::uint32_t page) const {
    const std::uint64_t size = mdb_->fmt->pg_size;
    return (std::uint64_t{page} + 1) * size <= fileSize_;
}

// A page that the table's usage map lists but the file does not reach: the file was cut
// short. (A listed page of another kind or owner is skipped, as libmdb does; the row count
// below still notices rows lost that way.)
std::string MdbDatabase::missingPage(MdbTableDef* t) const {
    if (!t->usage_map || t->map_sz < 1) return {};
    gint32 pg = 0;
    for (std::uint64_t n = 0; n < (std::uint64_t{1} << 32); ++n) {
        gint32 next = mdb_map_find_next(mdb_.get(), t->usage_map, t->map_sz, pg);
        if (next <= pg) return {};  // end of the map, an unknown map type or a loop
        pg = next;
        if (!pageInFile(static_cast<std::uint32_t>(pg)))
            return "第 " + std::to_string(pg) + " 页超出了文件末尾";
    }
    return {};
}

std::string MdbDatabase::cutShort(const std::string& table, std::uint32_t announced,
                                  std::uint32_t rows) {
    return "表“" + table + "”被截断或已损坏：其定义有 " + std::to_string(announced) +
           " 行，只能读出 " + std::to_string(rows) + " 行";
}

void MdbDatabase::checkCatalog() {
    MdbCatalogEntry* catalog = nullptr;
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
        if (e->table_pg == 2) catalog = e;
    }
    if (!catalog) return;
    Table t(mdb_read_table(catalog));
    if (!t || !mdb_read_columns(t.get())) throw Failure(jetwire::kNotJet, "无法读取目录的定义");
    if (std::string why = missingPage(t.get()); !why.empty())
        throw Failure(jetwire::kNotJet, "目录被截断：" + why);
    std::uint32_t rows = 0;
    MdbHandle* mdb = mdb_.get();
    mdb_rewind_table(t.get());
    while (mdb_read_next_dpg(t.get())) {
        int count = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (int r = 0; r < count; ++r) {
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb, r, &start, &size) == 0 && size > 0 && !(start & kDeletedRow))
                ++rows;
        }
    }
    if (rows != t->num_rows)
        throw Failure(jetwire::kNotJet, cutShort("MSysObjects", t->num_rows, rows));
}

MdbDatabase::Table MdbDatabase::openTable(std::string_view name, std::string& spelled) const {
    MdbCatalogEntry* entry = findUserTable(name);
    if (!entry) throw Failure(jetwire::kNoTable, "没有这个表");
    spelled = entry->object_name;
    Table table(mdb_read_table(entry));
    // mdb_read_columns parses the page that mdb_read_table left in the handle's buffer.
    if (!table || !mdb_read_columns(table.get()) || !table->columns)
        throw Failure(jetwire::kBadTable, "无法读取表的定义");
    if (std::string why = missingPage(table.get()); !why.empty())
        throw Failure(jetwire::kBadTable, "表“" + spelled + "”被截断：" + why);
    return table;
}

void MdbDatabase::writeColumn(MdbTableDef* t, unsigned i, AnswerWriter& out) const {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
    out.str(col->name);
    out.u8(static_cast<std::uint8_t>(col->col_type));
    // Jet 3 keeps one byte a character; the answer counts text as Jet 4 does.
    const bool jet3Text = IS_JET3(mdb_.get()) && col->col_type == MDB_TEXT;
    out.u32(static_cast<std::uint32_t>(col->col_size * (jet3Text ? 2 : 1)));
}

void MdbDatabase::writeHeader(MdbTableDef* t, const std::string& name, AnswerWriter& out) const {
    out.str(name);
    out.u32(t->num_cols);
    for (unsigned i = 0; i < t->num_cols; ++i) writeColumn(t, i, out);
    out.u32(t->num_rows);
}

void MdbDatabase::writeTable(std::string_view name, AnswerWriter& out) {
    std::string spelled;
    Table table = openTable(name, spelled);
    MdbTableDef* t = table.get();
    MdbHandle* mdb = mdb_.get();
    writeHeader(t, spelled, out);
    std::vector<MdbField> fields(t->num_cols + 1);
    std::uint32_t rows = 0;
    damage_.clear();
    mdb_rewind_table(t);
    // The loop of mdb_fetch_row without its per-column text formatting: each row is
    // cracked once and its fields are decoded from the raw bytes.
    while (t->num_cols > 0 && damage_.empty() && mdb_read_next_dpg(t)) {
        int count = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (int r = 0; r < count && damage_.empty(); ++r) {
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb, r, &start, &size) != 0 || size == 0) continue;
            if (start & kDeletedRow) continue;
            if (mdb_crack_row(t, start & kOffsetMask, size, fields.data()) < 0) continue;
            out.u8(jetwire::kRow);
            writeRow(t, fields.data(), out);
            ++rows;
            out.maybeFlush();
        }
    }
    if (damage_.empty() && t->num_cols > 0 && rows != t->num_rows)
        damage_ = cutShort(spelled, t->num_rows, rows);
    if (!damage_.empty()) {
        out.u8(jetwire::kBroken);
        out.str(damage_);
        return;
    }
    out.u8(jetwire::kEnd);
    out.u32(rows);
}

MdbDatabase::RowIndex& MdbDatabase::indexFor(std::string_view table, std::string_view column,
                                             bool fresh) {
    std::string spelled;
    const MdbCatalogEntry* entry = findUserTable(table);
    if (!entry) throw Failure(jetwire::kNoTable, "没有这个表");
    if (!fresh && index_ && index_->entry == entry && JetName::same(index_->columnName, column))
        return *index_;
    index_.reset();
    auto ix = std::make_unique<RowIndex>();
    ix->table = openTable(table, ix->tableName);
    ix->entry = entry;
    MdbTableDef* t = ix->table.get();
    for (unsigned i = 0; i < t->num_cols && ix->columnName.empty(); ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        if (JetName::same(col->name, column)) {
            ix->column = i;
            ix->columnName = col->name;
        }
    }
    if (ix->columnName.empty()) throw Failure(jetwire::kNoColumn, ix->tableName);
    index_ = std::move(ix);
    return *index_;
}

namespace {

// Adds the row at `ordinal` to the runs: it extends the last run when it directly follows it
// with the same hash.
void addRun(std::vector<MdbRowRun>& runs, std::uint64_t hash, std::uint32_t ordinal) {
    if (!runs.empty() && runs.back().hash == hash &&
        runs.back().first + runs.back().count == ordinal) {
        ++runs.back().count;
        return;
    }
    runs.push_back({hash, ordinal, 1});
}

std::uint64_t hashOf(std::string_view folded) {
    return std::hash<std::string_view>{}(folded);
}

}  // namespace

const MdbField* MdbDatabase::fieldOf(const std::vector<MdbField>& fields, unsigned column) {
    for (const MdbField& f : fields)
        if (f.colnum == static_cast<int>(column)) return &f;
    return nullptr;
}

std::uint32_t MdbDatabase::scanColumn(RowIndex& ix, AnswerWriter* out) {
    MdbTableDef* t = ix.table.get();
    MdbHandle* mdb = mdb_.get();
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, ix.column));
    std::vector<MdbField> fields(t->num_cols + 1);
    ix.pages.clear();
    pages_.clear();
    nextPage_ = 0;
    ix.texts.clear();
    ix.others.clear();
    damage_.clear();
    std::uint32_t rows = 0, sent = 0;
    std::uint64_t slots = 0;  // the ordinal of the current page's first slot
    std::string folded, previous;
    bool hasPrevious = false, sentNull = false;
    mdb_rewind_table(t);
    while (damage_.empty() && mdb_read_next_dpg(t)) {
        const int count = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        if (count < 0 || slots + static_cast<std::uint64_t>(count) > UINT32_MAX) break;
        ix.pages.push_back({t->cur_phys_pg, static_cast<std::uint32_t>(slots)});
        for (int r = 0; r < count && damage_.empty(); ++r) {
            const auto ordinal = static_cast<std::uint32_t>(slots + static_cast<unsigned>(r));
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb, r, &start, &size) != 0 || size == 0) continue;
            if (start & kDeletedRow) continue;
            if (mdb_crack_row(t, start & kOffsetMask, size, fields.data()) < 0) continue;
            ++rows;
            const MdbField* f = fieldOf(fields, ix.column);
            if (!f) continue;
            decodeValue(*col, *f, cell_);
            bool send = true;
            if (cell_.tag == jetwire::kNull) {
                send = !sentNull;  // not indexed: Null equals no text
                sentNull = true;
            } else if (cell_.tag == jetwire::kText) {
                folded = FoldCase(cell_.text);
                addRun(ix.texts, hashOf(folded), ordinal);
                send = !hasPrevious || folded != previous;
                previous.swap(folded);
                hasPrevious = true;
            } else {
                addRun(ix.others, 0, ordinal);
            }
            if (out && send) {
                out->u8(jetwire::kRow);
                putCell(cell_, *out);
                ++sent;
                out->maybeFlush();
            }
        }
        slots += static_cast<std::uint64_t>(count);
    }
    if (damage_.empty() && rows != t->num_rows) damage_ = cutShort(ix.tableName, t->num_rows, rows);
    ix.damage = damage_;
    std::sort(ix.texts.begin(), ix.texts.end(), [](const MdbRowRun& a, const MdbRowRun& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.first < b.first;
    });
    ix.texts.shrink_to_fit();
    ix.pages.shrink_to_fit();
    return sent;
}

void MdbDatabase::writeDistinct(std::string_view table, std::string_view column,
                                AnswerWriter& out) {
    RowIndex& ix = indexFor(table, column, true);
    out.str(ix.tableName);
    out.u32(1);
    writeColumn(ix.table.get(), ix.column, out);
    out.u32(ix.table->num_rows);
    const std::uint32_t sent = scanColumn(ix, &out);
    if (!ix.damage.empty()) {
        out.u8(jetwire::kBroken);
        out.str(ix.damage);
        index_.reset();
        return;
    }
    out.u8(jetwire::kEnd);
    out.u32(sent);
}

bool MdbDatabase::crackRowAt(RowIndex& ix, std::uint32_t ordinal, std::vector<MdbField>& fields) {
    MdbHandle* mdb = mdb_.get();
    auto page =
        std::upper_bound(ix.pages.begin(), ix.pages.end(), ordinal,
                         [](std::uint32_t o, const RowIndex::Page& p) { return o < p.firstSlot; });
    if (page == ix.pages.begin()) return false;
    --page;
    if (!loadPage(page->page)) return false;
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(mdb, static_cast<int>(ordinal - page->firstSlot), &start, &size) != 0 ||
        size == 0 || (start & kDeletedRow))
        return false;
    return mdb_crack_row(ix.table.get(), start & kOffsetMask, size, fields.data()) >= 0;
}

// Puts `page` into the handle's page buffer, from the cache when it was read lately: the
// cache keeps the jumps between tables asked for in name order from reading the same pages
// again and again.
bool MdbDatabase::loadPage(std::uint32_t page) {
    constexpr std::size_t kCachedPages = 16;
    MdbHandle* mdb = mdb_.get();
    const std::size_t size = mdb->fmt->pg_size;
    if (page != 0 && mdb->cur_pg == page) return true;  // as mdb_read_pg itself decides
    for (const CachedPage& c : pages_) {
        if (c.used && c.page == page) {
            std::memcpy(mdb->pg_buf, c.bytes.data(), size);
            mdb->cur_pg = page;
            mdb->cur_pos = 0;
            return true;
        }
    }
    // One pread(2) where libmdb makes four (fstat, two seeks, read); libmdb's own read for an
    // encrypted file, page 0 and a page the file does not hold whole.
    const auto offset = static_cast<off_t>(std::uint64_t{page} * size);
    const bool direct =
        page != 0 && mdb->f->db_key == 0 &&
        ::pread(::fileno(mdb->f->stream), mdb->pg_buf, size, offset) == static_cast<ssize_t>(size);
    if (direct) {
        mdb->cur_pg = page;
        mdb->cur_pos = 0;
    } else if (mdb_read_pg(mdb, page) != static_cast<ssize_t>(size)) {
        return false;
    }
    if (pages_.size() < kCachedPages) pages_.resize(kCachedPages);
    CachedPage& slot = pages_[nextPage_];
    nextPage_ = (nextPage_ + 1) % kCachedPages;
    slot.bytes.assign(mdb->pg_buf, mdb->pg_buf + size);
    slot.page = page;
    slot.used = true;
    return true;
}

void MdbDatabase::writeWhere(std::string_view table, std::string_view column,
                             const std::vector<std::string>& texts, AnswerWriter& out) {
    RowIndex* ix = &indexFor(table, column, false);
    if (ix->pages.empty() && ix->damage.empty()) scanColumn(*ix, nullptr);
    MdbTableDef* t = ix->table.get();
    writeHeader(t, ix->tableName, out);
    if (!ix->damage.empty()) {
        out.u8(jetwire::kBroken);
        out.str(ix->damage);
        index_.reset();
        return;
    }
    std::vector<MdbField> fields(t->num_cols + 1);
    std::vector<MdbRowRun> runs;
    std::uint32_t rows = 0;
    damage_.clear();
    for (const std::string& text : texts) {
        const std::uint64_t hash = hashOf(FoldCase(text));
        auto [from, to] = std::equal_range(
            ix->texts.begin(), ix->texts.end(), MdbRowRun{hash, 0, 0},
            [](const MdbRowRun& a, const MdbRowRun& b) { return a.hash < b.hash; });
        runs.assign(from, to);
        runs.insert(runs.end(), ix->others.begin(), ix->others.end());
        std::sort(runs.begin(), runs.end(),
                  [](const MdbRowRun& a, const MdbRowRun& b) { return a.first < b.first; });
        for (const MdbRowRun& run : runs) {
            for (std::uint32_t o = run.first; o - run.first < run.count && damage_.empty(); ++o) {
                if (!crackRowAt(*ix, o, fields)) {
                    damage_ = "表“" + ix->tableName + "”在读取时被改动";
                    break;
                }
                out.u8(jetwire::kRow);
                writeRow(t, fields.data(), out);
                ++rows;
                out.maybeFlush();
            }
        }
        if (!damage_.empty()) {
            out.u8(jetwire::kBroken);
            out.str(damage_);
            index_.reset();
            return;
        }
        out.u8(jetwire::kGroupEnd);
    }
    out.u8(jetwire::kEnd);
    out.u32(rows);
}

void MdbDatabase::writeRow(MdbTableDef* t, MdbField* fields, AnswerWriter& out) {
    for (unsigned i = 0; i < t->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, fields[i].colnum));
        decodeValue(*col, fields[i], cell_);
        putCell(cell_, out);
    }
}

// The stored bytes of a Jet 4 memo value: a 12-byte header (24-bit length, flags, pointer)
// followed by the text in the row (flag 0x80), in one long-value row (0x40), or in a chain
// of long-value rows each starting with the pointer to the next (0x00). Decoded here rather
// than by libmdb, whose iconv turns characters beyond U+FFFF into "??".
const std::string& MdbDatabase::memoBytes(const MdbColumn& col, const MdbField& f) {
    constexpr int kHeader = 12;
    MdbHandle* mdb = mdb_.get();
    memo_.clear();
    if (f.siz < kHeader) return memo_;
    const unsigned char* h = mdb->pg_buf + f.start;
    const std::size_t length = load<std::uint32_t>(h) & 0xFFFFFF;
    const std::uint8_t flags = h[3];
    std::int32_t pointer = load<std::int32_t>(h + 4);
    if (flags == 0x80) {
        memo_.assign(reinterpret_cast<const char*>(h + kHeader), f.siz - kHeader);
        return memo_;
    }
    void* buf = nullptr;
    int start = 0;
    size_t len = 0;
    // A long-value row lies on a data page marked "LVAL" (a zeroed page would give zeros).
    auto find = [&](std::int32_t at) {
        if (!pageInFile(static_cast<std::uint32_t>(at) >> 8) ||
            mdb_find_pg_row(mdb, at, &buf, &start, &len) != 0)
            return false;
        const auto* page = static_cast<const unsigned char*>(buf);
        return page[0] == 0x01 && std::memcmp(page + 4, "LVAL", 4) == 0;
    };
    if (flags == 0x40) {
        if (find(pointer))
            memo_.assign(static_cast<const char*>(buf) + start, std::min(len, length));
    } else if (flags == 0x00) {
        // Each step adds at least one byte, so a looping chain ends at the stated length.
        while (pointer != 0 && memo_.size() < length && find(pointer) && len > 4) {
            const char* row = static_cast<const char*>(buf) + start;
            memo_.append(row + 4, std::min(len - 4, length - memo_.size()));
            pointer = load<std::int32_t>(reinterpret_cast<const unsigned char*>(row));
        }
    }
    if (memo_.size() < length)
        damage_ = "列“" + std::string(col.name) + "”的一个备注值被截断（" + std::to_string(length) +
                  " 字节只有 " + std::to_string(memo_.size()) + " 字节）";
    return memo_;
}

void MdbDatabase::putCell(const Cell& c, AnswerWriter& out) {
    out.u8(c.tag);
    switch (c.tag) {
        case jetwire::kInt:
            return out.i64(c.integer);
        case jetwire::kFloat:
        case jetwire::kDate:
            return out.f64(c.number);
        case jetwire::kText:
            return out.str(c.text);
        default:
            return;
    }
}

void MdbDatabase::decodeValue(const MdbColumn& col, const MdbField& f, Cell& c) {
    MdbHandle* mdb = mdb_.get();
    c.text.clear();
    // A Yes/No value lives in the null-mask bit: set is Yes.
    if (col.col_type == MDB_BOOL) {
        c.tag = f.is_null ? jetwire::kFalse : jetwire::kTrue;
        return;
    }
    const int fixedWidth =
        col.col_type == MDB_BYTE                                   ? 1
        : col.col_type == MDB_INT                                  ? 2
        : col.col_type == MDB_LONGINT || col.col_type == MDB_FLOAT ? 4
        : col.col_type == MDB_REPID                                ? 16
        : col.col_type == MDB_NUMERIC                              ? 17
        : col.col_type == MDB_MONEY || col.col_type == MDB_DOUBLE || col.col_type == MDB_DATETIME
            ? 8
            : 0;
    c.tag = jetwire::kNull;
    if (f.is_null || f.siz < fixedWidth || f.start < 0 ||
        f.start + f.siz > static_cast<int>(mdb->fmt->pg_size))
        return;
    const unsigned char* p = mdb->pg_buf + f.start;
    auto integer = [&](std::int64_t v) { c.tag = jetwire::kInt, c.integer = v; };
    auto floating = [&](double v) { c.tag = jetwire::kFloat, c.number = v; };
    switch (col.col_type) {
        case MDB_BYTE:
            return integer(p[0]);
        case MDB_INT:
            return integer(load<std::int16_t>(p));
        case MDB_LONGINT:
            return integer(load<std::int32_t>(p));
        case MDB_MONEY:
            return floating(static_cast<double>(load<std::int64_t>(p)) / 10000.0);
        case MDB_FLOAT:
            return floating(load<float>(p));
        case MDB_DOUBLE:
            return floating(load<double>(p));
        case MDB_DATETIME:
            c.tag = jetwire::kDate, c.number = load<double>(p);
            return;
        case MDB_BINARY:
            c.tag = jetwire::kText, c.text = hexText(p, f.siz);
            return;
        case MDB_TEXT: {
            c.tag = jetwire::kText;
            if (IS_JET3(mdb)) {
                mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(p), f.siz, textBuf_.data(),
                                  textBuf_.size());
                c.text = textBuf_.c_str();
                return;
            }
            decodeJet4Text(p, f.siz, c.text);
            return;
        }
        case MDB_MEMO: {
            c.tag = jetwire::kText;
            if (IS_JET3(mdb)) {
                const GlibText s(mdb_col_to_string(mdb, mdb->pg_buf, f.start, MDB_MEMO, f.siz));
                c.text = s ? s.get() : "";
                return;
            }
            const std::string& bytes = memoBytes(col, f);
            decodeJet4Text(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                           c.text);
            return;
        }
        case MDB_REPID:
            c.tag = jetwire::kText, c.text = guidText(p);
            return;
        case MDB_NUMERIC: {
            const GlibText s(mdb_numeric_to_string(mdb, f.start, col.col_scale, col.col_prec));
            double v = 0.0;
            if (s) std::from_chars(s.get(), s.get() + std::strlen(s.get()), v);
            return floating(v);
        }
        default:
            return;
    }
}

}  // namespace dsadmin
