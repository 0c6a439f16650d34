// Two writers at once, and a writer killed in the middle of a save: the settings file never
// loses a key and is never left half-written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "ForkedChild.h"
#include "TestFolder.h"
#include "settings/IniFile.h"
#include "settings/PrivateProfile.h"

namespace dsadmin {
namespace {

using test::Spawn;
using test::TestFolder;
using test::WaitFor;

TEST(ConcurrentWrite, TwoProcessesSavingAtOnceLoseNoKey) {
    TestFolder folder;
    const std::string ini = folder.file("Setup.ini");
    constexpr int kWrites = 150;
    auto writer = [&](const std::string& prefix) {
        return [&, prefix] {
            for (int i = 0; i < kWrites; ++i) {
                WriteIniString(ini, "DataBase", prefix + std::to_string(i), std::to_string(i));
            }
        };
    };
    const pid_t a = Spawn(writer("A"));
    const pid_t b = Spawn(writer("B"));
    ASSERT_EQ(WaitFor(a), 0);
    ASSERT_EQ(WaitFor(b), 0);

    const IniFile file = IniFile::parse(TestFolder::read(ini));
    for (const char* prefix : {"A", "B"}) {
        for (int i = 0; i < kWrites; ++i) {
            const std::string key = prefix + std::to_string(i);
            EXPECT_EQ(file.value("DataBase", key), std::to_string(i)) << key;
        }
    }
}

// The file a killed writer leaves must be one that some save wrote whole: the payload of one
// generation from end to end, followed by its generation number.
void ExpectWholeFile(const std::string& bytes) {
    const IniFile file = IniFile::parse(bytes);
    const auto payload = file.value("Big", "Payload");
    const auto generation = file.value("Big", "Gen");
    ASSERT_TRUE(payload && generation) << "broken file of " << bytes.size() << " bytes";
    const int gen = std::stoi(*generation);
    EXPECT_EQ(*payload, std::string(100000, static_cast<char>('a' + gen % 26)));
}

TEST(ConcurrentWrite, WriterKilledMidSaveLeavesTheOldOrTheNewFile) {
    TestFolder folder;
    const std::string ini = folder.file("Setup.ini");
    std::mt19937 random(42);
    int generation = 0;
    for (int round = 0; round < 20; ++round) {
        const int first = generation;
        const pid_t pid = Spawn([&] {
            for (int gen = first;; ++gen) {
                WriteIniStrings(
                    ini, "Big",
                    {{"Payload", std::string(100000, static_cast<char>('a' + gen % 26))},
                     {"Gen", std::to_string(gen)}});
            }
        });
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        kill(pid, SIGKILL);
        WaitFor(pid);
        if (!std::filesystem::exists(ini)) continue;  // killed before the first save
        const std::string bytes = TestFolder::read(ini);
        ExpectWholeFile(bytes);
        generation = std::stoi(*IniFile::parse(bytes).value("Big", "Gen")) + 1;
    }
    // A leftover temporary file does not stop the next save.
    WriteIniString(ini, "Big", "Gen", "0");
    EXPECT_EQ(ReadIniString(ini, "Big", "Gen", ""), "0");
}

}  // namespace
}  // namespace dsadmin
