#include "util/failures.h"

#include <gtest/gtest.h>

TEST(FailuresDeathTest, AssertOnNilShowsTheStopAlertAndEnds) {
    EXPECT_EXIT(Assert(nullptr, "reading X"), testing::ExitedWithCode(70),
                "Alert \\(stop\\): Assertion Failure\n  Assertion failed in: reading X\n");
}

TEST(FailuresDeathTest, TerminateShowsHeadlineAndDescription) {
    EXPECT_EXIT(Terminate("Head", "Body text"), testing::ExitedWithCode(70), "Head\n  Body text\n");
}

TEST(Failures, AssertOnAPointerDoesNothing) {
    int x = 0;
    testing::internal::CaptureStderr();
    Assert(&x, "never shown");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Failures, NotifyIsACautionWithOneOkButtonAndGoesOn) {
    testing::internal::CaptureStderr();
    Notify("abc");
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, "Alert (caution): Internal Notification:\n  abc\n  buttons: [ok], default taken\n");
}

TEST(Failures, WarningWithoutCancelTextHasOneButtonAndAnswersOne) {
    Str255 head = "\x04Head", text = "\x04Text", ok = "\x02Go", none = "";
    Str255 cancel = "\x04Stop";
    testing::internal::CaptureStderr();
    EXPECT_EQ(StandardWarning(head, text, ok, none), 1);
    EXPECT_EQ(StandardWarning(head, text, ok, cancel), 1);
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("buttons: [Go], default"), std::string::npos);
    EXPECT_NE(shown.find("buttons: [Go] [Stop], default"), std::string::npos);
}
