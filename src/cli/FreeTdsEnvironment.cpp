#include "cli/FreeTdsEnvironment.h"

#include <cstdlib>

namespace dsadmin::cli {

const std::vector<std::string>& FreeTdsEnvironment::Names() {
    static const std::vector<std::string> names = {"TDSHOST", "TDSPORT",     "TDSQUERY",
                                                   "DSQUERY", "FREETDSCONF", "FREETDS"};
    return names;
}

std::vector<std::string> FreeTdsEnvironment::Clear() {
    std::vector<std::string> cleared;
    for (const std::string& name : Names()) {
        if (!std::getenv(name.c_str())) continue;
        ::unsetenv(name.c_str());
        cleared.push_back(name);
    }
    return cleared;
}

}  // namespace dsadmin::cli
