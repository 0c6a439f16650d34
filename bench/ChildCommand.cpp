#include "ChildCommand.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace dsadmin::bench {
namespace {

const std::string& orNull(const std::string& path) {
    static const std::string devNull = "/dev/null";
    return path.empty() ? devNull : path;
}

}  // namespace

int RunCommand(const std::vector<std::string>& given, const Redirects& r, long* peakKb) {
    // Measured through peak-of (see bench/peak_of.c): a program started straight from here
    // would begin with this process's high-water mark.
    const std::string peakFile =
        peakKb ? std::string(P_tmpdir) + "/dsadmin-peak-" + std::to_string(::getpid()) + ".txt"
               : std::string();
    std::vector<std::string> argv = given;
    if (peakKb) argv.insert(argv.begin(), {DSADMIN_PEAK_OF_EXE, peakFile});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, orNull(r.in).c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, orNull(r.out).c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, orNull(r.err).c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(failed));
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (peakKb) {
        std::ifstream in(peakFile);
        *peakKb = 0;
        in >> *peakKb;
        ::unlink(peakFile.c_str());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void RunChecked(const std::vector<std::string>& argv, const Redirects& redirects, long* peakKb) {
    const int status = RunCommand(argv, redirects, peakKb);
    if (status != 0)
        throw std::runtime_error(argv[0] + " ended with status " + std::to_string(status));
}

}  // namespace dsadmin::bench
