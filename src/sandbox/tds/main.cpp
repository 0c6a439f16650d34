// dsadmin-sandbox: wires the command line, the engine and the TDS server together.

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "Version.h"
#include "sandbox/Engine.h"
#include "sandbox/MemoryBudget.h"
#include "sandbox/tds/CommandLine.h"
#include "sandbox/tds/Server.h"
#include "sandbox/tds/TlsCredentials.h"

namespace {

int gStopFd = -1;

void onSignal(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(gStopFd, &byte, 1);
}

void installSignalHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sandbox::tds;
    CommandLine cl;
    try {
        cl = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "dsadmin-sandbox: " << e.what() << " (see dsadmin-sandbox --help)\n";
        return 2;
    }
    if (cl.help) {
        std::cout << kUsage;
        return 0;
    }
    if (cl.version) {
        std::cout << "dsadmin-sandbox " << dsadmin::kVersion << "\n";
        return 0;
    }
    ServerLog log;
    try {
        const std::string password = saPassword(cl);
        if (const std::string why = passwordRefusal(cl, password); !why.empty()) {
            std::cerr << "dsadmin-sandbox: " << why << "\n";
            return 2;
        }
        if (password.empty())
            log.write(
                "warning: sa has an empty password (--allow-empty-password): any local user "
                "may log in and have files created wherever this server may write");
        std::error_code ec;
        std::filesystem::create_directories(cl.dataDir, ec);
        sandbox::EngineOptions options;
        options.dataDir = cl.dataDir;
        options.logDir = cl.logDir;
        options.saPassword = password;
        options.log = [&log](const std::string& text) { log.write(text); };
        auto engine = sandbox::openEngine(options);
        ServerSettings settings;
        settings.host = cl.host;
        settings.port = cl.port;
        settings.maxConnections = cl.maxConnections;
        settings.connection.readTimeoutMs = cl.readTimeoutSeconds * 1000;
        std::optional<TlsCredentials> tls;
        std::string listening = "";
        if (cl.encryption != "off") {
            const TlsMaxVersion max = parseTlsMaxVersion(cl.tlsMaxVersion);
            tls.emplace(cl.tlsCert.empty() ? TlsCredentials::ownCertificate(cl.dataDir, max)
                                           : TlsCredentials::fromFiles(cl.tlsCert, cl.tlsKey, max));
            settings.connection.tls = &*tls;
            settings.connection.encryption =
                cl.encryption == "force" ? EncryptionMode::Force : EncryptionMode::Login;
            listening = " (TLS certificate SHA-256 " + tls->fingerprint() + ")";
        }
        sandbox::MemoryBudget memory(cl.maxMemoryMiB << 20);
        settings.connection.memory = &memory;
        {
            Server server(*engine, log, settings);
            gStopFd = server.stopWriteFd();
            installSignalHandlers();
            // The log first: whoever waits for the announcement finds the log line written.
            log.write("listening on " + server.address() + ", data in " + cl.dataDir +
                      ", transaction logs in " + cl.logDir + ", encryption " + cl.encryption +
                      (tls ? ", certificate " + tls->certFile() + " SHA-256 " + tls->fingerprint()
                           : std::string()));
            std::cout << "listening on " << server.address() << listening << std::endl;
            server.run();
        }
        engine.reset();
        log.write("stopped");
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "dsadmin-sandbox: " << e.what() << "\n";
        return 1;
    }
}
