// JetReader on good and bad files, and the helper process that shields the caller from
// libmdb crashes.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "JetTestFiles.h"
#include "db/DbError.h"
#include "db/jet/ChildProcess.h"
#include "db/jet/JetReader.h"
#include "jetwriter/JetWriter.h"
#include "support/HungJetReader.h"

namespace dsadmin {
namespace {

using test::TempDir;

// A small valid structure file: table ds with three rows, and table other.
std::string writeSample(const TempDir& dir, const std::string& name = "s.DS") {
    using namespace jet;
    JetWriter w(
        {TableDef{"ds", {{"ftable", JetColumnType::Text, 64}, {"flong", JetColumnType::Long}}},
         TableDef{"other", {{"v", JetColumnType::YesNo}}}},
        dir.file(name), true);
    w.addRow(0, std::vector<Value>{"Person", 1});
    w.addRow(0, std::vector<Value>{"", Value{}});
    w.addRow(0, std::vector<Value>{Value{}, -5});
    w.addRow(1, std::vector<Value>{true});
    w.commit();
    return dir.file(name);
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const DbError& e) {
        return e.what();
    }
    return "no error";
}

TEST(JetReader, ReadsTablesColumnsAndRows) {
    TempDir dir;
    JetReader r(writeSample(dir));
    EXPECT_EQ(r.tableNames(), (std::vector<std::string>{"ds", "other"}));
    JetTable t = r.readTable("DS");  // Jet matches names ignoring case
    EXPECT_EQ(t.name, "ds");
    EXPECT_EQ(t.columns, (std::vector<JetColumn>{{"ftable", JetType::Text, 128},
                                                 {"flong", JetType::Long, 4}}));
    EXPECT_EQ(t.columnIndex("FLONG"), 1);
    EXPECT_EQ(t.columnIndex("nope"), -1);
    ASSERT_EQ(t.rowCount(), 3u);
    EXPECT_EQ(t.row(0)[0], Value("Person"));
    EXPECT_EQ(t.row(1)[0], Value(""));  // empty text and NULL stay apart
    EXPECT_EQ(t.row(1)[1], Value());
    EXPECT_EQ(t.row(2)[0], Value());
    EXPECT_EQ(t.row(2)[1], Value(-5));
    EXPECT_EQ(r.readTable("other").row(0)[0], Value(true));
}

TEST(JetReader, NamesTheFileOrTableThatIsWrong) {
    TempDir dir;
    const std::string good = writeSample(dir);
    EXPECT_EQ(errorOf([&] { JetReader(dir.file("none.DS")); }),
              "结构文件“" + dir.file("none.DS") + "”不存在。");
    EXPECT_EQ(errorOf([&] { JetReader(dir.path().string()); }),
              "结构文件“" + dir.path().string() + "”不是普通文件（是文件夹）。");
    EXPECT_EQ(errorOf([&] { JetReader(good).readTable("missing"); }),
              "结构文件“" + good + "”中找不到表“missing”。");
    EXPECT_EQ(errorOf([&] { JetReader(good).readTable("MSysObjects"); }),
              "结构文件“" + good + "”中找不到表“MSysObjects”。");
    if (::geteuid() != 0) {
        ::chmod(good.c_str(), 0);
        EXPECT_EQ(errorOf([&] { JetReader{good}; }), "无法读取结构文件“" + good + "”：权限不够。");
    }
}

// Names beyond U+FFFF come out whole, and every alphabet's letters match without regard to
// case, as Jet matches names.
TEST(JetReader, NamesBeyondTheBasicPlaneAndCaseInEveryAlphabet) {
    TempDir dir;
    using namespace jet;
    JetWriter w({TableDef{"T😀", {{"列😀", JetColumnType::Long}}},
                 TableDef{"UMSÄTZE", {{"ÄRGER", JetColumnType::Long}}}},
                dir.file("n.DS"), false);
    w.addRow(0, std::vector<Value>{1});
    w.commit();
    JetReader r(dir.file("n.DS"));
    EXPECT_EQ(r.tableNames(), (std::vector<std::string>{"T😀", "UMSÄTZE"}));
    JetTable t = r.readTable("t😀");
    EXPECT_EQ(t.name, "T😀");
    EXPECT_EQ(t.columns[0].name, "列😀");
    EXPECT_EQ(t.row(0)[0], Value(1));
    EXPECT_EQ(r.readTable("umsätze").columnIndex("ärger"), 0);
}

// The first data page of the only user table in `bytes`, zeroed: rows lost, as a copy cut
// short and padded, or a damaged disk, leaves a file. Returns how many rows that page held.
int zeroFirstDataPage(std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    auto u32 = [&](std::size_t at) {
        return p[at] | p[at + 1] << 8 | p[at + 2] << 16 | p[at + 3] << 24;
    };
    for (std::size_t page = 6; page < bytes.size() / 4096; ++page) {
        std::size_t at = page * 4096;
        if (p[at] == 0x01 && u32(at + 4) == 6) {  // owned by the definition on page 6
            int rows = p[at + 12] | p[at + 13] << 8;
            std::fill(bytes.begin() + at, bytes.begin() + at + 4096, '\0');
            return rows;
        }
    }
    return 0;
}

TEST(JetReader, TableCutShortIsAnErrorNeverAShorterTable) {
    TempDir dir;
    using namespace jet;
    const std::string path = dir.file("c.DS");
    {
        JetWriter w({TableDef{"ds", {{"n", JetColumnType::Long}, {"m", JetColumnType::Memo}}}},
                    path, false);
        for (int i = 0; i < 600; ++i)
            w.addRow(0, std::vector<Value>{i, i == 599 ? std::string(3000, 'm') : "x"});
        w.commit();
    }
    const std::string good = test::readFile(path);
    std::string bytes = good;
    const int lost = zeroFirstDataPage(bytes);
    ASSERT_GT(lost, 0);
    test::writeFile(path, bytes);
    EXPECT_EQ(errorOf([&] { JetReader(path).readTable("ds"); }),
              "“" + path + "”不是有效的结构文件（表“ds”被截断或已损坏：其定义有 600 行，只能读出 " +
                  std::to_string(600 - lost) + " 行）。");
    // The memo's second long-value page zeroed: the memo would come back with zeros.
    bytes = good;
    const std::size_t lval = bytes.find("LVAL") / 4096 * 4096;
    std::fill(bytes.begin() + lval, bytes.begin() + lval + 4096, '\0');
    test::writeFile(path, bytes);
    EXPECT_EQ(
        errorOf([&] { JetReader(path).readTable("ds"); }),
        "“" + path + "”不是有效的结构文件（列“m”的一个备注值被截断（6000 字节只有 4000 字节））。");
    // The usage map moved past the end of the file: pages the file does not have.
    bytes = good;
    const std::size_t maps = bytes.size() - 4096;
    const std::size_t row = static_cast<unsigned char>(bytes[maps + 14 + 2 * 8]) |
                            static_cast<unsigned char>(bytes[maps + 15 + 2 * 8]) << 8;
    bytes[maps + row + 3] = '\x01';  // start page + 65,536
    test::writeFile(path, bytes);
    EXPECT_NE(errorOf([&] { JetReader(path).readTable("ds"); }).find("（表“ds”被截断：第 6"),
              std::string::npos);
}

// The catalog is checked the same way: a lost catalog page would hide tables.
TEST(JetReader, CatalogCutShortIsAnError) {
    TempDir dir;
    using namespace jet;
    std::vector<TableDef> defs;
    for (int i = 0; i < 200; ++i)
        defs.push_back({"t" + std::to_string(i), {{"v", JetColumnType::Long}}});
    const std::string path = dir.file("c.DS");
    JetWriter(defs, path, false).commit();
    std::string bytes = test::readFile(path);
    std::size_t page = bytes.size() / 4096;
    while (--page > 0 && !(bytes[page * 4096] == 1 && bytes[page * 4096 + 4] == 2)) {
    }
    ASSERT_GT(page, 6u);  // the catalog's last data page
    std::fill(bytes.begin() + page * 4096, bytes.begin() + page * 4096 + 4096, '\0');
    test::writeFile(path, bytes);
    EXPECT_NE(
        errorOf([&] {
            JetReader(path).tableNames();
        }).find("不是有效的结构文件（表“MSysObjects”被截断或已损坏：其定义有 208 行，只能读出 "),
        std::string::npos);
}

TEST(JetReader, TimeOutIsSaidSo) {
    TempDir dir;
    const std::string path = writeSample(dir);
    EXPECT_EQ(errorOf([&] { JetReader(path, std::chrono::milliseconds(1)).readTable("ds"); }),
              "读取结构文件“" + path + "”超时：1 毫秒内没有应答。");
}

// Files that are no valid Jet database, made from a good one.
struct BadFile {
    const char* label;
    std::function<std::string(std::string)> make;
};

class JetReaderBadFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(JetReaderBadFiles, GiveAClearErrorAndNeverCrashTheCaller) {
    TempDir dir;
    const std::string good = test::readFile(writeSample(dir));
    const std::string path = dir.file("bad.DS");
    test::writeFile(path, GetParam().make(good));
    const std::string prefix = "“" + path + "”不是有效的结构文件（";
    for (auto call : {+[](const JetReader& r) { r.tableNames(); },
                      +[](const JetReader& r) { r.readTable("ds"); }}) {
        std::string e = errorOf([&] { call(JetReader(path)); });
        EXPECT_EQ(e.substr(0, prefix.size()), prefix) << e;
    }
}

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Jet4, JetReaderBadFiles,
    ::testing::Values(
        BadFile{"Empty", [](std::string) { return std::string(); }},
        BadFile{"RandomBytes", [](std::string) { return randomBytes(40000, 1); }},
        BadFile{"RandomPageZeroOk",
                [](std::string) { return std::string(1, '\0') + randomBytes(20000, 2); }},
        BadFile{"HeaderOnly", [](std::string g) { return g.substr(0, 4096); }},
        BadFile{"CutInCatalogDefinition", [](std::string g) { return g.substr(0, 2 * 4096 + 50); }},
        BadFile{"CutBeforeUsageMaps", [](std::string g) { return g.substr(0, g.size() - 4096); }},
        BadFile{"TextFile", [](std::string) { return std::string("ftable\tfname\n"); }},
        BadFile{"UnknownVersion", [](std::string g) { return g.replace(0x14, 1, "\x09"); }}),
    [](const auto& info) { return std::string(info.param.label); });

