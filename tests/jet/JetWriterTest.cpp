// The Jet 4 writer, checked by reading its files back through JetReader (libmdb) and
// mdb-export.

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "JetTestFiles.h"
#include "db/DbError.h"
#include "db/jet/JetReader.h"
#include "jetwriter/HeaderPage.h"
#include "jetwriter/JetWriteError.h"
#include "jetwriter/JetWriter.h"

namespace dsadmin::jet {
namespace {

using test::TempDir;

// Writes one table with the given rows and reads it back.
JetTable roundTrip(const TempDir& dir, const TableDef& def,
                   const std::vector<std::vector<Value>>& rows) {
    const std::string path = dir.file("t.DS");
    JetWriter w({def}, path, true);
    for (const auto& r : rows) w.addRow(0, r);
    w.commit();
    return JetReader(path).readTable(def.name);
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

struct TypeCase {
    const char* label;
    ColumnDef column;
    Value in;
    Value out;
};

class WriterTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(WriterTypes, ValueReadsBackThroughLibmdb) {
    const TypeCase& c = GetParam();
    TempDir dir;
    // A text column around the tested one shows that the row layout stays intact.
    TableDef def{"t",
                 {{"before", JetColumnType::Text, 10}, c.column, {"after", JetColumnType::Long}}};
    JetTable t = roundTrip(dir, def, {{"a", c.in, 7}});
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.row(0)[0], Value("a"));
    EXPECT_EQ(t.row(0)[1], c.out);
    EXPECT_EQ(t.row(0)[2], Value(7));
}

const std::string k255 = std::string(254, 'x') + "z";
const std::string kChinese255 = repeat("数据库结构", 51);
const std::string kMemoChain = repeat("备注memo", 3000);  // 18,000 characters

INSTANTIATE_TEST_SUITE_P(
    Jet4, WriterTypes,
    ::testing::Values(
        TypeCase{"LongMin",
                 {"c", JetColumnType::Long},
                 std::int64_t{-2147483648LL},
                 std::int64_t{-2147483648LL}},
        TypeCase{"LongMax", {"c", JetColumnType::Long}, 2147483647, 2147483647},
        TypeCase{"LongNull", {"c", JetColumnType::Long}, Value{}, Value{}},
        TypeCase{"IntegerMin", {"c", JetColumnType::Integer}, -32768, -32768},
        TypeCase{"IntegerMax", {"c", JetColumnType::Integer}, 32767, 32767},
        TypeCase{"ByteMax", {"c", JetColumnType::Byte}, 255, 255},
        TypeCase{"ByteZero", {"c", JetColumnType::Byte}, 0, 0},
        TypeCase{"Double", {"c", JetColumnType::Double}, 0.1, 0.1},
        TypeCase{"DoubleTiny", {"c", JetColumnType::Double}, 5e-324, 5e-324},
        TypeCase{"DoubleFromWhole", {"c", JetColumnType::Double}, 3, 3.0},
        TypeCase{"Yes", {"c", JetColumnType::YesNo}, true, true},
        TypeCase{"No", {"c", JetColumnType::YesNo}, false, false},
        TypeCase{"YesFromNumber", {"c", JetColumnType::YesNo}, -1, true},
        TypeCase{"YesNoNullIsNo", {"c", JetColumnType::YesNo}, Value{}, false},
        TypeCase{"Date", {"c", JetColumnType::DateTime}, Date{45351.5729}, Date{45351.5729}},
        TypeCase{"DateBefore1900", {"c", JetColumnType::DateTime}, Date{-700.25}, Date{-700.25}},
        TypeCase{"TextEmpty", {"c", JetColumnType::Text, 5}, "", ""},
        TypeCase{"TextNull", {"c", JetColumnType::Text, 5}, Value{}, Value{}},
        TypeCase{"Text255", {"c", JetColumnType::Text, 255}, k255, k255},
        TypeCase{"TextChinese255", {"c", JetColumnType::Text, 255}, kChinese255, kChinese255},
        TypeCase{"TextBeyondBmp", {"c", JetColumnType::Text, 4}, "a𝄞b", "a𝄞b"},
        TypeCase{"TextControls", {"c", JetColumnType::Text, 9}, "a\tb\nc\\d\r", "a\tb\nc\\d\r"},
        TypeCase{"MemoInline", {"c", JetColumnType::Memo}, "短备注", "短备注"},
        TypeCase{"MemoEmpty", {"c", JetColumnType::Memo}, "", ""},
        TypeCase{"MemoOnePage",
                 {"c", JetColumnType::Memo},
                 std::string(1500, 'm'),
                 std::string(1500, 'm')},
        TypeCase{"MemoChain", {"c", JetColumnType::Memo}, kMemoChain, kMemoChain},
        TypeCase{"MemoNull", {"c", JetColumnType::Memo}, Value{}, Value{}}),
    [](const auto& info) { return std::string(info.param.label); });

struct RejectCase {
    const char* label;
    ColumnDef column;
    Value in;
    std::string message;
};

class WriterRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(WriterRejects, ValueThatDoesNotFit) {
    const RejectCase& c = GetParam();
    TempDir dir;
    JetWriter w({TableDef{"t", {c.column}}}, dir.file("t.DS"), false);
    try {
        w.addRow(0, std::vector<Value>{c.in});
        FAIL() << "no error";
    } catch (const JetWriteError& e) {
        EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_EQ(w.rowCount(0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Jet4, WriterRejects,
    ::testing::Values(
        RejectCase{"LongTooBig",
                   {"n", JetColumnType::Long},
                   std::int64_t{2147483648LL},
                   "column \"n\": 2147483648 is out of range for Long (-2147483648 to "
                   "2147483647)"},
        RejectCase{"ByteNegative",
                   {"n", JetColumnType::Byte},
                   -1,
                   "column \"n\": -1 is out of range for Byte (0 to 255)"},
        RejectCase{"IntegerTooBig",
                   {"n", JetColumnType::Integer},
                   32768,
                   "column \"n\": 32768 is out of range for Integer (-32768 to 32767)"},
        RejectCase{"LongFromText",
                   {"n", JetColumnType::Long},
                   "12",
                   "column \"n\": a Long column takes whole numbers"},
        RejectCase{"TextTooLong",
                   {"s", JetColumnType::Text, 3},
                   "四个字符",
                   "column \"s\": text is longer than 3 characters"},
        RejectCase{"SurrogatePairCountsTwo",
                   {"s", JetColumnType::Text, 1},
                   "𝄞",
                   "column \"s\": text is longer than 1 characters"},
        RejectCase{"BadUtf8",
                   {"s", JetColumnType::Text, 9},
                   "\xC3\x28",
                   "column \"s\": text is not valid UTF-8"},
        RejectCase{"ByteOrderMark",
                   {"s", JetColumnType::Text, 9},
                   "\xEF\xBB\xBFx",
                   "column \"s\": text may not begin with U+FEFF"},
        RejectCase{"Nul",
                   {"s", JetColumnType::Text, 9},
                   std::string("a\0b", 3),
                   "column \"s\": text may not contain the character U+0000"},
        RejectCase{"DateFromNumber",
                   {"d", JetColumnType::DateTime},
                   1.5,
                   "column \"d\": a Date/Time column takes dates"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(JetWriter, RejectsBadDefinitions) {
    TempDir dir;
    auto message = [&](std::vector<TableDef> defs) {
        try {
            JetWriter w(std::move(defs), dir.file("t.DS"), false);
        } catch (const JetWriteError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message({}), "a database needs at least one table");
    EXPECT_EQ(message({{"t", {}}}), "table \"t\" needs 1 to 255 columns");
    EXPECT_EQ(message({{"a.b", {{"c"}}}}),
              "table name \"a.b\" contains a control character or one of . ! ` [ ]");
    EXPECT_EQ(message({{"t", {{"c", JetColumnType::Text, 256}}}}),
              "column \"c\": a text length must be 1 to 255");
    EXPECT_EQ(message({{"t", {{"c", JetColumnType::Long}, {"C", JetColumnType::Long}}}}),
              "table \"t\" has two columns named \"C\"");
    EXPECT_EQ(message({{"t", {{"c", JetColumnType::Long}}}, {"T", {{"c", JetColumnType::Long}}}}),
              "two tables are named \"T\"");
    // Jet ignores letter case in every alphabet.
    EXPECT_EQ(message({{"UMSÄTZE", {{"c", JetColumnType::Long}}},
                       {"umsätze", {{"c", JetColumnType::Long}}}}),
              "two tables are named \"umsätze\"");
    EXPECT_EQ(message({{"msysaces", {{"c", JetColumnType::Long}}}}),
              "table name \"msysaces\" is taken by a system table");
    EXPECT_EQ(message({{"t", {{std::string(65, 'n'), JetColumnType::Long}}}}),
              "column name \"" + std::string(65, 'n') + "\" is longer than 64 characters");
}

// Latin-1 text is stored compressed (one byte a character), as Jet stores it; other text
// takes two bytes a character.
TEST(JetWriter, RowTooLongForAPage) {
    TempDir dir;
    std::vector<ColumnDef> cols;
    for (int i = 0; i < 8; ++i) cols.push_back({"c" + std::to_string(i), JetColumnType::Text, 255});
    JetWriter w({TableDef{"t", cols}}, dir.file("t.DS"), false);
    std::vector<Value> latin(8, Value(std::string(254, 'x') + "\xC3\xA9"));
    EXPECT_NO_THROW(w.addRow(0, latin));
    std::string wide;
    for (int i = 0; i < 255; ++i) wide += "数";
    std::vector<Value> row(8, Value(wide));
    try {
        w.addRow(0, row);
        ADD_FAILURE() << "no error";
    } catch (const JetWriteError& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, 60),
                  "the row is too long for a Jet page (4103 bytes, at most 4060");
    }
    row[7] = Value{};
    EXPECT_NO_THROW(w.addRow(0, row));  // 7 x 510 bytes still fit
    w.commit();
    JetTable t = JetReader(dir.file("t.DS")).readTable("t");
    ASSERT_EQ(t.rowCount(), 2u);
    EXPECT_EQ(t.row(0)[7], latin[7]);
    EXPECT_EQ(t.row(1)[0], Value(wide));
    EXPECT_EQ(test::run(dir, "mdb-export t.DS t | head -2 | tail -1 | cut -c1-4").out, "\"xxx\n");
}

TEST(JetWriter, ManyTablesWideTablesAndEmptyTables) {
    TempDir dir;
    std::vector<TableDef> defs;
    for (int i = 0; i < 300; ++i)
        defs.push_back({"表" + std::to_string(i), {{"v", JetColumnType::Long}}});
    TableDef wide{"wide", {}};  // its definition spans several pages
    for (int i = 0; i < 200; ++i)
        wide.columns.push_back(
            {"column_with_a_long_name_" + std::to_string(i), JetColumnType::Text, 1});
    defs.push_back(wide);
    JetWriter w(defs, dir.file("m.DS"), false);
    for (int i = 0; i < 300; i += 2) w.addRow(i, std::vector<Value>{i});
    w.addRow(300, std::vector<Value>(200, Value("w")));
    w.commit();

    JetReader r(dir.file("m.DS"));
    auto names = r.tableNames();
    ASSERT_EQ(names.size(), 301u);
    EXPECT_EQ(names[0], "表0");
    EXPECT_EQ(names[299], "表299");
    EXPECT_EQ(r.readTable("表298").row(0)[0], Value(298));
    EXPECT_EQ(r.readTable("表299").rowCount(), 0u);
    JetTable t = r.readTable("WIDE");
    ASSERT_EQ(t.columns.size(), 200u);
    EXPECT_EQ(t.columns[199].name, "column_with_a_long_name_199");
    EXPECT_EQ(t.row(0)[199], Value("w"));
}

TEST(JetWriter, LargeTableAcrossBitmapPagesKeepsOrder) {
    // 2 rows a page: 40,000 rows need 20,000 data pages, more than an inline map lists.
    TempDir dir;
    TableDef def{"big",
                 {{"n", JetColumnType::Long},
                  {"a", JetColumnType::Text, 255},
                  {"b", JetColumnType::Text, 255},
                  {"c", JetColumnType::Text, 255}}};
    JetWriter w({def}, dir.file("big.DS"), false);
    std::string text;
    for (int i = 0; i < 255; ++i) text += "q文";
    text.resize(255 / 2 * 4);  // 170 characters, 340 bytes
    for (int i = 0; i < 40000; ++i) w.addRow(0, std::vector<Value>{i, text, text, "中文"});
    w.commit();
    JetTable t = JetReader(dir.file("big.DS")).readTable("big");
    ASSERT_EQ(t.rowCount(), 40000u);
    for (std::size_t i = 0; i < t.rowCount(); i += 997) EXPECT_EQ(t.row(i)[0], Value(int(i)));
    EXPECT_EQ(t.row(39999)[3], Value("中文"));
    auto count = test::run(dir, "mdb-export big.DS big | wc -l");
    EXPECT_EQ(count.out, "40001\n");
}

std::string hex(const Page& p, std::size_t from, std::size_t to) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = from; i < to; ++i) s += {digits[p[i] >> 4], digits[p[i] & 15]};
    return s;
}

// The header and the system tables hold what the Jet 4 files Access writes hold (the
// values below are those of ten such files, Access 2000 to 2016; docs/dsfile.md).
TEST(JetWriter, HeaderAndSystemTablesAsAccessWritesThem) {
    TempDir dir;
    JetWriter w({TableDef{"ds", {{"a", JetColumnType::Text, 10}}}}, dir.file("h.DS"), false);
    w.commit();
    const double now = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    Page p;
    const std::string bytes = test::readFile(dir.file("h.DS"));
    std::memcpy(p.data(), bytes.data(), p.size());
    HeaderPage::toggleRegion(p);
    EXPECT_EQ(hex(p, 0, 0x30),
              "000100005374616e64617264204a657420444200010000000001000001010000020000000300000004"
              "00000005000000");
    EXPECT_EQ(hex(p, 0x3C, 0x42), "e40400000000");  // code page 1252, no page encryption
    double created = 0;
    std::memcpy(&created, &p[HeaderPage::kCreated], sizeof created);
    EXPECT_NEAR(created, now, 0.001);
    // The password area decodes to no password: it holds exactly the date's mask.
    const auto days = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created)));
    for (std::size_t i = 0; i < HeaderPage::kPasswordSize; ++i)
        EXPECT_EQ(p[HeaderPage::kPassword + i] ^ (days >> 8 * (i % 4) & 0xFF), 0) << i;
    EXPECT_EQ(hex(p, 0x6A, 0x72), "aa21000009040000");  // sort order General (1033)
    EXPECT_EQ(hex(p, 0x7A, 0x98), std::string(60, '0'));
    EXPECT_EQ(hex(p, 0x98, 0xA0), "54060000342e3000");  // version stamp, "4.0"
    EXPECT_EQ(hex(p, 0xE00, 0xE06), "010100010001");
    EXPECT_EQ(hex(p, 0xFFE, 0x1000), "0001");

