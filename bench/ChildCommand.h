#pragma once
// Runs another program for a measurement: argv[0] is searched in PATH, stdin comes from a
// file (or /dev/null), stdout and stderr go to files (or /dev/null).

#include <string>
#include <vector>

namespace dsadmin::bench {

struct Redirects {
    std::string in;   // empty: /dev/null
    std::string out;  // empty: /dev/null
    std::string err;  // empty: /dev/null

    static Redirects StdinFrom(std::string path) { return {std::move(path), {}, {}}; }
    static Redirects StdoutTo(std::string path) { return {{}, std::move(path), {}}; }
};

// Runs the program to its end and returns its exit status (128 + signal when killed). With
// `peakKb`, starts it from the small peak-of process and stores the largest resident size the
// program or any process it waited for reached, in kB: the program's own figure, not one
// inherited from the bench. Throws std::runtime_error when it cannot be started.
int RunCommand(const std::vector<std::string>& argv, const Redirects& redirects = {},
               long* peakKb = nullptr);

// Same, but throws std::runtime_error naming the program when the status is not 0.
void RunChecked(const std::vector<std::string>& argv, const Redirects& redirects = {},
                long* peakKb = nullptr);

}  // namespace dsadmin::bench