// Damaged copies of a good file (bytes overwritten at random) either read or fail with a
// DbError; libmdb crashing on some of them must not matter.
TEST(JetReader, SurvivesRandomDamage) {
    TempDir dir;
    const std::string good = test::readFile(writeSample(dir));
    const std::string path = dir.file("damaged.DS");
    std::mt19937 rng(42);
    int failures = 0;
    for (int round = 0; round < 150; ++round) {
        std::string bad = good;
        for (int k = 0; k < 1 + round % 8; ++k)
            bad[4096 + rng() % (bad.size() - 4096)] = char(rng());
        test::writeFile(path, bad);
        try {
            JetReader r(path, std::chrono::seconds(10));
            r.tableNames();
            r.readTable("ds");
        } catch (const DbError&) {
            ++failures;
        }
    }
    RecordProperty("failures", failures);
}

// A usage-map row of length 0 makes libmdb 1.0.0 dereference NULL (mdb-export segfaults on
// such a file); the caller gets an error instead.
TEST(JetReader, LibmdbCrashBecomesAnError) {
    TempDir dir;
    std::string bytes = test::readFile(writeSample(dir));
    // The last page holds the map rows, two a table (data pages, long-value pages): 0-7
    // the four system tables, 8 and 9 ds, 10 and 11 other. Row 8 ends where row 7 starts;
    // giving it that start makes it empty.
    const std::size_t page = bytes.size() - 4096;
    bytes[page + 14 + 2 * 8] = bytes[page + 14 + 2 * 7];
    bytes[page + 15 + 2 * 8] = bytes[page + 15 + 2 * 7];
    const std::string path = dir.file("zeromap.DS");
    test::writeFile(path, bytes);
    JetReader r(path);
    EXPECT_EQ(r.tableNames(), (std::vector<std::string>{"ds", "other"}));
    const std::string e = errorOf([&] { r.readTable("ds"); });
    const std::string prefix = "“" + path + "”不是有效的结构文件（读取程序";
    EXPECT_EQ(e.substr(0, prefix.size()), prefix) << e;
    EXPECT_EQ(r.readTable("other").rowCount(), 1u);
}

