// The settings file under the faults of real use, at full scale (tests/settings holds the
// small versions of these): SaveDBSet from two processes taking turns while a third reads,
// and a saving process killed at random moments. The file must always be whole: every read
// sees the six keys of [DataBase], all six from the same save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "settings/DBSet.h"
#include "settings/ForkedChild.h"
#include "settings/IniFile.h"
#include "settings/TestFolder.h"

namespace dsadmin {
namespace {

using test::Spawn;
using test::TestFolder;
using test::WaitFor;

// The boxes of save number `n` by writer `who`: every stored value names the save.
SavedDBSet Boxes(char who, int n) {
    const std::string tag = std::string(1, who) + std::to_string(n);
    return {"SQL Server", "(local)", "user" + tag, "pw" + tag, "Db" + tag};
}

// Checks that `bytes` hold the six keys of one save; returns its tag ("A17"), or "" when the
// file does not exist yet.
std::string CheckWhole(const std::string& bytes) {
    const IniFile file = IniFile::parse(bytes);
    const auto user = file.value("DataBase", "UserName");
    EXPECT_TRUE(user && user->size() > 4) << "UserName missing in:\n" << bytes;
    if (!user || user->size() <= 4) return {};
    const std::string tag = user->substr(4);
    EXPECT_EQ(file.value("DataBase", "Library"), "SQL Server") << bytes;
    EXPECT_EQ(file.value("DataBase", "DataSource"), "(local)") << bytes;
    EXPECT_EQ(file.value("DataBase", "PassWord"), "pw" + tag) << bytes;
    EXPECT_EQ(file.value("DataBase", "LongTime"), "10") << bytes;
    EXPECT_EQ(file.value("DataBase", "DBName"), "Db" + tag) << bytes;
    return tag;
}

// Two processes save in turn (a pipe passes the turn), 500 saves each, while this process
// reads the file as fast as it can.
TEST(SettingsFaults, TwoProcessesSavingInTurnNeverShowAReaderAPartialFile) {
    TestFolder folder;
    const std::string ini = folder.file("Setup.ini");
    constexpr int kSavesEach = 500;
    int aToB[2], bToA[2];
    ASSERT_EQ(pipe(aToB), 0);
    ASSERT_EQ(pipe(bToA), 0);
    auto writer = [&](char who, int waitFd, int passFd, bool first) {
        return [=, &ini] {
            char token = 0;
            for (int n = 0; n < kSavesEach; ++n) {
                if (!(first && n == 0) && read(waitFd, &token, 1) != 1) _exit(2);
                SaveDBSet(Boxes(who, n), ini);
                if (write(passFd, &token, 1) != 1) _exit(2);
            }
        };
    };
    const pid_t a = Spawn(writer('A', bToA[0], aToB[1], true));
    const pid_t b = Spawn(writer('B', aToB[0], bToA[1], false));
    int reads = 0;
    while (waitpid(b, nullptr, WNOHANG) == 0) {
        if (!std::filesystem::exists(ini)) continue;
        CheckWhole(TestFolder::read(ini));
        ++reads;
        if (HasFailure()) break;
    }
    kill(a, SIGKILL);
    WaitFor(a);
    EXPECT_EQ(CheckWhole(TestFolder::read(ini)), "B" + std::to_string(kSavesEach - 1));
    EXPECT_GT(reads, 0);
    for (int fd : {aToB[0], aToB[1], bToA[0], bToA[1]}) close(fd);
}

// A process saving in a loop is killed (SIGKILL) at a random moment, 1,000 times over; after
// each kill the file is the last whole save or the one before, never a broken one.
TEST(SettingsFaults, ProcessKilledDuringSavesNeverLeavesABrokenFile) {
    TestFolder folder;
    const std::string ini = folder.file("Setup.ini");
    std::mt19937 random(7);
    // The file exists from the start, so every round reads a file; on a loaded machine a child
    // may be killed before its first save, which then changes nothing.
    SaveDBSet(Boxes('K', 0), ini);
    std::string last = "K0";
    int kills = 0, changed = 0;
    for (int round = 1; round <= 1000 && !HasFailure(); ++round) {
        const pid_t pid = Spawn([&] {
            for (int n = 0;; ++n) SaveDBSet(Boxes('K', round * 100000 + n), ini);
        });
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        kill(pid, SIGKILL);
        WaitFor(pid);
        ++kills;
        const std::string tag = CheckWhole(TestFolder::read(ini));
        ASSERT_FALSE(tag.empty());
        if (tag != last) ++changed;
        last = tag;
    }
    EXPECT_EQ(kills, 1000);
    EXPECT_GT(changed, 0);  // saves really ran between the kills
    // What a killed save leaves behind (its temporary file, the lock file) hinders no save.
    SaveDBSet(Boxes('Z', 1), ini);
    EXPECT_EQ(CheckWhole(TestFolder::read(ini)), "Z1");
}

}  // namespace
}  // namespace dsadmin
