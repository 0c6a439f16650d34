// The structure-file reader as the runs use it: the file is read by libmdb in a forked child.
// Whatever the file holds, every call returns or throws DbError; a crash or a hang of the
// child never reaches this process. At exit the target tells how many inputs crashed the
// child, and each of those must have come back as a DbError naming the crash.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
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

// libFuzzer and the sanitizers catch SIGSEGV and friends to report a crash and write the
// input out. A forked reader child inherits those handlers; put the default ones back in the
// child so that a crash there ends the child by its signal, as it does in the window.
void defaultSignalsInChild() {
    for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) ::signal(sig, SIG_DFL);
}

[[maybe_unused]] const int kAtFork = ::pthread_atfork(nullptr, nullptr, defaultSignalsInChild);

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
        const JetReader reader(path, std::chrono::milliseconds(3000));
        const std::vector<std::string> names = reader.tableNames();
        for (std::size_t i = 0; i < names.size() && i < 4; ++i) {
            const dsadmin::JetTable t = reader.readTable(names[i]);
            FUZZ_CHECK(t.cells.size() == t.rowCount() * t.columns.size());
        }
        (void)reader.readTable("ds");
    } catch (const DbError& e) {
        count(e);
    }
    return 0;
}
