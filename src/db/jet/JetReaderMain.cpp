// dsadmin-jetreader: the program JetReader starts to read a structure file with libmdb, so that
// a crash or a hang of libmdb on a damaged file never takes down the program that asked.
//
//   dsadmin-jetreader PARENT-PID
//
// reads one request (JetWire.h) from standard input, writes the answer to standard output and
// exits. It is started by JetReader only; it ends at once when its parent is gone.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "db/jet/AnswerWriter.h"
#include "db/jet/JetWire.h"
#include "db/jet/MdbDatabase.h"

namespace {

using namespace dsadmin;

bool readAll(int fd, std::string& out) {
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(chunk, static_cast<std::size_t>(n));
        if (out.size() > (1u << 20)) return false;
    }
}

// The request: kind, str path, str table (JetWire.h).
bool parseRequest(const std::string& in, char& kind, std::string& path, std::string& table) {
    std::size_t pos = 0;
    auto str = [&](std::string& s) {
        std::uint32_t n = 0;
        if (in.size() - pos < sizeof n) return false;
        std::memcpy(&n, in.data() + pos, sizeof n);
        pos += sizeof n;
        if (in.size() - pos < n) return false;
        s.assign(in, pos, n);
        pos += n;
        return true;
    };
    if (in.size() < sizeof jetwire::kRequestMagic + 1 ||
        std::memcmp(in.data(), jetwire::kRequestMagic, sizeof jetwire::kRequestMagic) != 0)
        return false;
    pos = sizeof jetwire::kRequestMagic;
    kind = in[pos++];
    return str(path) && str(table) && pos == in.size();
}

int serve(const std::string& path, char kind, const std::string& table, int fd) {
    try {
        MdbDatabase db(path);
        AnswerWriter out(fd, kind);
        if (kind == jetwire::kTables) {
            auto names = db.userTables();
            out.u32(static_cast<std::uint32_t>(names.size()));
            for (const auto& n : names) out.str(n);
        } else {
            db.writeTable(table, out);
        }
        out.finish();
    } catch (const MdbDatabase::Failure& f) {
        AnswerWriter out(fd, jetwire::kError);
        out.u8(f.code);
        out.str(f.what());
        out.finish();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Die with the parent that started us; if it is already gone, stop here.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 2 || std::to_string(::getppid()) != argv[1]) return 64;
    std::string request;
    char kind = 0;
    std::string path, table;
    if (!readAll(STDIN_FILENO, request) || !parseRequest(request, kind, path, table) ||
        (kind != jetwire::kTables && kind != jetwire::kTable))
        return 65;
    try {
        return serve(path, kind, table, STDOUT_FILENO);
    } catch (...) {
        return 70;
    }
}
