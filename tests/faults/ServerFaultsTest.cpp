// dsadmin-sandbox under faults and abuse, through its real executable: killed (SIGKILL) while
// it creates or drops a database, its data folder on a full disk (a 4 MiB tmpfs), floods of
// connections that never log in or trickle their login, too few file descriptors, select
// lists and error texts that do not fit the protocol, batches that would take far more memory
// than the server may give them, secrets in statements, and starts without a password.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sandbox/tds/Packet.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/SqlBatch.h"
#include "support/SandboxProcess.h"
#include "tds_RawClient.h"

namespace faults {
namespace {

namespace fs = std::filesystem;
using tdstest::RawClient;
using tdstest::Token;
using testsupport::SandboxProcess;

const std::string kPassword = "Faults-Pw1";

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "sandbox-faults-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

SandboxProcess::Options options(const std::string& dataDir = "",
                                std::vector<std::string> extra = {}) {
    SandboxProcess::Options o;
    o.saPassword = kPassword;
    o.dataDir = dataDir;
    o.extraArgs = std::move(extra);
    return o;
}

std::unique_ptr<RawClient> loggedIn(const SandboxProcess& sandbox, int timeoutMs = 20000) {
    auto client = std::make_unique<RawClient>(sandbox.host(), sandbox.port(), timeoutMs);
    const auto tokens = client->login(kPassword);
    for (const Token& t : tokens)
        if (t.type == 0xAA) throw std::runtime_error("login refused: " + t.text);
    return client;
}

// The numbers of the ERROR tokens of an answer, in order.
std::vector<int> errors(const std::vector<Token>& tokens) {
    std::vector<int> numbers;
    for (const Token& t : tokens)
        if (t.type == 0xAA) numbers.push_back(t.number);
    return numbers;
}

std::string texts(const std::vector<Token>& tokens) {
    std::string all;
    for (const Token& t : tokens)
        if (t.type == 0xAA || t.type == 0xAB) all += std::to_string(t.number) + " " + t.text + "\n";
    return all;
}

// Files in `dir` (not below) whose names start with `prefix`.
std::vector<std::string> filesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().rfind(prefix, 0) == 0) found.push_back(e.path());
    return found;
}

// A database with a data file and many log files in `folder`: its creation and removal take
// long enough for kills to land in the middle.
std::string createWithManyFiles(const std::string& name, const std::string& folder) {
    std::string sql = "CREATE DATABASE [" + name + "] ON (NAME = [" + name + "], FILENAME = '" +
                      folder + "/" + name + ".mdf') LOG ON ";
    for (int i = 0; i < 16; ++i)
        sql += std::string(i ? ", " : "") + "(NAME = [" + name + "_l" + std::to_string(i) +
               "], FILENAME = '" + folder + "/" + name + "_l" + std::to_string(i) + ".ldf')";
    return sql;
}

constexpr std::size_t kFilesPerDatabase = 17;

// Waits (polling) until the number of files in `folder` starting with `prefix` satisfies
// `done`, at most 20 s: the kill then lands in the middle of the server's work on them.
template <class Done>
void waitForFiles(const std::string& folder, const std::string& prefix, Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done(filesStartingWith(folder, prefix).size()) &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

void killAndRestart(SandboxProcess& sandbox) {
    ::kill(sandbox.pid(), SIGKILL);
    sandbox.restart();
}

// After a kill: the same CREATE DATABASE again either works or finds the database whole
// (1801), and a DROP then removes every one of its files. True when it found it whole.
bool CreateAgainAndDrop(const SandboxProcess& sandbox, const std::string& name,
                        const std::string& files, int round) {
    auto client = loggedIn(sandbox);
    const auto again = client->batch(createWithManyFiles(name, files));
    const std::vector<int> numbers = errors(again);
    EXPECT_TRUE(numbers.empty() || numbers == std::vector<int>{1801}) << "round " << round << ":\n"
                                                                      << texts(again);
    const auto dropped = client->batch("DROP DATABASE [" + name + "]");
    EXPECT_TRUE(errors(dropped).empty()) << texts(dropped);
    EXPECT_EQ(filesStartingWith(files, name).size(), 0u) << "round " << round;
    return numbers == std::vector<int>{1801};
}

// A kill at any moment of CREATE DATABASE leaves either the database with all its files or
// nothing that blocks the name: the same CREATE then works (or says the database exists) and
// a DROP removes every file.
TEST(CrashConsistency, CreateDatabaseKilledAtAnyMomentNeverBlocksItsName) {
    TempDir root;
    const std::string files = root.path() + "/files";
    fs::create_directories(files);
    SandboxProcess sandbox(options(root.path() + "/data"));
    constexpr int kRounds = 12;
    int finished = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string name = "k" + std::to_string(round) + "_";
        {
            auto client = loggedIn(sandbox);
            client->send(sandbox::tds::kSqlBatch,
                         sandbox::tds::encodeSqlBatch(createWithManyFiles(name, files)));
            // Killed once 1, 2, ... of its files exist; the last rounds wait for all of them.
            const std::size_t made = std::min<std::size_t>(round + 1, kFilesPerDatabase);
            waitForFiles(files, name, [&](std::size_t n) { return n >= made; });
            killAndRestart(sandbox);
        }
        if (CreateAgainAndDrop(sandbox, name, files, round)) ++finished;
    }
    const std::string log = sandbox.log();
    std::size_t removed = 0;
    for (std::size_t at = log.find("removed "); at != std::string::npos;
         at = log.find("removed ", at + 1))
        ++removed;
    std::cout << kRounds << " kills during CREATE DATABASE: " << finished
              << " after it had finished; " << removed << " files left by the others removed\n";
    EXPECT_GT(removed, 0u);
}

