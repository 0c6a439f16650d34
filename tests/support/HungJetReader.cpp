#include "support/HungJetReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "db/jet/JetReader.h"

namespace testsupport {

namespace fs = std::filesystem;

HungJetReader::HungJetReader(std::chrono::milliseconds timeout) {
    char pattern[] = "/tmp/dsadmin-hungreader-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    if (::mkfifo((folder_ + "/libmdb.so.3").c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo failed");
    if (const char* old = std::getenv("LD_LIBRARY_PATH")) oldPath_ = old;
    ::setenv("LD_LIBRARY_PATH", folder_.c_str(), 1);
    dsadmin::JetReader::SetDefaultTimeoutForTests(timeout);
}

HungJetReader::~HungJetReader() {
    dsadmin::JetReader::SetDefaultTimeoutForTests(dsadmin::JetReader::kDefaultTimeout);
    if (oldPath_)
        ::setenv("LD_LIBRARY_PATH", oldPath_->c_str(), 1);
    else
        ::unsetenv("LD_LIBRARY_PATH");
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::vector<pid_t> HungJetReader::Readers() {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // /proc/<pid>/stat: "<pid> (<comm>) <state> <ppid> ..."; comm is at most 15 bytes.
        std::ifstream in(entry.path() / "stat");
        std::string line;
        if (!std::getline(in, line)) continue;
        const auto close = line.rfind(')');
        const auto open = line.find('(');
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string comm = line.substr(open + 1, close - open - 1);
        char state = 0;
        long ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) != 2) continue;
        if (ppid == ::getpid() && std::string(dsadmin::kJetReaderHelperName).rfind(comm, 0) == 0)
            found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

}  // namespace testsupport
