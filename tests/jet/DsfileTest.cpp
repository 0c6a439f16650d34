// The dsfile tool: its text format, and write / dump / tables run as a program.

#include <gtest/gtest.h>

#include "Jet3File.h"
#include "JetTestFiles.h"
#include "dsfile/DateText.h"
#include "dsfile/TsvCell.h"

namespace dsadmin {
namespace {

using test::run;
using test::TempDir;

const std::string kDsfile = DSFILE_BIN;

// What mdb-export prints for a file dsfile wrote, in dsfile's own text format: libmdb
// cannot tell NULL from the empty text, so both read as \N there.
std::string mdbExport(const TempDir& dir, const std::string& file, const std::string& table) {
    return run(dir, "mdb-export -d '\t' -Q -e -0 '\\N' -T '%Y-%m-%d %H:%M:%S' '" + file + "' '" +
                        table + "'")
        .out;
}

std::string emptyTextAsNull(const std::string& tsv) {
    std::string out;
    std::size_t start = 0;
    while (start < tsv.size()) {
        std::size_t end = tsv.find('\n', start);
        auto cells = TsvCell::split(std::string_view(tsv).substr(start, end - start));
        for (std::size_t i = 0; i < cells.size(); ++i)
            out +=
                (i ? "\t" : "") + (cells[i].empty() ? std::string("\\N") : std::string(cells[i]));
        out += '\n';
        start = end + 1;
    }
    return out;
}

TEST(TsvCell, EscapesAndSplits) {
    EXPECT_EQ(TsvCell::escape("a\tb\nc\\d\re"), "a\\tb\\nc\\\\d\\re");
    EXPECT_EQ(TsvCell::escape("\\N"), "\\\\N");  // the text \N is not NULL
    std::string out;
    EXPECT_TRUE(TsvCell::unescape("a\\tb\\nc\\\\d\\re", out));
    EXPECT_EQ(out, "a\tb\nc\\d\re");
    for (const char* bad : {"\\", "a\\x", "\\N", "\\0"})
        EXPECT_FALSE(TsvCell::unescape(bad, out)) << bad;
    EXPECT_EQ(TsvCell::split("a\t\tb\t"), (std::vector<std::string_view>{"a", "", "b", ""}));
    EXPECT_EQ(TsvCell::split(""), (std::vector<std::string_view>{""}));
}

TEST(DateText, ParsesAndFormatsJetDates) {
    struct Case {
        const char* text;
        double days;
        const char* shown;
    };
    for (Case c : {Case{"1899-12-30", 0, "1899-12-30 00:00:00"},
                   Case{"1900-01-01 06:00", 2.25, "1900-01-01 06:00:00"},
                   Case{"2024-02-29T13:45:10", 45351.573032407404, "2024-02-29 13:45:10"},
                   Case{"1899-12-29 06:00:00", -1.25, "1899-12-29 06:00:00"},
                   Case{"9999-12-31 23:59:59", 2958465.999988426, "9999-12-31 23:59:59"},
                   Case{"0100-01-01", -657434, "0100-01-01 00:00:00"}}) {
        auto d = DateText::parse(c.text);
        ASSERT_TRUE(d) << c.text;
        EXPECT_NEAR(*d, c.days, 1e-9) << c.text;
        EXPECT_EQ(DateText::format(*d), c.shown);
    }
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-01-01 24:00", "2024-1-1",
                            "0099-01-01", "2024-01-01 10:00:60", "2024-01-01 10", "yesterday", ""})
        EXPECT_FALSE(DateText::parse(bad)) << bad;
}

TEST(Dsfile, FiftyThousandRowsReadBackIdenticallyThroughDumpAndMdbExport) {
    TempDir dir;
    const std::string tsv = test::structureRows(50000, true);
    auto w = run(dir, "'" + kDsfile + "' write big.DS", tsv);
    ASSERT_EQ(w.status, 0) << w.err;
    EXPECT_EQ(w.err, "");
    auto d = run(dir, "'" + kDsfile + "' dump big.DS");
    EXPECT_EQ(d.status, 0);
    EXPECT_TRUE(d.out == tsv) << "dump differs from the input";
    EXPECT_TRUE(mdbExport(dir, "big.DS", "ds") == emptyTextAsNull(tsv)) << "mdb-export differs";
    EXPECT_EQ(run(dir, "mdb-count big.DS ds").out, "50000\n");
}

