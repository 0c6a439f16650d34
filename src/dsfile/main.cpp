// dsfile: writes and reads structure files (Jet databases holding the table ds).

#include <iostream>
#include <string>
#include <vector>

#include "dsfile/Commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    return dsadmin::dsfile::dispatch(args, {std::cin, std::cout, std::cerr});
}