// The same for DROP DATABASE: killed half-way, the database is either still there, whole, or
// gone with all its files.
TEST(CrashConsistency, DropDatabaseKilledAtAnyMomentLeavesNoFileBehind) {
    TempDir root;
    const std::string files = root.path() + "/files";
    fs::create_directories(files);
    SandboxProcess sandbox(options(root.path() + "/data"));
    constexpr int kRounds = 12;
    for (int round = 0; round < kRounds; ++round) {
        const std::string name = "d" + std::to_string(round) + "_";
        {
            auto client = loggedIn(sandbox);
            const auto created = client->batch(createWithManyFiles(name, files));
            ASSERT_TRUE(errors(created).empty()) << texts(created);
            client->send(sandbox::tds::kSqlBatch,
                         sandbox::tds::encodeSqlBatch("DROP DATABASE [" + name + "]"));
            // Killed once 1, 2, ... of its files are gone (the first round: at once).
            const std::size_t gone = static_cast<std::size_t>(round);
            waitForFiles(files, name, [&](std::size_t n) { return n + gone <= kFilesPerDatabase; });
            killAndRestart(sandbox);
        }
        CreateAgainAndDrop(sandbox, name, files, round);
    }
}

// A 4 MiB tmpfs mounted for the test, unmounted (lazily) at the end.
class SmallDisk {
  public:
    explicit SmallDisk(const std::string& path) : path_(path) {
        fs::create_directories(path);
        mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=4m") == 0;
        if (!mounted_) why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

    // Writes a file until the disk is full.
    void fill(const std::string& file) const {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string block(4096, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && !std::fflush(f)) {
        }
        std::fclose(f);
    }

  private:
    std::string path_;
    bool mounted_ = false;
    std::string why_;
};

TEST(DiskFull, AnswersLikeSqlServerRemovesWhatItBeganAndTheNameWorksOnceSpaceReturns) {
    TempDir root;
    SmallDisk disk(root.path() + "/disk");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a 4 MiB tmpfs here (" << disk.why()
                     << "; the test needs root and a kernel that allows it)";
    const std::string data = root.path() + "/disk/data";
    SandboxProcess sandbox(options(data));
    auto client = loggedIn(sandbox);
    ASSERT_TRUE(errors(client->batch("CREATE DATABASE roomy")).empty());

    const std::string filler = root.path() + "/disk/filler";
    disk.fill(filler);
    const auto cramped = client->batch("CREATE DATABASE cramped");
    EXPECT_EQ(errors(cramped), (std::vector<int>{5149, 1802})) << texts(cramped);
    EXPECT_EQ(filesStartingWith(data, "cramped").size(), 0u);
    EXPECT_EQ(filesStartingWith(data + "/log", "cramped").size(), 0u);

    std::string wide = "CREATE TABLE wide (c0 int";
    for (int i = 1; i < 300; ++i) wide += ", c" + std::to_string(i) + " nvarchar(50)";
    wide += ")";
    ASSERT_TRUE(errors(client->batch("USE roomy")).empty());
    const auto table = client->batch(wide);
    EXPECT_EQ(errors(table), (std::vector<int>{1105})) << texts(table);

    fs::remove(filler);
    const auto later = client->batch("CREATE DATABASE cramped");
    EXPECT_TRUE(errors(later).empty()) << texts(later);
    EXPECT_TRUE(errors(client->batch(wide)).empty());
    client.reset();
    EXPECT_EQ(sandbox.stop(), 0);
}

// Opens a TCP connection to the server that sends nothing.
int silentSocket(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Sockets {
    std::vector<int> fds;
    ~Sockets() {
        for (int fd : fds)
            if (fd >= 0) ::close(fd);
    }
};

// 60 silent sockets against a cap of 8: a real client still logs in at once.
TEST(Flood, SilentSocketsNeverKeepAClientOut) {
    SandboxProcess sandbox(options("", {"--max-connections", "8", "--read-timeout", "60"}));
    Sockets flood;
    for (int i = 0; i < 60; ++i) flood.fds.push_back(silentSocket(sandbox.port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // accepted by now
    for (int i = 0; i < 3; ++i) {
        auto client = loggedIn(sandbox, 10000);
        EXPECT_TRUE(errors(client->batch("SELECT 1")).empty());
    }
}

// One byte before each read time-out: the whole login must still end within the time-out.
TEST(Flood, TricklingLoginIsClosedAtItsDeadline) {
    SandboxProcess sandbox(options("", {"--read-timeout", "2"}));
    RawClient client(sandbox.host(), sandbox.port(), 500);
    const std::string prelogin =
        sandbox::tds::encodePreloginRequest(sandbox::tds::Encryption::Off, "MSSQLServer");
    std::string packet = {0x12, 0x01, 0, 0, 0, 0, 1, 0};
    packet[2] = static_cast<char>((prelogin.size() + 8) >> 8);
    packet[3] = static_cast<char>((prelogin.size() + 8) & 0xFF);
    packet += prelogin;
    const auto start = std::chrono::steady_clock::now();
    bool closed = false;
    for (std::size_t i = 0; i < packet.size() && !closed; ++i) {
        try {
            client.sendRaw(packet.substr(i, 1));
        } catch (const std::exception&) {
            closed = true;
            break;
        }
        closed = client.closedByServer();  // waits 500 ms for the server
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) break;
    }
    EXPECT_TRUE(closed) << "the server kept a trickling login open for 20 s";
    EXPECT_NE(sandbox.log().find("login not finished within 2 s"), std::string::npos)
        << sandbox.log();
}

long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

// Out of file descriptors the accept loop waits instead of spinning, says so once, keeps
// serving the sessions it has, and accepts again once descriptors are free.
TEST(Flood, OutOfDescriptorsTheServerWaitsLogsOnceAndServesOn) {
    SandboxProcess::Options o = options("", {"--read-timeout", "60"});
    o.maxOpenFiles = 40;
    SandboxProcess sandbox(o);
    auto session = loggedIn(sandbox);
    Sockets flood;
    for (int i = 0; i < 60; ++i) flood.fds.push_back(silentSocket(sandbox.port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const long before = cpuTicks(sandbox.pid());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long used = cpuTicks(sandbox.pid()) - before;
    const long hz = ::sysconf(_SC_CLK_TCK);
    EXPECT_LT(used, hz / 2) << "the server used " << used << " ticks of CPU in 2 s";
    EXPECT_TRUE(errors(session->batch("SELECT 1")).empty());
    const std::string log = sandbox.log();
    const std::string paused = "cannot accept connections: Too many open files";
    EXPECT_NE(log.find(paused), std::string::npos) << log;
    EXPECT_EQ(log.find(paused), log.rfind(paused)) << "logged more than once";
    for (int& fd : flood.fds) ::close(std::exchange(fd, -1));
    auto later = loggedIn(sandbox);
    EXPECT_TRUE(errors(later->batch("SELECT 1")).empty());
}

std::string selectList(int items) {
    std::string sql = "SELECT 1";
    sql.reserve(static_cast<std::size_t>(items) * 2 + 8);
    for (int i = 1; i < items; ++i) sql += ",1";
    return sql;
}

// Select lists beyond 4,096 elements are refused as SQL Server refuses them (no column count
// that wraps); error texts longer than SQL Server's 2,047 characters are cut as it cuts them
// (no token length that wraps). Every answer passes the strict token reader.
TEST(ProtocolFit, LongSelectListsAndLongErrorTextsGiveWellFormedAnswers) {
    SandboxProcess sandbox(options());
    auto client = loggedIn(sandbox);
    const auto most = client->batch(selectList(4096));
    ASSERT_TRUE(errors(most).empty()) << texts(most);
    EXPECT_EQ(most[0].names.size(), 4096u);
    for (int items : {4097, 70000}) {
        const auto tooMany = client->batch(selectList(items));
        ASSERT_EQ(errors(tooMany), std::vector<int>{1056}) << items;
        EXPECT_EQ(tooMany[0].text,
                  "The number of elements in the select list exceeds the maximum allowed number "
                  "of 4096 elements.");
    }
    // An unclosed quote's message quotes the rest of the batch: 100,000 characters of it.
    const auto unclosed = client->batch("SELECT 'x" + std::string(100000, 'y'));
    ASSERT_FALSE(errors(unclosed).empty());
    EXPECT_EQ(unclosed[0].number, 105);
    EXPECT_EQ(unclosed[0].text.size(), 2047u);
    EXPECT_EQ(unclosed[0].text.substr(2044), "...");
    EXPECT_TRUE(errors(client->batch("SELECT 1")).empty());
}

long peakMemoryKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Three 4 MiB batches of one-character tokens at once, against a cap of 64 MiB: each would
// take about 160 MiB of tokens. They are answered with 701 and the server's peak stays near
// the cap; the connections work on.
TEST(Memory, BatchesBeyondTheServerCapAreAnsweredWith701) {
    SandboxProcess sandbox(options("", {"--max-memory", "64"}));
    const std::string batch(4u << 20, ';');
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 3; ++i) clients.push_back(loggedIn(sandbox, 60000));
    std::vector<std::vector<int>> answers(clients.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < clients.size(); ++i)
        threads.emplace_back([&, i] { answers[i] = errors(clients[i]->batch(batch)); });
    for (auto& t : threads) t.join();
    for (const auto& a : answers) EXPECT_EQ(a, std::vector<int>{701});
    const long peak = peakMemoryKb(sandbox.pid());
    std::cout << "three 4 MiB batches of ';' at once, cap 64 MiB: peak resident size " << peak
              << " kB\n";
    EXPECT_LT(peak, 150 * 1024) << "peak " << peak << " kB";
    for (auto& c : clients) EXPECT_TRUE(errors(c->batch("SELECT 1")).empty());
    EXPECT_NE(sandbox.log().find("refused (error 701)"), std::string::npos);
}

// Error texts that quote a statement mentioning a password are not logged, and no log line
// is longer than 1,024 bytes, whatever the error text.
TEST(Log, KeepsSecretsOutAndLinesShort) {
    SandboxProcess sandbox(options());
    auto client = loggedIn(sandbox);
    EXPECT_FALSE(
        errors(client->batch("CREATE LOGIN x WITH PASSWORD = 'Sekr3t-Value' oops")).empty());
    EXPECT_FALSE(errors(client->batch("SELECT 'x" + std::string(40000, 'y'))).empty());
    EXPECT_FALSE(errors(client->batch("SELECT 1 FROM [" + std::string(120, 'z') + "] " +
                                      std::string(3000, 'w')))
                     .empty());
    client.reset();
    sandbox.stop();
    const std::string log = sandbox.log();
    EXPECT_EQ(log.find("Sekr3t"), std::string::npos) << log;
    std::istringstream lines(log);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_LE(line.size() + 1, 1024u) << line.substr(0, 200);
    }
    EXPECT_GT(count, 3);
}

struct Exit {
    int status = -1;
    std::string output;
};

// Runs the sandbox executable with `args` (and no password in the environment) until it exits
// or prints its first line; stops it then.
Exit runSandbox(const std::vector<std::string>& args) {
    TempDir out;
    const std::string file = out.path() + "/out";
    std::string command =
        "env -u DSADMIN_SANDBOX_SA_PASSWORD timeout 10 '" + SandboxProcess::executable() + "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " >'" + file + "' 2>&1";
    Exit r;
    r.status = std::system(command.c_str());
    std::ifstream in(file);
    r.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

TEST(OpenDoor, NoPasswordMeansNoStartUnlessAllowed) {
    TempDir data;
    const Exit refused = runSandbox({"--listen", "127.0.0.1:0", "--data", data.path()});
    ASSERT_TRUE(WIFEXITED(refused.status));
    EXPECT_EQ(WEXITSTATUS(refused.status), 2) << refused.output;
    EXPECT_NE(refused.output.find("--allow-empty-password"), std::string::npos);
    EXPECT_EQ(refused.output.find("listening"), std::string::npos);
    const Exit empty =
        runSandbox({"--data", data.path(), "--sa-password", "", "--listen", "127.0.0.1:0"});
    EXPECT_EQ(WEXITSTATUS(empty.status), 2) << empty.output;

    SandboxProcess::Options o;  // empty password: started with --allow-empty-password
    o.dataDir = data.path();
    SandboxProcess allowed(o);
    EXPECT_NE(allowed.log().find("warning: sa has an empty password"), std::string::npos);
}

TEST(OpenDoor, LogicalFileNamesMustBePlainNames) {
    TempDir root;
    SandboxProcess sandbox(options(root.path() + "/data"));
    auto client = loggedIn(sandbox);
    for (const std::string name : {"../../esc/x", "a/b", "..", "a\\b"}) {
        const auto answer =
            client->batch("CREATE DATABASE esc ON (NAME = esc) LOG ON (NAME = '" + name + "')");
        EXPECT_EQ(errors(answer), (std::vector<int>{5105, 1802})) << name << "\n" << texts(answer);
    }
    EXPECT_FALSE(fs::exists(root.path() + "/esc"));
    EXPECT_TRUE(
        errors(client->batch("CREATE DATABASE esc ON (NAME = esc) LOG ON (NAME = 'plain.name')"))
            .empty());
}

}  // namespace
}  // namespace faults