TEST(Dsfile, EveryColumnTypeRoundTrips) {
    TempDir dir;
    const std::string tsv =
        "ftable\tn:integer\tb:byte\td:double\ty:yesno\tt:datetime\tm:memo\ts:text(3)\tl:long\n"
        "表\t-32768\t255\t0.1\t1\t2024-02-29 13:45:10\t" +
        std::string(3000, 'm') +
        "\t\t-1\n"
        "\\N\t\\N\t\\N\t\\N\t0\t\\N\t\\N\t\\N\t\\N\n"
        "x\t7\t0\t-1.5e+300\t1\t1900-01-01 00:00:00\t备注\\t二\tabc\t2147483647\n";
    ASSERT_EQ(run(dir, "'" + kDsfile + "' write --table 表格 t.DS", tsv).status, 0);
    EXPECT_EQ(run(dir, "'" + kDsfile + "' tables t.DS").out, "表格\n");
    EXPECT_EQ(run(dir, "'" + kDsfile + "' dump t.DS 表格").out, tsv);
    // Yes/No input spellings and the short date form come back in their plain form.
    ASSERT_EQ(run(dir, "'" + kDsfile + "' write y.DS",
                  "a:yesno\tb:datetime\nYes\t2024-01-02\n-1\t2024-01-02 03:04\n")
                  .status,
              0);
    EXPECT_EQ(run(dir, "'" + kDsfile + "' dump y.DS").out,
              "a:yesno\tb:datetime\n1\t2024-01-02 00:00:00\n1\t2024-01-02 03:04:00\n");
}

struct BadInput {
    const char* label;
    std::string args;
    std::string input;
    int status;
    std::string message;  // the first line on standard error
};

class DsfileRefuses : public ::testing::TestWithParam<BadInput> {};

TEST_P(DsfileRefuses, LeavesNoFileBehind) {
    const BadInput& c = GetParam();
    TempDir dir;
    auto r = run(dir, "'" + kDsfile + "' " + c.args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{});
}

const std::string kHead = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
const std::string kRow = "T\tID\tInt\t0\t1\t1\n";

INSTANTIATE_TEST_SUITE_P(
    Write, DsfileRefuses,
    ::testing::Values(
        BadInput{"TooFewCells", "write s.DS", kHead + kRow + "T\tName\tVarChar\t20\t0\n", 1,
                 "dsfile: line 3: 5 cells, the header has 6; no file written"},
        BadInput{"TooManyCells", "write s.DS", kHead + "T\tA\tB\t1\t0\t0\textra\n", 1,
                 "dsfile: line 2: 7 cells, the header has 6; no file written"},
        BadInput{
            "TextInNumberColumn", "write s.DS", kHead + kRow + kRow + "T\tX\tInt\tabc\t0\t0\n", 1,
            "dsfile: line 4: column \"flong\": \"abc\" is not a whole number; no file written"},
        BadInput{
            "EmptyNumberCell", "write s.DS", kHead + "T\tX\tInt\t\t0\t0\n", 1,
            "dsfile: line 2: column \"flong\": \"\" is not a whole number (write \\N for NULL); "
            "no file written"},
        BadInput{"NumberOutOfRange", "write s.DS", kHead + "T\tX\tInt\t99999999999\t0\t0\n", 1,
                 "dsfile: line 2: column \"flong\": 99999999999 is out of range for Long "
                 "(-2147483648 to 2147483647); no file written"},
        BadInput{
            "TextTooLong", "write s.DS", kHead + "T\t" + std::string(65, 'n') + "\tInt\t0\t0\t0\n",
            1,
            "dsfile: line 2: column \"fname\": text is longer than 64 characters; no file written"},
        BadInput{
            "BadEscape", "write s.DS", kHead + "T\ta\\qb\tInt\t0\t0\t0\n", 1,
            "dsfile: line 2: column \"fname\": a backslash must be followed by \\ t n r, or the "
            "cell must be exactly \\N; no file written"},
        BadInput{"UnknownColumn", "write s.DS", "ftable\tcolor\n", 1,
                 "dsfile: line 1: column \"color\" is not a default column of ds; declare its type "
                 "as name:type; no file written"},
        BadInput{"UnknownType", "write s.DS", "a:varchar(10)\n", 1,
                 "dsfile: line 1: unknown type \"varchar(10)\" for column \"a\"; no file written"},
        BadInput{"DuplicateColumn", "write s.DS", "ftable\tFTABLE:long\n", 1,
                 "dsfile: table \"ds\" has two columns named \"FTABLE\"; no file written"},
        BadInput{"NoHeader", "write s.DS", "", 1,
                 "dsfile: line 1: no header line; no file written"},
        BadInput{
            "BadDate", "write s.DS", "d:datetime\n2023-02-29\n", 1,
            "dsfile: line 2: column \"d\": \"2023-02-29\" is not a date YYYY-MM-DD[ HH:MM[:SS]]; "
            "no file written"},
        BadInput{"NoFileName", "write", "", 2,
                 "usage: dsfile write FILE.DS [--table NAME] [--force] < rows.tsv"},
        BadInput{"UnknownOption", "write s.DS --fast", "", 2,
                 "usage: dsfile write FILE.DS [--table NAME] [--force] < rows.tsv"},
        BadInput{"UnknownCommand", "convert s.DS", "", 2, "dsfile: unknown command \"convert\""},
        BadInput{"DumpMissingFile", "dump none.DS", "", 1, "dsfile: 结构文件“none.DS”不存在。"},
        BadInput{"TablesNoArgs", "tables", "", 2, "usage: dsfile tables FILE"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Dsfile, KeepsAnExistingFileUnlessForced) {
    TempDir dir;
    test::writeFile(dir.file("s.DS"), "precious");
    auto r = run(dir, "'" + kDsfile + "' write s.DS", kHead + kRow);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "dsfile: \"s.DS\" exists already (use --force to replace it); no file written\n");
    EXPECT_EQ(test::readFile(dir.file("s.DS")), "precious");
    // A refused input with --force leaves the old file too.
    EXPECT_EQ(run(dir, "'" + kDsfile + "' write --force s.DS", kHead + "x\n").status, 1);
    EXPECT_EQ(test::readFile(dir.file("s.DS")), "precious");
    EXPECT_EQ(run(dir, "'" + kDsfile + "' write --force s.DS", kHead + kRow).status, 0);
    EXPECT_EQ(run(dir, "'" + kDsfile + "' dump s.DS").out, kHead + kRow);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"s.DS"});
}

