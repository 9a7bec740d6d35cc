#include "util/failures.h"

#include "toolbox/InputSources.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

TEST(FailuresDeathTest, AssertOnNilAndTerminateShowTheStopAlertAndEnd) {
    EXPECT_EXIT(Assert(nullptr, "reading X"), testing::ExitedWithCode(70),
                "Alert \\(stop\\): Assertion Failure\n  Assertion failed in: reading X\n");
    EXPECT_EXIT(Terminate("Head", "Body text"), testing::ExitedWithCode(70), "Head\n  Body text\n");
}

// Leaves the process room to grow by far less than an alert window (some 200 KB).
void LeaveNoRoomForAnAlert() {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + 64 * 1024;
    setrlimit(RLIMIT_AS, &limit);
}

TEST(FailuresDeathTest, WithoutMemoryForTheAlertTheTextsGoToStandardErrorAndTheStatusTellsTheFailure) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process itself when memory runs out";
#endif
    EXPECT_EXIT(
        {
            LeaveNoRoomForAnAlert();
            Assert(nullptr, "reading X");
        },
        testing::ExitedWithCode(70), "^Stop: Assertion Failure\n  Assertion failed in: reading X\n$");
}

TEST(Failures, NotifyIsACautionWithOneOkButtonAndGoesOn) {
    std::string error;
    toolbox::UseScriptText("", error);
    testing::internal::CaptureStderr();
    Notify("abc");
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown.find("Alert (caution): Internal Notification:\n  abc\n  buttons: [ok]\n"), 0u) << shown;
    EXPECT_NE(shown.find("  chosen: ok\n"), std::string::npos) << shown;
}