    EXPECT_EQ(test::run(dir, "mdb-tables -S -1 h.DS").out,
              "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\nds\n");
    // Column for column as mdb-schema prints Access's own (an Access 2000 file).
    EXPECT_EQ(test::run(dir, "mdb-schema -T MSysACEs h.DS | grep '^\t'").out,
              "\t[ObjectId]\t\t\tLong Integer, \n\t[SID]\t\t\tBinary, \n\t[ACM]\t\t\tLong Integer, "
              "\n\t[FInheritable]\t\t\tBoolean NOT NULL\n");
    EXPECT_EQ(test::run(dir, "mdb-schema -T MSysQueries h.DS | grep -c '^\t'").out, "8\n");
    EXPECT_EQ(test::run(dir, "mdb-schema -T MSysRelationships h.DS | grep -c '^\t'").out, "8\n");
}

// The file never passes its limit (2 GB by default; a small one here): the row that would
// pass it is refused, the rows before it can still be written, and nothing is left behind.
TEST(JetWriter, RefusesToGrowPastTheSizeLimit) {
    TempDir dir;
    const TableDef def{"ds", {{"n", JetColumnType::Long}, {"m", JetColumnType::Memo}}};
    const std::vector<Value> row{1, std::string(3000, 'm')};
    auto fill = [&](JetWriter& w) {
        try {
            for (;;) w.addRow(0, row);
        } catch (const JetWriteError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "the file would grow past 262144 bytes, the most a Jet database can hold");
        }
    };
    {
        JetWriter w({def}, dir.file("l.DS"), false, 64 * 4096);
        fill(w);
    }
    EXPECT_TRUE(dir.entries().empty());
    JetWriter w({def}, dir.file("l.DS"), false, 64 * 4096);
    fill(w);
    const std::uint32_t rows = w.rowCount(0);
    EXPECT_GT(rows, 20u);
    w.commit();
    EXPECT_LE(test::readFile(dir.file("l.DS")).size(), 64u * 4096);
    EXPECT_EQ(JetReader(dir.file("l.DS")).readTable("ds").rowCount(), rows);
    EXPECT_EQ(JetWriter::kMaxFileSize, 2147483648u);
}

TEST(JetWriter, WritesThroughATemporaryFileAndKeepsExistingOnes) {
    TempDir dir;
    const std::vector<TableDef> defs{{"ds", {{"v", JetColumnType::Long}}}};
    const std::string path = dir.file("s.DS");
    test::writeFile(path, "old");
    EXPECT_THROW(JetWriter(defs, path, false), JetWriteError);
    EXPECT_EQ(test::readFile(path), "old");
    {
        JetWriter w(defs, path, true);
        w.addRow(0, std::vector<Value>{1});
        EXPECT_EQ(dir.entries().size(), 2u);  // the temporary file beside the old one
        EXPECT_EQ(test::readFile(path), "old");
        w.commit();
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"s.DS"});
    EXPECT_EQ(JetReader(path).readTable("ds").row(0)[0], Value(1));
    {
        JetWriter w(defs, dir.file("t.DS"), false);  // never committed
        w.addRow(0, std::vector<Value>{2});
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"s.DS"});
    EXPECT_THROW(JetWriter(defs, dir.file("no/such/folder.DS"), false), JetWriteError);
}

}  // namespace
}  // namespace dsadmin::jet
