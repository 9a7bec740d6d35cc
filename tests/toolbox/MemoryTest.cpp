#include "toolbox/MacMemory.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Memory, BlocksKnowTheirSizeAndClearOnRequest) {
    for (Size n : {Size(0), Size(1), Size(396), Size(1 << 20)}) {
        Ptr p = NewPtrClear(n);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(GetPtrSize(p), n);
        for (Size i = 0; i < n; ++i)
            ASSERT_EQ(p[i], 0);
        DisposePtr(p);
        EXPECT_EQ(MemError(), noErr);
    }
}

TEST(Memory, ImpossibleSizesFailWithMemFullErr) {
    EXPECT_EQ(NewPtr(-1), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewPtrClear(Size(1) << 50), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
}

TEST(Memory, NilAndForeignBlocksAreRefusedNotFreed) {
    DisposePtr(nullptr);
    EXPECT_EQ(GetPtrSize(nullptr), 0);
    EXPECT_EQ(MemError(), nilHandleErr);
    alignas(16) char local[64] = {};
    EXPECT_EQ(GetPtrSize(local + 32), 0);
    EXPECT_EQ(MemError(), memWZErr);
}

TEST(Memory, HandlesResizeAndKeepTheirContent) {
    Handle h = NewHandleClear(8);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetHandleSize(h), 8);
    std::memcpy(*h, "abcdefgh", 8);
    SetHandleSize(h, 12);
    EXPECT_EQ(GetHandleSize(h), 12);
    EXPECT_EQ(std::memcmp(*h, "abcdefgh\0\0\0\0", 12), 0);
    SetHandleSize(h, 3);
    EXPECT_EQ(std::memcmp(*h, "abc", 3), 0);
    DisposeHandle(h);
    EXPECT_EQ(GetHandleSize(nullptr), 0);
}

TEST(Memory, BlockMoveDataHandlesOverlapAndNonPositiveCounts) {
    char buf[] = "0123456789";
    BlockMoveData(buf, buf + 2, 5);
    EXPECT_STREQ(buf, "0101234789");
    BlockMoveData(buf + 5, buf, 0);
    BlockMoveData(buf + 5, buf, -3);
    EXPECT_STREQ(buf, "0101234789");
}
