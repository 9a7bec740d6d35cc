// Blocks carry a small header in front of the caller's bytes: the byte count and a tag
// that tells a block of ours from anything else. Handles are a master pointer record
// whose first field is the block pointer, so *h is the block as on the platform.
#include "toolbox/MacMemory.h"

#include "../ToolboxState.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr UInt64 kBlockTag = 0x55574B50'54524C4BULL;
constexpr UInt64 kDeadTag = 0xDEADB10C'DEADB10CULL;
// Larger than any block a 32-bit host record can describe; refusing it keeps size
// arithmetic far from overflow.
constexpr Size kMaxBlock = Size(1) << 40;

struct alignas(16) BlockHeader {
    UInt64 size;
    UInt64 tag;
};

struct MasterPointer {
    Ptr block;
    UInt64 tag;
};

BlockHeader* HeaderOf(Ptr p) {
    return reinterpret_cast<BlockHeader*>(p) - 1;
}

Ptr AllocateBlock(Size byteCount, bool clear) {
    if (byteCount < 0 || byteCount > kMaxBlock) {
        toolbox::gMemError = memFullErr;
        return nullptr;
    }
    void* raw = clear ? std::calloc(1, sizeof(BlockHeader) + size_t(byteCount))
                      : std::malloc(sizeof(BlockHeader) + size_t(byteCount));
    if (!raw) {
        toolbox::gMemError = memFullErr;
        return nullptr;
    }
    auto* header = new (raw) BlockHeader{UInt64(byteCount), kBlockTag};
    toolbox::gMemError = noErr;
    return reinterpret_cast<Ptr>(header + 1);
}

bool IsOurBlock(Ptr p) {
    return p && HeaderOf(p)->tag == kBlockTag;
}

} // namespace

extern "C" {

Ptr NewPtr(Size byteCount) {
    return AllocateBlock(byteCount, false);
}

Ptr NewPtrClear(Size byteCount) {
    return AllocateBlock(byteCount, true);
}

void DisposePtr(Ptr p) {
    if (!IsOurBlock(p)) {
        toolbox::gMemError = p ? memWZErr : noErr;
        return;
    }
    BlockHeader* header = HeaderOf(p);
    header->tag = kDeadTag;
    std::free(header);
    toolbox::gMemError = noErr;
}

Size GetPtrSize(Ptr p) {
    if (!IsOurBlock(p)) {
        toolbox::gMemError = p ? memWZErr : nilHandleErr;
        return 0;
    }
    toolbox::gMemError = noErr;
    return Size(HeaderOf(p)->size);
}

Handle NewHandle(Size byteCount) {
    Ptr block = NewPtr(byteCount);
    if (!block) return nullptr;
    auto* master = static_cast<MasterPointer*>(std::malloc(sizeof(MasterPointer)));
    if (!master) {
        DisposePtr(block);
        toolbox::gMemError = memFullErr;
        return nullptr;
    }
    master->block = block;
    master->tag = kBlockTag;
    return &master->block;
}

Handle NewHandleClear(Size byteCount) {
    Handle h = NewHandle(byteCount);
    if (h) std::memset(*h, 0, size_t(byteCount));
    return h;
}

void DisposeHandle(Handle h) {
    if (!h) return;
    auto* master = reinterpret_cast<MasterPointer*>(h);
    if (master->tag != kBlockTag) {
        toolbox::gMemError = nilHandleErr;
        return;
    }
    DisposePtr(master->block);
    master->tag = kDeadTag;
    std::free(master);
}

Size GetHandleSize(Handle h) {
    if (!h) {
        toolbox::gMemError = nilHandleErr;
        return 0;
    }
    return GetPtrSize(*h);
}

void SetHandleSize(Handle h, Size newSize) {
    if (!h || !IsOurBlock(*h)) {
        toolbox::gMemError = nilHandleErr;
        return;
    }
    Ptr grown = NewPtrClear(newSize);
    if (!grown) return;
    Size keep = GetPtrSize(*h) < newSize ? GetPtrSize(*h) : newSize;
    std::memcpy(grown, *h, size_t(keep));
    DisposePtr(*h);
    *h = grown;
    toolbox::gMemError = noErr;
}

void BlockMoveData(const void* srcPtr, void* destPtr, Size byteCount) {
    if (byteCount <= 0) return;
    std::memmove(destPtr, srcPtr, size_t(byteCount));
}

OSErr MemError(void) {
    return toolbox::gMemError;
}

} // extern "C"
