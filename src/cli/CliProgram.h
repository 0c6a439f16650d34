#pragma once
// dsadmin-cli from its arguments to its exit code: reads the options, takes the defaults
// from Setup.ini as the window does (never writing it), removes the FreeTDS variables that
// would send the connection elsewhere, and hands the command to CliSession. A usage mistake
// is reported on stderr and, with --json, as a JSON document too. Text is UTF-8.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CliSession.h"

namespace dsadmin::cli {

class CliProgram {
  public:
    // `interactive`: stdin is a terminal, so questions can be asked and a password read
    // without echo.
    static int Run(const std::vector<std::string>& args, bool interactive, std::istream& in,
                   std::ostream& out, std::ostream& err);
};

}  // namespace dsadmin::cli
