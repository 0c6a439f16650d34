#include "ChildCommand.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace dsadmin::bench {
namespace {

const std::string& orNull(const std::string& path) {
    static const std::string devNull = "/dev/null";
    return path.empty() ? devNull : path;
}

}  // namespace

int RunCommand(const std::vector<std::string>& argv, const Redirects& r, long* peakKb) {
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
    if (peakKb) *peakKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void RunChecked(const std::vector<std::string>& argv, const Redirects& redirects, long* peakKb) {
    const int status = RunCommand(argv, redirects, peakKb);
    if (status != 0)
        throw std::runtime_error(argv[0] + " ended with status " + std::to_string(status));
}

}  // namespace dsadmin::bench
