// dsadmin-cli: the window's create, modify and delete runs, their plans and the structure
// check, on the command line.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/CliProgram.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return dsadmin::cli::CliProgram::Run(args, isatty(STDIN_FILENO) == 1, std::cin, std::cout,
                                         std::cerr);
}
