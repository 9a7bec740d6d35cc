// `umbrawash configure` run headless from a script: Cancel leaves the saved configuration
// alone after edits, screenshots land in their folder. (OK saving the same edits is the real
// window's test, configure_window_test.sh.)
#include "MediaFiles.h"
#include "TestPaths.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using mediafiles::RunResult;
using testpaths::RunUmbrawash;

std::string Script(const std::string& name, const std::string& steps) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << steps;
    return path;
}

// NTSC dialog: the green slider's left end at (766, 134); the preview's bottom-right handle
// reached at (736, 496).
constexpr const char* kEditsThenCancel = "drag 766 134 764 134\n"
                                         "drag 736 496 376 256\n"
                                         "expect text ClpM 1 0/29\n"
                                         "press Adva 1\n"
                                         "expect text ClpM 1 1/29\n"
                                         "screenshot edited.png\n"
                                         "key escape\n";

} // namespace

TEST(ConfigureCli, CancelChangesNothingAndFailedChecksAreReported) {
    const std::string shots = testing::TempDir() + "configure-shots";
    std::filesystem::remove_all(shots);
    RunResult run = RunUmbrawash("configure --frames 30 --script " + Script("cancel.txt", kEditsThenCancel) +
                                 " --screenshots " + shots);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::file_size(shots + "/opened.png") > 0);
    EXPECT_TRUE(std::filesystem::file_size(shots + "/edited.png") > 0);
    const nlohmann::json saved = nlohmann::json::parse(RunUmbrawash("settings show --json").out);
    EXPECT_EQ(saved["green"], 100);
    EXPECT_EQ(saved["rect"]["right"], 1.0);

    // Script checks that fail, and starts that are not numbers or lie beyond the clip.
    EXPECT_EQ(
        RunUmbrawash("configure --script " + Script("bad.txt", "expect value Sldr 1 7\nkey escape\n")).status,
        1);
    EXPECT_EQ(RunUmbrawash("configure --script /nonexistent/steps.txt").status, 1);
    EXPECT_EQ(RunUmbrawash("configure --start x").status, 2);
    EXPECT_EQ(RunUmbrawash("configure --start 100000").status, 1);
}
