#include "toolbox/MacMemory.h"

#include "GuardedBlocks.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// Foreign blocks: a host's calloc, a host's block right after an inaccessible page, and a
// pointer into the stack. Nothing around them is read, so the guarded one does not fault.
TEST(Memory, NilAndForeignBlocksAreRefusedNotReadNorFreed) {
    DisposePtr(nullptr);
    EXPECT_EQ(GetPtrSize(nullptr), 0);
    EXPECT_EQ(MemError(), nilHandleErr);
    alignas(16) char local[64] = {};
    void* hostBlock = std::calloc(1, 64);
    void* guarded = testsupport::NewGuardedBlock(64);
    ASSERT_NE(guarded, nullptr);
    for (void* foreign : {static_cast<void*>(local + 32), hostBlock, guarded}) {
        auto p = static_cast<Ptr>(foreign);
        EXPECT_EQ(GetPtrSize(p), 0);
        EXPECT_EQ(MemError(), memWZErr);
        DisposePtr(p);
        EXPECT_EQ(MemError(), memWZErr);
        Ptr* master = &p; // a handle the toolbox did not make
        EXPECT_EQ(GetHandleSize(master), 0);
        DisposeHandle(master);
        EXPECT_EQ(MemError(), nilHandleErr);
        EXPECT_EQ(p, foreign);
    }
    static_cast<char*>(hostBlock)[63] = 1; // still the host's
    std::free(hostBlock);
    testsupport::DisposeGuardedBlock(guarded, 64);
}

TEST(Memory, HandlesKnowTheirSize) {
    Handle h = NewHandleClear(8);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetHandleSize(h), 8);
    EXPECT_EQ(std::memcmp(*h, "\0\0\0\0\0\0\0\0", 8), 0);
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
