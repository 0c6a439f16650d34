/* peak-of OUT PROGRAM [ARGS...]: runs PROGRAM and writes the largest resident size (kB) that
 * it, or any process it waited for, reached to the file OUT; exits with its status.
 *
 * A started program's high-water mark begins at the size of the process that forked it, so
 * the bench starts the programs it measures from this small process: their figures are then
 * their own, not the bench's (which is much larger). */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <errno.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: peak-of OUT PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    pid_t pid = fork();
    if (pid < 0) return 126;
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) return 126;
    FILE* out = fopen(argv[1], "w");
    if (!out || fprintf(out, "%ld\n", usage.ru_maxrss) < 0 || fclose(out) != 0) return 126;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
