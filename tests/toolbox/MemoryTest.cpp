#include "toolbox/MacMemory.h"

#include "GuardedBlocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

TEST(Memory, BlocksAndHandlesKnowTheirSizeClearOnRequestImpossibleSizesFailAndMovesOverlap) {
    auto zero = [](const char* p, Size n) { return std::all_of(p, p + n, [](char c) { return c == 0; }); };
    for (Size n : {Size(0), Size(1), Size(396), Size(1 << 20)}) {
        Ptr p = NewPtrClear(n);
        Handle h = NewHandleClear(n);
        ASSERT_TRUE(p && h);
        EXPECT_EQ(GetPtrSize(p), n);
        EXPECT_EQ(GetHandleSize(h), n);
        EXPECT_TRUE(zero(p, n) && zero(*h, n));
        DisposePtr(p);
        DisposeHandle(h);
        EXPECT_EQ(MemError(), noErr);
    }
    EXPECT_EQ(NewPtr(-1), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewPtrClear(Size(1) << 50), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    // Moves are as memmove's; counts of zero or less move nothing.
    char buf[] = "0123456789";
    BlockMoveData(buf, buf + 2, 5);
    BlockMoveData(buf + 5, buf, 0);
    BlockMoveData(buf + 5, buf, -3);
    EXPECT_STREQ(buf, "0101234789");
}

// Foreign blocks: a host's calloc, a host's block right after an inaccessible page, and a
// pointer into the stack. Nothing around them is read, so the guarded one does not fault.
TEST(Memory, NilAndForeignBlocksAreRefusedNotReadNorFreed) {
    DisposePtr(nullptr);
    EXPECT_EQ(GetPtrSize(nullptr), 0);
    EXPECT_EQ(MemError(), nilHandleErr);
    EXPECT_EQ(GetHandleSize(nullptr), 0);
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
