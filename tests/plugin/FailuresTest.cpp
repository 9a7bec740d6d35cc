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

TEST(Failures, AssertOnAPointerDoesNothing) {
    int x = 0;
    testing::internal::CaptureStderr();
    Assert(&x, "never shown");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
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

TEST(Failures, WarningWithoutCancelTextHasOneButtonAndAnswersOne) {
    Str255 head = "\x04Head", text = "\x04Text", ok = "\x02Go", none = "";
    Str255 cancel = "\x04Stop";
    std::string error;
    toolbox::UseScriptText("press Albt 1\npress Albt 2\n", error);
    testing::internal::CaptureStderr();
    EXPECT_EQ(StandardWarning(head, text, ok, none), 1);
    EXPECT_EQ(StandardWarning(head, text, ok, cancel), 2);
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("buttons: [Go]\n  chosen: Go\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("buttons: [Go] [Stop]\n  chosen: Stop\n"), std::string::npos) << shown;
}
