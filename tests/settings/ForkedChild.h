#pragma once
// Runs a piece of a test in a forked child process, for tests where several processes save
// the same settings file. The child exits 1 when it recorded a test failure, 0 otherwise.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dsadmin::test {

template <typename Body>
pid_t Spawn(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    return pid;
}

// The child's status as waitpid reports it.
inline int WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

}  // namespace dsadmin::test
