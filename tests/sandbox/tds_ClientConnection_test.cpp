// The protocol front end in-process, over loopback, with a stand-in engine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "sandbox/tds/Packet.h"
#include "sandbox/tds/Server.h"
#include "sandbox/tds/TextCodec.h"
#include "sandbox/tds/TokenWriter.h"
#include "tds_BrokenPackets.h"
#include "tds_RawClient.h"
#include "tds_StubEngine.h"

using namespace sandbox::tds;
using tdstest::RawClient;
using tdstest::tokenNames;

namespace {

class InProcessServer {
  public:
    explicit InProcessServer(int readTimeoutMs = 2000, std::size_t maxConnections = 64)
        : engine_("pw"), log_(logFile()) {
        ServerSettings s;
        s.host = "127.0.0.1";
        s.port = 0;
        s.maxConnections = maxConnections;
        s.connection.readTimeoutMs = readTimeoutMs;
        server_ = std::make_unique<Server>(engine_, log_, s);
        thread_ = std::thread([this] { server_->run(); });
    }
    ~InProcessServer() {
        server_->stop();
        thread_.join();
        std::fclose(file_);
    }
    std::uint16_t port() const { return server_->port(); }
    Server& server() { return *server_; }

  private:
    std::FILE* logFile() { return file_ = std::tmpfile(); }
    std::FILE* file_ = nullptr;
    tdstest::StubEngine engine_;
    ServerLog log_;
    std::unique_ptr<Server> server_;
    std::thread thread_;
};

void expectServing(std::uint16_t port) {
    RawClient c("127.0.0.1", port);
    auto login = c.login("pw");
    ASSERT_EQ(tokenNames(login).substr(tokenNames(login).size() - 4), "DONE");
    auto tokens = c.batch("select ok");
    ASSERT_EQ(tokenNames(tokens), "COLMETADATA ROW DONE");
    EXPECT_EQ(tokens[1].cells[0], "ok");
}

}  // namespace

TEST(TdsConnection, LoginAnnouncesDatabaseCollationLanguageAndPacketSize) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    auto tokens = c.login("pw", "sales", 8192);
    ASSERT_EQ(tokenNames(tokens),
              "ENVCHANGE INFO ENVCHANGE ENVCHANGE INFO LOGINACK ENVCHANGE DONE");
    EXPECT_EQ(tokens[0].text, "sales");
    EXPECT_EQ(tokens[0].oldValue, "master");
    EXPECT_EQ(tokens[1].text, "Changed database context to 'sales'.");
    EXPECT_EQ(tokens[2].envType, kEnvCollation);
    EXPECT_EQ(tokens[3].text, "us_english");
    EXPECT_EQ(tokens[4].number, 5703);
    EXPECT_EQ(tokens[5].tdsVersion, 0x74000004u);
    EXPECT_EQ(tokens[5].text, "Microsoft SQL Server");
    EXPECT_EQ(tokens[6].text, "8192");
    EXPECT_EQ(tokens[7].status, kDoneFinal);
}

struct RefusedLogin {
    const char* user;
    const char* password;
    const char* database;
    const char* tokens;
    int firstNumber;
};
class TdsRefusedLogin : public testing::TestWithParam<RefusedLogin> {};
TEST_P(TdsRefusedLogin, ErrorThenDoneThenClose) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    const auto& p = GetParam();
    auto tokens = c.login(p.password, p.database, 4096, p.user);
    ASSERT_EQ(tokenNames(tokens), p.tokens);
    EXPECT_EQ(tokens[0].number, p.firstNumber);
    const auto& last = tokens[tokens.size() - 2];
    EXPECT_EQ(last.number, 18456);
    EXPECT_EQ(last.severity, 14);
    EXPECT_EQ(last.state, 1);
    EXPECT_EQ(last.text, std::string("Login failed for user '") + p.user + "'.");
    EXPECT_EQ(tokens.back().status, kDoneError);
    EXPECT_TRUE(c.closedByServer());
}
INSTANTIATE_TEST_SUITE_P(Logins, TdsRefusedLogin,
                         testing::Values(RefusedLogin{"sa", "wrong", "", "ERROR DONE", 18456},
                                         RefusedLogin{"bob", "pw", "", "ERROR DONE", 18456},
                                         RefusedLogin{"DOMAIN\\bob", "pw", "", "ERROR DONE", 18456},
                                         RefusedLogin{"sa", "pw", "nodb", "ERROR ERROR DONE",
                                                      4060}));

TEST(TdsConnection, BatchOverSmallPacketsIsReassembledAndAnsweredInSmallPackets) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    c.login("pw", "", 512);
    std::string text(1500, 'x');
    auto tokens = c.batch("select " + text, 512);
    ASSERT_EQ(tokenNames(tokens), "COLMETADATA ROW DONE");
    EXPECT_EQ(tokens[1].cells[0], text);
    EXPECT_GE(c.packetsInLastMessage(), 6);
    EXPECT_LE(c.maxPacketLengthInLastMessage(), 512);
}

