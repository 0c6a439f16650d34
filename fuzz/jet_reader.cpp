// The structure-file reader as the runs use it: the file is read by libmdb in a helper process.
// Whatever the file holds, every call returns or throws DbError; a crash or a hang of the
// helper never reaches this process. At exit the target tells how many inputs crashed the
// child, and each of those must have come back as a DbError naming the crash.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "FuzzCheck.h"
#include "db/DbError.h"
#include "db/jet/JetReader.h"

using dsadmin::DbError;
using dsadmin::JetReader;

namespace {

std::string scratchFile() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/jet_reader_fuzz_" +
           std::to_string(::getpid()) + ".DS";
}

struct Tally {
    const std::string path = scratchFile();
    long inputs = 0, errors = 0, crashes = 0, hangs = 0;
    ~Tally() {
        ::unlink(path.c_str());
        std::fprintf(stderr,
                     "jet_reader: %ld inputs, %ld read as DbError, of them %ld child crashes "
                     "and %ld child time-outs\n",
                     inputs, errors, crashes, hangs);
    }
} tally;

// The sanitizers catch SIGSEGV and friends to report a crash; the reader's helper, built with
// them in a fuzzing build, is told not to (they read these variables when it starts, this
// process having read its own already), so that a crash there ends the helper by its signal,
// as it does beside the window.
[[maybe_unused]] const bool kHelperSignals = [] {
    const char* options =
        "handle_segv=0:handle_sigbus=0:handle_abort=0:handle_sigfpe=0:"
        "handle_sigill=0";
    ::setenv("ASAN_OPTIONS", options, 1);
    ::setenv("UBSAN_OPTIONS", options, 1);
    return true;
}();

void count(const DbError& e) {
    const std::string what = e.what();
    FUZZ_CHECK(!what.empty());
    ++tally.errors;
    if (what.find("崩溃") != std::string::npos) ++tally.crashes;
    if (what.find("内没有应答") != std::string::npos) ++tally.hangs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = tally.path;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ++tally.inputs;
    try {
        // One helper for the input's requests, as the provider's session uses it (a helper
        // that crashed is replaced at the next request).
        dsadmin::JetReaderSession reader(JetReader(path, std::chrono::milliseconds(3000)));
        const std::vector<std::string> names = reader.tableNames();
        for (std::size_t i = 0; i < names.size() && i < 4; ++i) {
            const dsadmin::JetTable t = reader.readTable(names[i]);
            FUZZ_CHECK(t.cells.size() == t.rowCount() * t.columns.size());
        }
        (void)reader.readTable("ds");
        // The runs' two queries: the distinct table names, then their rows by name.
        try {
            const dsadmin::JetTable list = reader.distinctTexts("ds", "ftable");
            std::vector<std::string> texts;
            for (std::size_t i = 0; i < list.cells.size() && texts.size() < 8; ++i)
                if (auto s = std::get_if<std::string>(&list.cells[i].storage()))
                    texts.push_back(*s);
            const auto groups = reader.rowsWhere("ds", "ftable", texts);
            FUZZ_CHECK(groups.size() == texts.size());
        } catch (const dsadmin::JetReaderSession::NoColumn&) {
        }
    } catch (const DbError& e) {
        count(e);
    }
    return 0;
}
