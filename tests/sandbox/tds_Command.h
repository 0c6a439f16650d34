#pragma once
// Runs a shell command for the session tests: standard input from a string, standard output
// and error together, with a time limit (coreutils timeout).

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace tdstest {

struct CommandResult {
    int exitCode = -1;
    std::string output;
};

inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline CommandResult runCommand(const std::string& command, const std::string& input = "",
                                int timeoutSeconds = 60) {
    char path[] = "/tmp/dsadmin-tds-stdin-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd >= 0) {
        [[maybe_unused]] ssize_t n = ::write(fd, input.data(), input.size());
        ::close(fd);
    }
    // Variables that would override what each test configures.
    std::string full =
        "unset TDSVER TDSPORT TDSHOST TDSDUMP FREETDS FREETDSCONF ODBCINI; timeout " +
        std::to_string(timeoutSeconds) + " " + command + " < " + path + " 2>&1";
    CommandResult result;
    if (FILE* p = ::popen(full.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) result.output.append(buf, n);
        int status = ::pclose(p);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::unlink(path);
    return result;
}

}  // namespace tdstest