TEST(ChildProcess, ReportsCrashTimeoutAndOversizedOutput) {
    auto run = [](const std::string& script, std::chrono::milliseconds timeout, std::size_t max) {
        ChildProcess child({"/bin/sh", "-c", script});
        child.send("request");
        return child.collect(timeout, max);
    };
    auto crash = run("kill -SEGV $$", std::chrono::seconds(5), 100);
    EXPECT_EQ(crash.end, ChildProcess::End::Signalled);
    EXPECT_EQ(crash.code, SIGSEGV);

    auto start = std::chrono::steady_clock::now();
    auto hang = run("exec sleep 30", std::chrono::milliseconds(200), 100);
    EXPECT_EQ(hang.end, ChildProcess::End::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    EXPECT_EQ(run("exec yes", std::chrono::seconds(5), 10000).end, ChildProcess::End::TooLarge);

    // The request arrives on standard input, closed after it; standard error goes nowhere.
    auto ok = run("cat; echo oops >&2; exit 3", std::chrono::seconds(5), 100);
    EXPECT_EQ(ok.end, ChildProcess::End::Exited);
    EXPECT_EQ(ok.code, 3);
    EXPECT_EQ(ok.output, "request");

    // Signals the caller ignores or blocks are the child's defaults again.
    ::signal(SIGPIPE, SIG_IGN);
    auto piped = run("yes | head -c 1", std::chrono::seconds(5), 100);
    ::signal(SIGPIPE, SIG_DFL);
    EXPECT_EQ(piped.output, "y");
    EXPECT_EQ(piped.end, ChildProcess::End::Exited);

    EXPECT_THROW(ChildProcess({"/nonexistent/helper"}), std::system_error);
}

// The wait hook (a window's painting): called every 50 ms of a wait, never for a quick
// answer; the time limit and its outcome stay as without it; what it throws comes after the
// child is killed and reaped, and the session's next request gets a fresh helper and its own
// answer, not what the abandoned one had left.
TEST(ChildProcess, WaitHookLeavesTheTimeLimitAndOnAThrowNoChildBehind) {
    int calls = 0;
    const auto hook = [&] { ++calls; };
    {
        ChildProcess quick({"/bin/sh", "-c", "cat"});
        quick.send("quick");
        EXPECT_EQ(quick.collect(std::chrono::seconds(5), 100, hook).output, "quick");
        EXPECT_EQ(calls, 0);
    }
    ChildProcess hung({"/bin/sh", "-c", "exec sleep 30"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(hung.exchange("request", std::chrono::milliseconds(600), 100, hook).end,
              ChildProcess::End::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    EXPECT_GE(calls, 2);  // fewer under load, never more than one per 50 ms
    EXPECT_LE(calls, 12);
    EXPECT_FALSE(hung.running());

    TempDir dir;
    const std::string path = writeSample(dir);
    const auto fds = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    const auto fdsBefore = fds();
    struct Stop {};
    int thrown = 0;
    JetReaderSession session(JetReader(path), [&] {
        if (!testsupport::HungJetReader::Readers().empty() && thrown++ == 0) throw Stop{};
    });
    {
        testsupport::HungJetReader stuck(std::chrono::seconds(30));
        EXPECT_THROW(session.tableNames(), Stop);
        EXPECT_TRUE(testsupport::HungJetReader::Readers().empty()) << "helper left behind";
        EXPECT_EQ(fds(), fdsBefore) << "descriptor left open";
    }
    EXPECT_EQ(session.tableNames(), (std::vector<std::string>{"ds", "other"}));
    EXPECT_EQ(session.readTable("ds").rowCount(), 3u);
}

// The helper is a fresh program, found beside the test (the build tree's bin/); a missing
// helper is named in the error, not a crash or a hang.
TEST(JetReader, HelperIsFoundBesideTheProgram) {
    const std::string helper = JetReaderHelperPath();
    EXPECT_EQ(std::filesystem::path(helper).filename(), kJetReaderHelperName);
    EXPECT_EQ(std::filesystem::path(helper).parent_path(),
              std::filesystem::read_symlink("/proc/self/exe").parent_path());
    // The helper refuses to run for anyone but the parent named on its command line.
    ChildProcess stray({helper, "1"});
    stray.send("");
    auto o = stray.collect(std::chrono::seconds(10), 100);
    EXPECT_EQ(o.end, ChildProcess::End::Exited);
    EXPECT_NE(o.code, 0);
    EXPECT_EQ(o.output, "");
}

// A ds table of `tables` tables of `columns` rows each, in table order: ftable "Table<t>",
// fname "Column<c>", flong t.
std::string writeTables(const TempDir& dir, const std::string& name, int tables, int columns) {
    using namespace jet;
    JetWriter w({TableDef{"ds",
                          {{"ftable", JetColumnType::Text, 64},
                           {"fname", JetColumnType::Text, 64},
                           {"flb", JetColumnType::Text, 64},
                           {"flong", JetColumnType::Long},
                           {"fauto", JetColumnType::Long},
                           {"findex", JetColumnType::Long}}}},
                dir.file(name), false);
    for (int t = 0; t < tables; ++t)
        for (int c = 0; c < columns; ++c)
            w.addRow(0, std::vector<Value>{"Table" + std::to_string(t),
                                           "Column" + std::to_string(c), c % 3 ? "VarChar" : "Int",
                                           t, c == 0 ? 1 : 0, c == 0 ? 1 : 0});
    w.commit();
    return dir.file(name);
}

// 20,000 tables of 20 columns: the size of the largest structure files met in practice.
// 400,000 rows span thousands of data pages: every row comes back, in order, none twice.
TEST(JetReader, ReadsEveryRowOfAFourHundredThousandRowTable) {
    TempDir dir;
    JetTable t = JetReader(writeTables(dir, "big.DS", 20000, 20)).readTable("ds");
    ASSERT_EQ(t.rowCount(), 400000u);
    for (std::size_t r :
         {std::size_t{0}, std::size_t{21}, std::size_t{200019}, std::size_t{399999}}) {
        SCOPED_TRACE(r);
        EXPECT_EQ(t.row(r)[0], Value("Table" + std::to_string(r / 20)));
        EXPECT_EQ(t.row(r)[1], Value("Column" + std::to_string(r % 20)));
    }
}

// The runs fetch each table's rows in name order (Table0, Table1, Table10, Table100,
// Table1000, Table1001, ...), which jumps between places of the file, 64 tables a request; a
// request may also be larger than the helper reads at once. Every group holds exactly its
// table's rows, in file order.
TEST(JetReader, RowsFetchedInNameOrderAcrossManyPagesAreTheTablesOwn) {
    TempDir dir;
    constexpr int kTables = 3000, kColumns = 20;
    JetReaderSession session{JetReader(writeTables(dir, "names.DS", kTables, kColumns))};
    const JetTable names = session.distinctTexts("ds", "ftable");
    ASSERT_EQ(names.rowCount(), std::size_t{kTables});
    std::vector<std::string> sorted;
    for (std::size_t r = 0; r < names.rowCount(); ++r) sorted.push_back(names.row(r)[0].text());
    std::sort(sorted.begin(), sorted.end());
    std::size_t checked = 0;
    for (std::size_t from = 0; from < sorted.size(); from += 64) {
        std::vector<std::string> texts(
            sorted.begin() + static_cast<std::ptrdiff_t>(from),
            sorted.begin() + static_cast<std::ptrdiff_t>(std::min(from + 64, sorted.size())));
        if (from == 64 * 10) texts.insert(texts.begin() + 1, std::string(100000, 'x'));
        const std::vector<JetTable> groups = session.rowsWhere("ds", "ftable", texts);
        ASSERT_EQ(groups.size(), texts.size());
        for (std::size_t g = 0; g < texts.size(); ++g) {
            SCOPED_TRACE(texts[g].substr(0, 10));
            if (texts[g][0] == 'x') {
                EXPECT_EQ(groups[g].rowCount(), 0u);
                continue;
            }
            ASSERT_EQ(groups[g].rowCount(), std::size_t{kColumns});
            const int table = std::stoi(texts[g].substr(5));
            for (std::size_t r = 0; r < groups[g].rowCount(); ++r) {
                EXPECT_EQ(groups[g].row(r)[0], Value(texts[g]));
                EXPECT_EQ(groups[g].row(r)[1], Value("Column" + std::to_string(r)));
                EXPECT_EQ(groups[g].row(r)[3], Value(table));
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, std::size_t{kTables});
}

}  // namespace
}  // namespace dsadmin
