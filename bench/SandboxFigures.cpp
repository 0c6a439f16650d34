// How many CREATE TABLE statements per second dsadmin-sandbox takes, over one connection and
// over eight at once (each in its own database), sent through the SQLOLEDB provider as the
// runs send them. Each connection is opened and its database made before the clock starts.
#include <barrier>
#include <cstdio>
#include <thread>

#include "SandboxServer.h"
#include "Sections.h"
#include "StructureFile.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"

namespace dsadmin::bench {
namespace {

Connection openIn(const SandboxServer& server, const std::string& db) {
    Connection cn;
    cn.Provider(kServerProvider);
    cn.ConnectionString(ServerConnectionString("sa", "", server.dataSource()));
    cn.Open();
    cn.Execute("CREATE DATABASE " + db);
    cn.DefaultDatabase(db);
    return cn;
}

// Statements per second of `connections` clients sending `each` statements apiece.
double rate(const SandboxServer& server, int connections, int each, const std::string& tag) {
    std::vector<Connection> cns;
    for (int i = 0; i < connections; ++i)
        cns.push_back(openIn(server, "Rate" + tag + "c" + std::to_string(i)));
    std::barrier start(connections + 1);
    std::vector<std::thread> clients;
    for (int i = 0; i < connections; ++i)
        clients.emplace_back([&, i] {
            start.arrive_and_wait();
            for (int t = 0; t < each; ++t)
                cns[i].Execute("CREATE TABLE T" + std::to_string(t) +
                               " (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),At DateTime)");
        });
    const double seconds = secondsOf([&] {
        start.arrive_and_wait();
        for (auto& t : clients) t.join();
    });
    return connections * each / seconds;
}

std::string rates(const std::vector<double>& r) {
    std::vector<double> s = r;
    std::sort(s.begin(), s.end());
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.0f / %.0f statements/s (max / median)", s.back(),
                  s[s.size() / 2]);
    return buf;
}

}  // namespace

void SandboxFigures(const BenchContext& c, FigureTable& table) {
    SandboxServer server(SandboxExe(), c.work + "/sandbox-rate");
    const int total = c.quick ? 400 : 2000;
    std::vector<double> one, eight;
    for (int r = 0; r < c.repeats; ++r) {
        const std::string tag = std::to_string(r);
        one.push_back(rate(server, 1, total, "one" + tag));
        eight.push_back(rate(server, 8, total / 8, "eight" + tag));
    }
    table.note("sandbox CREATE TABLE, 1 connection", rates(one));
    table.note("sandbox CREATE TABLE, 8 connections", rates(eight));
}

}  // namespace dsadmin::bench
