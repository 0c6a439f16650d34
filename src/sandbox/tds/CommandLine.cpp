#include "sandbox/tds/CommandLine.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace sandbox::tds {
namespace {

long parseNumber(const std::string& text, long min, long max, const std::string& option) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        throw std::invalid_argument(option + " needs a number from " + std::to_string(min) +
                                    " to " + std::to_string(max) + ", not '" + text + "'");
    return value;
}

// The server names its folders in statements' file paths and in messages as SQL Server names
// its default locations: absolute, whatever the folder the server was started in.
std::string absoluteFolder(const std::string& folder) {
    std::filesystem::path p = std::filesystem::absolute(folder).lexically_normal();
    if (!p.has_filename() && p != p.root_path()) p = p.parent_path();
    return p.string();
}

}  // namespace

const char* const kUsage =
    "usage: dsadmin-sandbox [--listen HOST:PORT] [--data DIR] [--log-dir DIR]\n"
    "                       [--sa-password PW | --sa-password-file FILE]\n"
    "                       [--read-timeout SECONDS] [--max-connections N]\n"
    "                       [--max-memory MIB] [--allow-empty-password]\n"
    "                       [--encryption off|login|force] [--tls-cert FILE --tls-key FILE]\n"
    "                       [--tls-max-version 1.0|1.1|1.2|1.3]\n"
    "       dsadmin-sandbox --help | --version\n"
    "A local stand-in for SQL Server, for trials and tests. Defaults: --listen 127.0.0.1:1433,\n"
    "--data $XDG_STATE_HOME/dsadmin-sandbox (or ~/.local/state/dsadmin-sandbox), --log-dir\n"
    "<data>/log (where log files go when CREATE DATABASE names none), login sa with\n"
    "the password in $DSADMIN_SANDBOX_SA_PASSWORD. --sa-password-file reads it from the\n"
    "file's first line (unlike --sa-password, it shows in no process listing).\n"
    "Without a password the server does not start unless --allow-empty-password is given:\n"
    "whoever logs in as sa may have files created wherever this server's user can write\n"
    "(CREATE DATABASE ... FILENAME), as with SQL Server's service account.\n"
    "Port 0 picks a free port. Prints 'listening on HOST:PORT' when ready, followed by the TLS\n"
    "certificate's SHA-256 fingerprint. --encryption login (the default) encrypts every login\n"
    "of a client that can encrypt and the whole session of one that asks, as SQL Server does;\n"
    "force refuses clients that cannot encrypt; off never encrypts. Without --tls-cert and\n"
    "--tls-key (PEM) the server makes a self-signed certificate in the data folder on its\n"
    "first start and keeps it (sandbox-cert.pem, sandbox-key.pem).\n";

std::string defaultDataDir() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/dsadmin-sandbox";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/dsadmin-sandbox";
}

void parseListenAddress(const std::string& text, std::string& host, std::uint16_t& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw std::invalid_argument("--listen needs HOST:PORT, not '" + text + "'");
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    port = static_cast<std::uint16_t>(parseNumber(text.substr(colon + 1), 0, 65535, "--listen"));
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            cl.help = true;
            continue;
        }
        if (arg == "-v" || arg == "--version") {
            cl.version = true;
            continue;
        }
        if (arg == "--allow-empty-password") {
            cl.allowEmptyPassword = true;
            continue;
        }
        std::string name = arg, value;
        bool inlineValue = false;
        if (std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        if (name != "--listen" && name != "--data" && name != "--log-dir" &&
            name != "--sa-password" && name != "--sa-password-file" && name != "--read-timeout" &&
            name != "--max-connections" && name != "--max-memory" && name != "--encryption" &&
            name != "--tls-cert" && name != "--tls-key" && name != "--tls-max-version")
            throw std::invalid_argument("unknown option '" + name + "'");
        if (!inlineValue) {
            if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
            value = args[++i];
        }
        if (name == "--listen")
            parseListenAddress(value, cl.host, cl.port);
        else if (name == "--data")
            cl.dataDir = value;
        else if (name == "--log-dir")
            cl.logDir = value;
        else if (name == "--sa-password")
            cl.saPassword = value;
        else if (name == "--sa-password-file")
            cl.saPasswordFile = value;
        else if (name == "--encryption") {
            if (value != "off" && value != "login" && value != "force")
                throw std::invalid_argument("--encryption needs off, login or force, not '" +
                                            value + "'");
            cl.encryption = value;
        } else if (name == "--tls-cert")
            cl.tlsCert = value;
        else if (name == "--tls-key")
            cl.tlsKey = value;
        else if (name == "--tls-max-version") {
            if (value != "1.0" && value != "1.1" && value != "1.2" && value != "1.3")
                throw std::invalid_argument("--tls-max-version needs 1.0, 1.1, 1.2 or 1.3, not '" +
                                            value + "'");
            cl.tlsMaxVersion = value;
        } else if (name == "--read-timeout")
            cl.readTimeoutSeconds = static_cast<int>(parseNumber(value, 1, 86400, name));
        else if (name == "--max-memory")
            cl.maxMemoryMiB = static_cast<std::size_t>(parseNumber(value, 16, 1 << 20, name));
        else
            cl.maxConnections = static_cast<std::size_t>(parseNumber(value, 1, 10000, name));
    }
    if (cl.dataDir.empty()) cl.dataDir = defaultDataDir();
    cl.dataDir = absoluteFolder(cl.dataDir);
    cl.logDir = cl.logDir.empty() ? cl.dataDir + "/log" : absoluteFolder(cl.logDir);
    if (cl.tlsCert.empty() != cl.tlsKey.empty())
        throw std::invalid_argument("--tls-cert and --tls-key go together");
    if (cl.encryption == "off" && !cl.tlsCert.empty())
        throw std::invalid_argument("--tls-cert and --tls-key need --encryption login or force");
    if (!cl.saPassword.empty() && !cl.saPasswordFile.empty())
        throw std::invalid_argument("--sa-password and --sa-password-file exclude each other");
    return cl;
}

std::string saPassword(const CommandLine& cl) {
    if (!cl.saPassword.empty()) return cl.saPassword;
    if (cl.saPasswordFile.empty()) {
        const char* fromEnvironment = std::getenv(kSaPasswordVariable);
        return fromEnvironment ? fromEnvironment : "";
    }
    std::error_code ec;
    if (std::filesystem::is_directory(cl.saPasswordFile, ec))
        throw std::runtime_error("the password file " + cl.saPasswordFile + " is a folder");
    std::ifstream in(cl.saPasswordFile, std::ios::binary);
    std::string text;
    if (in) std::getline(in, text);
    if (!in && !in.eof())
        throw std::runtime_error("cannot read the password file " + cl.saPasswordFile + ": " +
                                 std::strerror(errno));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

std::string passwordRefusal(const CommandLine& cl, const std::string& password) {
    if (!password.empty() || cl.allowEmptyPassword) return "";
    return "no password for sa (give --sa-password-file, --sa-password or " +
           std::string(kSaPasswordVariable) +
           "; --allow-empty-password starts the server without one, letting any local user who "
           "can reach the port create files wherever this server may write)";
}

}  // namespace sandbox::tds
