#pragma once
// The environment variables through which FreeTDS would connect somewhere other than the
// server a connection string names: TDSHOST and TDSPORT replace the host and port, TDSQUERY
// and DSQUERY name a default server, FREETDSCONF and FREETDS point at another freetds.conf
// whose sections may map the name to another address. dsadmin-cli always names its server,
// so it removes them from its own environment before the first connection.

#include <string>
#include <vector>

namespace dsadmin::cli {

class FreeTdsEnvironment {
  public:
    // The variables removed (in the order above), for --verbose and the JSON report.
    static std::vector<std::string> Clear();
    static const std::vector<std::string>& Names();
};

}  // namespace dsadmin::cli
