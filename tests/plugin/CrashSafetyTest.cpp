// A save killed at any moment leaves a whole record: a child process saves in a loop and
// the parent kills it at random times, hundreds of times, reading the file after each kill.
#include "model/DataHandling.h"
#include "settings/prefsloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every field of record k is derived from k, so a mix of two records is seen.
void FillRecord(PluginDataRec& c, int k) {
    ResetConfig(&c, true);
    for (int i = 1; i <= kNumSliders; ++i)
        c.sliders[i] = SInt16((k + i) % 30000);
    c.startRel = {k * 1e-6, 1.0 - k * 1e-6, k * 2e-6, 1.0 - k * 2e-6};
    c.endRel = c.startRel;
    c.frameEndColor = {UInt16(k), UInt16(k * 3), UInt16(k * 7)};
}

bool IsWholeRecord(const PluginDataRec& c) {
    PluginDataRec expected{};
    FillRecord(expected, c.sliders[1] - 1);
    return c.sliders[1] >= 1 && std::memcmp(&c, &expected, offsetof(PluginDataRec, theOriginalImage)) == 0 &&
           c.keepProps == expected.keepProps;
}

} // namespace

TEST(CrashSafety, KilledSavesAlwaysLeaveAWholeRecord) {
    const std::filesystem::path prefs = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::remove(prefs / "zorlt-Prefs");
    CreateSettingsFile();
    PluginDataRec first{};
    FillRecord(first, 0);
    ASSERT_TRUE(SaveConfig(&first));

    // Kill within the time of a few dozen saves on this machine (sanitizer builds are slower),
    // so that kills land before, during and between saves.
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i)
        SaveConfig(&first);
    auto perSave =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start) / 10;
    int maxDelay = std::clamp(int(perSave.count()) * 40, 4000, 50000);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, maxDelay);
    int reads = 0, changes = 0, lastSeen = -1;
    for (int round = 0; round < 300; ++round) {
        pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            PluginDataRec c{};
            for (int k = round * 100000;; ++k) {
                FillRecord(c, k % 29000);
                SaveConfig(&c);
            }
        }
        usleep(useconds_t(delayMicroseconds(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        PluginDataRec read{};
        ResetConfig(&read, true);
        ASSERT_TRUE(ReadConfig(&read)) << "round " << round << ": no whole record after the kill";
        ASSERT_TRUE(IsWholeRecord(read)) << "round " << round << ": a record mixed from two saves";
        ++reads;
        if (read.sliders[1] != lastSeen) ++changes;
        lastSeen = read.sliders[1];
    }
    EXPECT_EQ(reads, 300);
    EXPECT_GT(changes, 10) << "the children should have saved often before being killed";
    // Temporary files of killed saves may remain beside the file; the record is what counts.
    for (const auto& entry : std::filesystem::directory_iterator(prefs))
        if (entry.path().filename().string().rfind(".zorlt-Prefs.", 0) == 0)
            std::filesystem::remove(entry.path());
}