TEST(TdsConnection, AttentionIsAcknowledgedInAMessageOfItsOwn) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    c.login("pw");
    c.send(kSqlBatch, sandbox::tds::encodeSqlBatch("wait"));
    c.send(kAttention, "");
    EXPECT_EQ(tokenNames(c.receiveTokens()), "DONE");
    auto ack = c.receiveTokens();
    ASSERT_EQ(tokenNames(ack), "DONE");
    EXPECT_EQ(ack[0].status, kDoneAttention);
    EXPECT_EQ(tokenNames(c.batch("select after")), "COLMETADATA ROW DONE");
}

TEST(TdsConnection, IgnoredMessageGetsOneDoneAndRunsNothing) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    c.login("pw");
    c.send(kSqlBatch, sandbox::tds::encodeSqlBatch("use other"), 4096, kIgnore);
    EXPECT_EQ(tokenNames(c.receiveTokens()), "DONE");
    auto tokens = c.batch("use again");
    EXPECT_EQ(tokens[0].oldValue, "master");
}

TEST(TdsConnection, UnknownProcedureGets2812AndTheConnectionStays) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    c.login("pw");
    std::string rpc = encodeAllHeaders() + std::string("\x07\x00", 2) +
                      sandbox::tds::utf8ToUcs2("sp_who2") + std::string("\x00\x00", 2);
    c.send(kRpc, rpc);
    auto tokens = c.receiveTokens();
    ASSERT_EQ(tokenNames(tokens), "ERROR DONE");
    EXPECT_EQ(tokens[0].number, 2812);
    EXPECT_EQ(tokens[0].text, "Could not find stored procedure 'sp_who2'.");
    EXPECT_EQ(tokenNames(c.batch("select still")), "COLMETADATA ROW DONE");
}

TEST(TdsConnection, ResetConnectionReturnsToTheLoginDatabase) {
    InProcessServer server;
    RawClient c("127.0.0.1", server.port());
    c.login("pw", "home");
    c.batch("use elsewhere");
    c.send(kSqlBatch, encodeSqlBatch("select x"), 4096, kResetConnection);
    auto tokens = c.receiveTokens();
    ASSERT_EQ(tokenNames(tokens), "ENVCHANGE ENVCHANGE COLMETADATA ROW DONE");
    EXPECT_EQ(tokens[0].text, "home");
    EXPECT_EQ(tokens[1].envType, kEnvResetAck);
}

TEST(TdsConnection, HalfOpenClientIsDroppedAfterTheReadTimeout) {
    InProcessServer server(300);
    RawClient c("127.0.0.1", server.port());
    c.sendRaw(std::string("\x12\x01\x00", 3));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(c.closedByServer());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(TdsConnection, StopEndsIdleConnectionsPromptly) {
    auto server = std::make_unique<InProcessServer>();
    RawClient idle("127.0.0.1", server->port());
    idle.login("pw");
    auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(idle.closedByServer());
}

TEST(TdsConnection, ManyClientsAtOnce) {
    InProcessServer server;
    std::vector<std::thread> clients;
    std::atomic<int> served{0};
    for (int i = 0; i < 40; ++i)
        clients.emplace_back([&, i] {
            RawClient c("127.0.0.1", server.port());
            c.login("pw");
            for (int k = 0; k < 5; ++k) {
                auto tokens = c.batch("select c" + std::to_string(i) + ";wait");
                if (tokens.size() == 4 && tokens[1].cells[0] == "c" + std::to_string(i)) ++served;
            }
        });
    for (auto& t : clients) t.join();
    EXPECT_EQ(served.load(), 200);
}

TEST(TdsConnection, LoginsBeyondTheCapAreRefusedWith17809AndASlotFreesWhenASessionEnds) {
    InProcessServer server(2000, 2);
    RawClient a("127.0.0.1", server.port());
    auto b = std::make_unique<RawClient>("127.0.0.1", server.port());
    a.login("pw");
    b->login("pw");
    {
        RawClient c("127.0.0.1", server.port());
        auto refused = c.login("pw");
        EXPECT_EQ(tokenNames(refused), "ERROR DONE");
        EXPECT_EQ(refused[0].number, 17809);
        EXPECT_NE(refused[0].text.find("the maximum number of '2' user connections"),
                  std::string::npos);
        EXPECT_TRUE(c.closedByServer());
    }
    EXPECT_EQ(tokenNames(a.batch("select still")), "COLMETADATA ROW DONE");
    b.reset();
    for (int attempt = 0;; ++attempt) {  // the slot frees when b's thread has read the close
        RawClient d("127.0.0.1", server.port());
        auto tokens = d.login("pw");
        if (tokens[0].number != 17809) break;
        ASSERT_LT(attempt, 100) << "the slot of a closed session never came free";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

class TdsBrokenInput : public testing::TestWithParam<tdstest::BrokenCase> {};
TEST_P(TdsBrokenInput, ClosesOnlyItsOwnConnection) {
    InProcessServer server(1000);
    RawClient bad("127.0.0.1", server.port());
    if (GetParam().afterLogin) bad.login("pw");
    try {
        bad.sendRaw(GetParam().bytes);
    } catch (const std::exception&) {
        // the server may close before it has read everything
    }
    expectServing(server.port());
    EXPECT_TRUE(bad.closedByServer());
    expectServing(server.port());
}
INSTANTIATE_TEST_SUITE_P(Cases, TdsBrokenInput, testing::ValuesIn(tdstest::brokenCases()),
                         [](const auto& info) { return info.param.name; });
