#pragma once
// The dsadmin-sandbox command line:
//   dsadmin-sandbox [--listen HOST:PORT] [--data DIR] [--log-dir DIR]
//                   [--sa-password PW | --sa-password-file FILE]
//                   [--read-timeout SECONDS] [--max-connections N] [--max-memory MIB]
//                   [--allow-empty-password]
//                   [--encryption off|login|force] [--tls-cert FILE --tls-key FILE]
//                   [--tls-max-version 1.0|1.1|1.2|1.3]
//   dsadmin-sandbox --help | --version
// and the environment variable DSADMIN_SANDBOX_SA_PASSWORD.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sandbox::tds {

struct CommandLine {
    std::string host = "127.0.0.1";
    std::uint16_t port = 1433;
    std::string dataDir;         // already defaulted by parseCommandLine; absolute
    std::string logDir;          // already defaulted: <dataDir>/log; absolute
    std::string saPassword;      // --sa-password
    std::string saPasswordFile;  // --sa-password-file
    int readTimeoutSeconds = 30;
    std::size_t maxConnections = 64;
    std::string encryption = "login";   // --encryption: off, login or force
    std::string tlsCert;                // --tls-cert; empty: the data folder's own
    std::string tlsKey;                 // --tls-key
    std::string tlsMaxVersion = "1.3";  // --tls-max-version
    std::size_t maxMemoryMiB = 512;     // what requests may hold at once, server-wide
    bool allowEmptyPassword = false;    // --allow-empty-password
    bool help = false;
    bool version = false;  // --version / -v
};

// Parses the arguments (without the program name). Throws std::invalid_argument with a
// message for the user on a bad option or value (--tls-cert without --tls-key or the other
// way round, TLS options with --encryption off). An absent --data defaults to
// $XDG_STATE_HOME/dsadmin-sandbox, else $HOME/.local/state/dsadmin-sandbox; an absent
// --log-dir (the default log-file location) to <dataDir>/log.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Splits "HOST:PORT" or "[IPV6]:PORT". Throws std::invalid_argument.
void parseListenAddress(const std::string& text, std::string& host, std::uint16_t& port);

std::string defaultDataDir();

// The name of the environment variable that gives the sa password when neither option does.
inline constexpr const char* kSaPasswordVariable = "DSADMIN_SANDBOX_SA_PASSWORD";

// The sa login's password: --sa-password, else the first line of --sa-password-file (without
// its LF or CR LF), else $DSADMIN_SANDBOX_SA_PASSWORD, else empty. Throws std::runtime_error
// naming the file when it cannot be read (missing, no permission, a folder).
std::string saPassword(const CommandLine& cl);

// Why the server must not start with `password`, or empty: an empty password needs
// --allow-empty-password.
std::string passwordRefusal(const CommandLine& cl, const std::string& password);

extern const char* const kUsage;

}  // namespace sandbox::tds
