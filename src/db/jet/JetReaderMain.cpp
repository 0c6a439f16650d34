// dsadmin-jetreader: the program JetReader starts to read a structure file with libmdb, so that
// a crash or a hang of libmdb on a damaged file never takes down the program that asked.
//
//   dsadmin-jetreader PARENT-PID
//
// answers the requests (JetWire.h) that arrive on standard input, on standard output, until
// its input ends. It is started by JetReader only; it ends at once when its parent is gone.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/jet/AnswerWriter.h"
#include "db/jet/JetWire.h"
#include "db/jet/MdbDatabase.h"

namespace {

using namespace dsadmin;

// Standard input, read in blocks: a request of 64 texts comes in 130 small fields, and a
// read(2) for each of them cost more than answering.
class Input {
  public:
    // Reads exactly n bytes; false at the end of the input or on an error.
    bool readExactly(void* to, std::size_t n) {
        auto* p = static_cast<char*>(to);
        while (n > 0) {
            if (pos_ == len_ && !fill()) return false;
            const std::size_t take = std::min(n, len_ - pos_);
            std::memcpy(p, buf_ + pos_, take);
            pos_ += take;
            p += take;
            n -= take;
        }
        return true;
    }

  private:
    bool fill() {
        for (;;) {
            ssize_t got = ::read(STDIN_FILENO, buf_, sizeof buf_);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            pos_ = 0;
            len_ = static_cast<std::size_t>(got);
            return true;
        }
    }

    char buf_[65536];
    std::size_t pos_ = 0, len_ = 0;
};

Input input;

bool readExactly(void* to, std::size_t n) {
    return input.readExactly(to, n);
}

constexpr std::uint32_t kMaxString = 1u << 20;

bool readU32(std::uint32_t& v) {
    return readExactly(&v, sizeof v);
}

bool readStr(std::string& s) {
    std::uint32_t n = 0;
    if (!readU32(n) || n > kMaxString) return false;
    s.resize(n);
    return readExactly(s.data(), n);
}

struct Request {
    char kind = 0;
    std::string path, table, column;
    std::vector<std::string> texts;
};

// One request; false at the end of the input or for anything malformed.
bool readRequest(Request& r) {
    char magic[sizeof jetwire::kRequestMagic];
    if (!readExactly(magic, sizeof magic) ||
        std::memcmp(magic, jetwire::kRequestMagic, sizeof magic) != 0 || !readExactly(&r.kind, 1) ||
        !readStr(r.path))
        return false;
    r.table.clear();
    r.column.clear();
    r.texts.clear();
    switch (r.kind) {
        case jetwire::kTables:
            return true;
        case jetwire::kTable:
            return readStr(r.table);
        case jetwire::kDistinct:
            return readStr(r.table) && readStr(r.column);
        case jetwire::kWhere: {
            std::uint32_t n = 0;
            if (!readStr(r.table) || !readStr(r.column) || !readU32(n) || n > kMaxString)
                return false;
            r.texts.resize(n);
            for (auto& t : r.texts)
                if (!readStr(t)) return false;
            return true;
        }
        default:
            return false;
    }
}

void answer(std::unique_ptr<MdbDatabase>& db, std::string& openPath, const Request& r) {
    try {
        if (!db || openPath != r.path) {
            db.reset();
            openPath.clear();
            db = std::make_unique<MdbDatabase>(r.path);
            openPath = r.path;
        }
        AnswerWriter out(STDOUT_FILENO, r.kind);
        switch (r.kind) {
            case jetwire::kTables: {
                auto names = db->userTables();
                out.u32(static_cast<std::uint32_t>(names.size()));
                for (const auto& n : names) out.str(n);
                break;
            }
            case jetwire::kTable:
                db->writeTable(r.table, out);
                break;
            case jetwire::kDistinct:
                db->writeDistinct(r.table, r.column, out);
                break;
            case jetwire::kWhere:
                db->writeWhere(r.table, r.column, r.texts, out);
                break;
        }
        out.finish();
    } catch (const MdbDatabase::Failure& f) {
        // Nothing of the failed answer has been sent: a failure comes before the first flush.
        AnswerWriter out(STDOUT_FILENO, jetwire::kError);
        out.u8(f.code);
        out.str(f.what());
        out.finish();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Die with the parent that started us; if it is already gone, stop here.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 2 || std::to_string(::getppid()) != argv[1]) return 64;
    std::unique_ptr<MdbDatabase> db;
    std::string openPath;
    Request r;
    try {
        while (readRequest(r)) answer(db, openPath, r);
    } catch (...) {
        return 70;
    }
    return 0;
}