// A Jet 3 (Access 97) file keeps one byte a character: dump gives its text sizes in
// characters all the same, so its output can be written back.
TEST(Dsfile, Jet3TextColumnsRoundTripThroughDumpAndWrite) {
    TempDir dir;
    test::writeFile(dir.file("old.mdb"),
                    test::Jet3File::make("ds", {{"ftable", 64}, {"LastName", 20}},
                                         {{"Person", "Davolio"}, {"Caf\xE9", ""}}));
    auto dump = run(dir, "'" + kDsfile + "' dump old.mdb");
    EXPECT_EQ(dump.out, "ftable\tLastName:text(20)\nPerson\tDavolio\nCafé\t\n") << dump.err;
    auto again = run(dir, "'" + kDsfile + "' dump old.mdb | '" + kDsfile + "' write new.DS && '" +
                              kDsfile + "' dump new.DS");
    EXPECT_EQ(again.out, dump.out) << again.err;
}

TEST(Dsfile, BadFilesGiveExitOneAndAMessage) {
    TempDir dir;
    ASSERT_EQ(run(dir, "'" + kDsfile + "' write --table other o.DS", "a:long\n1\n").status, 0);
    auto r = run(dir, "'" + kDsfile + "' dump o.DS");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dsfile: 结构文件“o.DS”中找不到表“ds”。\n");
    test::writeFile(dir.file("r.DS"), std::string(5000, '\x5A'));
    r = run(dir, "'" + kDsfile + "' tables r.DS");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dsfile: “r.DS”不是有效的结构文件（不是 Jet 数据库）。\n");
    test::writeFile(dir.file("cut.DS"), test::readFile(dir.file("o.DS")).substr(0, 9000));
    r = run(dir, "'" + kDsfile + "' dump cut.DS");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("dsfile: “cut.DS”不是有效的结构文件（", 0), 0u) << r.err;
}

}  // namespace
}  // namespace dsadmin

namespace dsadmin {
namespace {

TEST(Dsfile, SampleStructureFileHoldsTheSampleRows) {
    TempDir dir;
    const std::string sample = test::readFile(SAMPLE_TSV);
    auto r = run(dir, "'" + kDsfile + "' dump '" SAMPLE_DS "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, sample);
    // What the create run meets: identity keys, VarChar with lengths, Chinese names, and
    // two tables whose rows alternate.
    EXPECT_NE(sample.find("Customer\tCustID\tInt\t0\t1\t1\n"), std::string::npos);
    EXPECT_NE(sample.find("Employee\t姓名\tNVarChar(20)\t20\t0\t0\n"), std::string::npos);
    EXPECT_NE(sample.find("SalesOrder\tOrderNo\tVarChar\t20\t0\t0\nOrderLine\tOrderID\t"),
              std::string::npos);
}

}  // namespace
}  // namespace dsadmin
