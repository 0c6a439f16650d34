#pragma once
// dsadmin-cli from its arguments to its exit code: reads the options, takes the defaults
// from Setup.ini as the window does (never writing it), runs the window's own create, modify
// or delete run with a terminal in place of the message boxes, a plan of one, or the check,
// and reports for people or as one JSON document. Text is UTF-8.

#include <iosfwd>
#include <string>
#include <vector>

namespace dsadmin::cli {

enum ExitCode : int {
    kExitDone = 0,         // done, or the check found no difference
    kExitFailed = 1,       // the run or the check failed
    kExitUsage = 2,        // unknown option, missing input, no --yes without a terminal
    kExitDifferences = 3,  // the check found differences
    kExitAnsweredNo = 4,   // the operator answered no
};

class CliProgram {
  public:
    // `interactive`: stdin is a terminal, so questions can be asked.
    static int Run(const std::vector<std::string>& args, bool interactive, std::istream& in,
                   std::ostream& out, std::ostream& err);
};

}  // namespace dsadmin::cli
