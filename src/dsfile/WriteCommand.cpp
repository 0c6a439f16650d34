// dsfile write: a new structure file from tab-separated rows.

#include <ostream>

#include "dsfile/Commands.h"

namespace dsadmin::dsfile {

int runWrite(std::span<const std::string> args, Streams io) {
    (void)args;
    io.err << "dsfile: write is not available yet\n";
    return kUsage;
}

}  // namespace dsadmin::dsfile
