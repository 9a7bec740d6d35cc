// The umbrawash command run as a user runs it.
#include "TestPaths.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct CommandResult {
    int status;
    std::string out;
};

// Runs the command line through the shell; standard error joins the output when asked.
CommandResult RunCommand(const std::string& args, bool withStderr = false) {
    std::string line = testpaths::Umbrawash() + " " + args + (withStderr ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(line.c_str(), "r");
    std::string out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
        out.append(buf.data(), n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

} // namespace

TEST(Cli, InfoDescribesTheBundleAsAFilter) {
    CommandResult run = RunCommand("info");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("com.quorvel.vantrel.umbrawash"), std::string::npos);
    EXPECT_NE(run.out.find("filter (105)"), std::string::npos);
}

TEST(Cli, InfoJsonIsParseableAndMatchesTheText) {
    CommandResult run = RunCommand("info --json --bundle " + testpaths::Bundle());
    ASSERT_EQ(run.status, 0) << run.out;
    auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["bundle"], "com.quorvel.vantrel.umbrawash");
    EXPECT_EQ(doc["typeCode"], 105);
    EXPECT_EQ(doc["sliders"].size(), 3u);
}

TEST(Cli, UsageErrorsExitWithStatus2) {
    for (const char* args : {"", "frobnicate", "info --frob", "info --bundle", "info extra"}) {
        CommandResult run = RunCommand(args, true);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.out.find("usage: umbrawash"), std::string::npos) << args;
    }
    EXPECT_EQ(RunCommand("--help").status, 0);
    EXPECT_EQ(RunCommand("info --help").status, 0);
}

TEST(Cli, AMissingBundleIsAClearFailure) {
    CommandResult run = RunCommand("info --bundle /nonexistent/Some.bundle", true);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("/nonexistent/Some.bundle"), std::string::npos);
}
