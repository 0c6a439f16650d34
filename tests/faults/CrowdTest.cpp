// 100 clients at once against dsadmin-sandbox, a fifth of them hostile: garbage, headers that
// lie about their length, LOGIN7 records whose offsets point outside, half-sent packets that
// hang, and connections dropped mid-message. Every well-behaved client must get all its work
// done, and afterwards the server still answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "support/SandboxProcess.h"

namespace faults {
namespace {

using namespace dsadmin;
using testsupport::SandboxProcess;

constexpr int kClients = 100;
constexpr int kStatementsEach = 3;

std::string header(std::uint8_t type, std::uint8_t status, std::uint16_t length) {
    return {static_cast<char>(type),
            static_cast<char>(status),
            static_cast<char>(length >> 8),
            static_cast<char>(length & 0xFF),
            0,
            0,
            1,
            0};
}

// The hostile byte streams, by number.
std::string brokenBytes(int which, std::mt19937& random) {
    std::string noise(2000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    std::string login7(120, '\0');  // fixed part claiming strings far beyond its end
    login7[0] = 120;
    for (std::size_t at = 36; at + 3 < 94; at += 4) {
        login7[at] = static_cast<char>(0xF0);
        login7[at + 2] = static_cast<char>(0x7F);
    }
    switch (which % 6) {
        case 0:
            return noise;
        case 1:
            return header(0x12, 1, 0xFFFF) + noise.substr(0, 100);  // longer than sent
        case 2:
            return header(0x10, 1, 8 + login7.size()) + login7;
        case 3:
            return header(0x12, 1, 4);  // shorter than a header
        case 4:
            return header(0x01, 0, 4096) + noise.substr(0, 500);  // batch before login
        default:
            return header(0x12, 0, 200) + noise.substr(0, 200) + header(0x10, 1, 300);
    }
}

void hostileClient(std::uint16_t port, int which) {
    std::mt19937 random(which);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string bytes = brokenBytes(which, random);
        (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        // Some hang on for a while with their message unfinished, some leave at once.
        if (which % 2) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        char buf[4096];
        timeval tv{0, 100000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        (void)!recv(fd, buf, sizeof buf, 0);
    }
    close(fd);
}

Connection open(const SandboxProcess& sandbox, const std::string& db) {
    Connection c;
    c.Provider(kServerProvider);
    c.ConnectionString(
        ServerConnectionString("sa", "", "127.0.0.1," + std::to_string(sandbox.port())));
    c.Open();
    if (db != "master") c.DefaultDatabase(db);
    return c;
}

TEST(Crowd, HundredClientsWithBrokenPacketsMixedInAllGetServed) {
    SandboxProcess::Options options;
    options.extraArgs = {"--max-connections", "200"};
    SandboxProcess sandbox(options);
    open(sandbox, "master").Execute("CREATE DATABASE Crowd");

    std::atomic<int> done{0};
    std::vector<std::string> failures(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            if (i % 5 == 0) return hostileClient(sandbox.port(), i);
            try {
                Connection c = open(sandbox, "Crowd");
                for (int s = 0; s < kStatementsEach; ++s)
                    c.Execute("CREATE TABLE C" + std::to_string(i) + "_" + std::to_string(s) +
                              " (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20))");
                Recordset rs;
                rs.Open("select name from sys.tables where name = 'C" + std::to_string(i) + "_0'",
                        c, kOpenKeyset, kLockReadOnly, kUnspecified);
                if (rs.Eof()) throw DbError("own table not found");
                ++done;
            } catch (const DbError& e) {
                failures[i] = e.what();
            }
        });
    }
    for (auto& t : clients) t.join();
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(failures[i], "") << "client " << i;
    EXPECT_EQ(done, kClients - kClients / 5);

    Connection after = open(sandbox, "Crowd");
    Recordset rs;
    rs.Open("select name from sys.tables", after, kOpenKeyset, kLockReadOnly, kUnspecified);
    int tables = 0;
    for (; !rs.Eof(); rs.MoveNext()) ++tables;
    EXPECT_EQ(tables, (kClients - kClients / 5) * kStatementsEach);
    EXPECT_TRUE(sandbox.running());
}

}  // namespace
}  // namespace faults
