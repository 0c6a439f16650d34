// The SQLOLEDB provider's time-outs against servers that stop answering: a listener that takes
// the connection and never answers, and dsadmin-sandbox frozen (SIGSTOP) after the login.
// Limits are loose: the point is that the wait ends, with the message, not how fast.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>

#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "support/SandboxProcess.h"
#include "support/SilentListener.h"

using namespace dsadmin;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void prepare(Connection& cn, int port, const std::string& password = {}) {
    cn.Provider(kServerProvider);
    cn.ConnectionString(
        ServerConnectionString("sa", password, "127.0.0.1," + std::to_string(port)));
}

// Stops process pid and waits until it has stopped: kill() returns before a process busy on
// another processor stops, and it could still answer one more request meanwhile.
bool freeze(pid_t pid) {
    if (::kill(pid, SIGSTOP) != 0) return false;
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const auto end = text.rfind(')');
        if (end != std::string::npos && text.compare(end, 3, ") T") == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The failure of a command with a 1 s time-out that the server on port never answered.
std::regex oneSecondTimeOut(int port) {
    return std::regex("数据库服务器 127.0.0.1:" + std::to_string(port) +
                      " 在 1 秒内没有应答（命令超时），共等待 [0-9]+ 秒。");
}

// The threads of this process now.
int threadCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

// Runs call, which must throw DbError; returns it with the seconds it took.
template <class Call>
std::pair<DbError, double> failureOf(Call call) {
    const auto start = Clock::now();
    try {
        call();
    } catch (const DbError& e) {
        return {e, secondsSince(start)};
    }
    ADD_FAILURE() << "no DbError";
    return {DbError(""), secondsSince(start)};
}

TEST(ServerTimeout, DefaultsAreThoseOfAdo) {
    Connection cn;
    EXPECT_EQ(cn.ConnectionTimeout(), 15);
    EXPECT_EQ(cn.CommandTimeout(), 30);
    try {
        cn.CommandTimeout(-1);
        ADD_FAILURE() << "a negative time-out was taken";
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "超时秒数不能为负数。");
    }
}

TEST(ServerTimeout, ListenerThatNeverAnswersEndsTheOpenWithTheAddressAndSeconds) {
    testsupport::SilentListener silent;
    Connection cn;
    prepare(cn, silent.port());
    cn.ConnectionTimeout(2);
    // The window's way to keep painting meanwhile: called on this thread while Open waits.
    int calls = 0;
    bool sameThread = true;
    const auto self = std::this_thread::get_id();
    cn.WhileWaiting([&] {
        ++calls;
        sameThread = sameThread && std::this_thread::get_id() == self;
    });
    auto [e, seconds] = failureOf([&] { cn.Open(); });
    EXPECT_GE(calls, 3);
    EXPECT_TRUE(sameThread);
    EXPECT_EQ(std::string(e.what()), "无法连接到 127.0.0.1:" + std::to_string(silent.port()) +
                                         " 上的数据库服务器：等待 2 秒仍没有应答（连接超时）。");
    EXPECT_EQ(e.sqlState(), "HYT00");
    EXPECT_GE(seconds, 1.5);
    EXPECT_LT(seconds, 60) << "the time-out was not applied";
    EXPECT_EQ(cn.State(), kStateClosed);
}

// A server that logged the client in and then froze: each command, the switch of database
// included (which FreeTDS would wait on for ever), ends after the time-out, doubled at most
// by FreeTDS's wait for the cancel's acknowledgement.
TEST(ServerTimeout, FrozenServerEndsEachCommandWithTheAddressAndSeconds) {
    testsupport::SandboxProcess sandbox;
    const std::regex expected = oneSecondTimeOut(sandbox.port());
    for (const char* step : {"execute", "switch"}) {
        SCOPED_TRACE(step);
        Connection cn;
        prepare(cn, sandbox.port());
        cn.Open();
        cn.CommandTimeout(1);
        ASSERT_TRUE(freeze(sandbox.pid()));
        auto [e, seconds] = failureOf([&] {
            if (std::string(step) == "execute")
                cn.Execute("select 1");
            else
                cn.DefaultDatabase("master");
        });
        ::kill(sandbox.pid(), SIGCONT);
        EXPECT_TRUE(std::regex_match(std::string(e.what()), expected)) << e.what();
        EXPECT_EQ(e.sqlState(), "HYT00");
        EXPECT_GE(seconds, 0.8);
        EXPECT_LT(seconds, 60) << "the time-out was not applied";
    }
    // The server itself is fine once it runs again.
    Connection cn;
    prepare(cn, sandbox.port());
    cn.Open();
    cn.Execute("select 1");
}

// With the window's hook every call runs on a thread of the connection's own: a command the
// frozen server never answers ends as it does without the hook, the hook is called on this
// thread meanwhile, and the thread ends with the connection (a window run after run would
// otherwise gather them, or hang at exit).
TEST(ServerTimeout, HookedCommandOnAFrozenServerEndsAsWithoutTheHookAndItsThreadWithIt) {
    testsupport::SandboxProcess sandbox;
    const int before = threadCount();
    {
        Connection cn;
        prepare(cn, sandbox.port());
        int calls = 0;
        const auto self = std::this_thread::get_id();
        cn.WhileWaiting([&] { calls += std::this_thread::get_id() == self ? 1 : 1000; });
        cn.Open();
        EXPECT_EQ(threadCount(), before + 1);
        cn.CommandTimeout(1);
        ASSERT_TRUE(freeze(sandbox.pid()));
        auto [e, seconds] = failureOf([&] { cn.Execute("select 1"); });
        ::kill(sandbox.pid(), SIGCONT);
        EXPECT_TRUE(std::regex_match(std::string(e.what()), oneSecondTimeOut(sandbox.port())))
            << e.what();
        EXPECT_EQ(e.sqlState(), "HYT00");
        EXPECT_GE(calls, 5);
        EXPECT_LT(calls, 1000) << "the hook was called on another thread";
        EXPECT_EQ(threadCount(), before + 1) << "one thread per connection, not per call";
    }
    EXPECT_EQ(threadCount(), before);
}

// What the hook throws comes once the call has ended (its handles are free again), and the hook
// is not called again for that call.
TEST(ServerTimeout, HookFailureComesAfterTheCallHasEnded) {
    testsupport::SandboxProcess sandbox;
    Connection cn;
    prepare(cn, sandbox.port());
    int calls = 0;
    bool armed = false;  // not during the login, which may take 50 ms on a busy machine
    cn.WhileWaiting([&] {
        if (!armed || ++calls > 1) return;
        ::kill(sandbox.pid(), SIGCONT);  // the call can end now
        throw std::runtime_error("hook");
    });
    cn.Open();
    ASSERT_TRUE(freeze(sandbox.pid()));
    armed = true;
    try {
        cn.Execute("select 1");
        ADD_FAILURE() << "the hook's failure was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "hook");
    }
    EXPECT_EQ(calls, 1);
    cn.Execute("select 1");
}

}  // namespace
