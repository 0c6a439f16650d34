// What TLS costs a connection: logins per second to dsadmin-sandbox through the SQLOLEDB
// provider (unixODBC + FreeTDS, as the runs open them), each opened and closed, against a
// sandbox that never encrypts, one that encrypts the login (FreeTDS's default against SQL
// Server's), and with the whole session encrypted (dsadmin-cli --encrypt mandatory). And what
// the window's wait hook costs a statement: each call then goes to the connection's own thread
// and back while the window's thread could paint (Connection::WhileWaiting).
#include <algorithm>
#include <cstdio>

#include "Samples.h"
#include "SandboxServer.h"
#include "Sections.h"
#include "StructureFile.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/odbc/OdbcSession.h"

namespace dsadmin::bench {
namespace {

double connectionsPerSecond(const SandboxServer& server, int count) {
    const double seconds = secondsOf([&] {
        for (int i = 0; i < count; ++i) {
            Connection cn;
            cn.Provider(kServerProvider);
            cn.ConnectionString(ServerConnectionString("sa", "", server.dataSource()));
            cn.Open();
            cn.Close();
        }
    });
    return count / seconds;
}

// Seconds for `count` statements on one open connection, with or without the wait hook.
double statementSeconds(const SandboxServer& server, int count, bool hooked) {
    Connection cn;
    cn.Provider(kServerProvider);
    cn.ConnectionString(ServerConnectionString("sa", "", server.dataSource()));
    if (hooked) cn.WhileWaiting([] {});
    cn.Open();
    const double seconds = secondsOf([&] {
        for (int i = 0; i < count; ++i) cn.Execute("select 1");
    });
    cn.Close();
    return seconds;
}

std::string rates(std::vector<double> r) {
    std::sort(r.begin(), r.end());
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.0f / %.0f connections/s (max / median)", r.back(),
                  r[r.size() / 2]);
    return buf;
}

}  // namespace

void ConnectionFigures(const BenchContext& c, FigureTable& table) {
    SandboxServer plain(SandboxExe(), c.work + "/sandbox-plain", {"--encryption", "off"});
    SandboxServer tls(SandboxExe(), c.work + "/sandbox-tls");
    const int count = c.quick ? 20 : 200;
    const OdbcClientOptions before = OdbcSession::ClientOptions();
    OdbcClientOptions whole = before;
    whole.encryption = OdbcEncryption::Mandatory;
    whole.trustServerCertificate = true;
    std::vector<double> none, login, session;
    for (int r = 0; r < c.repeats; ++r) {
        none.push_back(connectionsPerSecond(plain, count));
        login.push_back(connectionsPerSecond(tls, count));
        OdbcSession::SetClientOptions(whole);
        session.push_back(connectionsPerSecond(tls, count));
        OdbcSession::SetClientOptions(before);
    }
    // Cheap and noisy: three times the repeats, each pair side by side.
    Samples direct, hooked;
    for (int r = 0; r < 3 * c.repeats; ++r) {
        direct.seconds.push_back(statementSeconds(plain, count * 10, false));
        hooked.seconds.push_back(statementSeconds(plain, count * 10, true));
    }
    table.note("sandbox logins, no TLS", rates(none));
    table.note("sandbox logins, login encrypted (TLS 1.2)", rates(login));
    table.note("sandbox logins, whole session encrypted", rates(session));
    table.compare(std::to_string(count * 10) + " x select 1 with the window's wait hook", hooked,
                  "on the run's thread", direct);
}

}  // namespace dsadmin::bench
