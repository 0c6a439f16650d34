// Reads a structure of many tables (default 2,000 tables of 20 columns, 40,000 rows of ds)
// through the Jet provider and builds every CREATE TABLE statement, as a create run does.
// Prints how long each step took. Usage: structure_statements [TABLES [COLUMNS [hook]]]; with
// "hook" the connection has a wait hook as the window's (it counts its calls).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "db/jet/JetReader.h"

using namespace dsadmin;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void writeStructure(const std::string& dir, int tables, int columns) {
    std::ofstream tsv(dir + "/rows.tsv");
    tsv << "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
    for (int t = 0; t < tables; ++t)
        for (int c = 0; c < columns; ++c)
            tsv << "Table" << t << "\tCol" << c << '\t' << (c % 2 ? "VarChar" : "Int") << '\t'
                << 10 + c << '\t' << (c == 0) << '\t' << (c == 0) << '\n';
    tsv.close();
    std::string cmd =
        std::string("'") + DSFILE_EXE + "' write '" + dir + "/bench.DS' < '" + dir + "/rows.tsv'";
    if (std::system(cmd.c_str()) != 0) throw DbError("dsfile write failed");
}

}  // namespace

int main(int argc, char** argv) {
    int tables = argc > 1 ? std::atoi(argv[1]) : 2000;
    int columns = argc > 2 ? std::atoi(argv[2]) : 20;
    const bool hooked = argc > 3 && std::string(argv[3]) == "hook";
    long hookCalls = 0;
    char pattern[] = "/tmp/dsadmin-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    std::string dir = pattern;
    try {
        auto t0 = Clock::now();
        writeStructure(dir, tables, columns);
        std::printf("write %d tables x %d columns (%d rows): %.0f ms\n", tables, columns,
                    tables * columns, msSince(t0));

        auto t1 = Clock::now();
        JetReader(dir + "/bench.DS").readTable("ds");
        std::printf("one read of ds through JetReader:        %.0f ms\n", msSince(t1));

        auto t2 = Clock::now();
        Connection cn;
        cn.ConnectionString(std::string("Provider=") + kJetProvider + ";Data source=" + dir +
                            "/bench.DS");
        if (hooked) cn.WhileWaiting([&hookCalls] { ++hookCalls; });
        cn.Open();
        std::printf("open the structure file:                 %.0f ms\n", msSince(t2));
        auto t3 = Clock::now();
        Recordset list, rows;
        list.Open(kTableListQuery, cn, kOpenKeyset, kLockReadOnly, kUnspecified);
        std::printf("table list (reads ds, DISTINCT):          %.0f ms\n", msSince(t3));
        auto t4 = Clock::now();
        std::size_t statements = 0, bytes = 0;
        list.MoveFirst();
        while (!list.Eof()) {
            const Value& name = list.Fields("ftable");
            rows.Open(TableRowsQuery(name), cn, kOpenKeyset, kLockReadOnly, kUnspecified);
            if (!rows.Eof()) {
                bytes += GetCreateTableStr(name, rows).size();
                ++statements;
            }
            rows.Close();
            list.MoveNext();
        }
        double each = msSince(t4);
        std::printf(
            "%zu table-rows queries and statements:  %.0f ms (%.3f ms a table, %zu bytes)\n",
            statements, each, each / static_cast<double>(statements ? statements : 1), bytes);
        std::printf("total from open:                         %.0f ms\n", msSince(t2));
        if (hooked) std::printf("wait hook calls:                         %ld\n", hookCalls);
    } catch (const DbError& e) {
        std::fprintf(stderr, "structure_statements: %s\n", e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
