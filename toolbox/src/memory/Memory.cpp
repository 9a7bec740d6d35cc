// Blocks are plain heap memory, listed with their byte counts in the toolbox's memory
// registry (ToolboxState.h): GetPtrSize and the disposals answer for the toolbox's own
// blocks and handles and leave every other pointer untouched, without reading the memory
// around it. A handle is a master pointer record that holds the block pointer, so *h is the
// block as on the platform.
#include "toolbox/MacMemory.h"

#include "../ToolboxState.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace {

using toolbox::gMemError;

// Larger than any block a 32-bit host record can describe; refusing it keeps size
// arithmetic far from overflow.
constexpr Size kMaxBlock = Size(1) << 40;

toolbox::MemoryRegistry& Registry() {
    return toolbox::gToolbox.memory;
}

// Lists a fresh allocation; false (and nothing listed) when the registry has no memory left.
template <typename Insert>
bool Listed(Insert insert) {
    try {
        std::lock_guard<std::mutex> guard(Registry().lock);
        insert(Registry());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

Ptr AllocateBlock(Size byteCount, bool clear) {
    if (byteCount < 0 || byteCount > kMaxBlock) {
        gMemError = memFullErr;
        return nullptr;
    }
    // A block of no bytes still gets an address of its own.
    size_t bytes = std::max<size_t>(size_t(byteCount), 1);
    void* block = clear ? std::calloc(1, bytes) : std::malloc(bytes);
    if (!block || !Listed([&](toolbox::MemoryRegistry& r) { r.blocks.emplace(block, byteCount); })) {
        std::free(block);
        gMemError = memFullErr;
        return nullptr;
    }
    gMemError = noErr;
    return static_cast<Ptr>(block);
}

// The byte count of one of the toolbox's blocks; -1 for any other pointer.
Size SizeOfBlock(const void* p) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    auto it = Registry().blocks.find(p);
    return it == Registry().blocks.end() ? -1 : it->second;
}

bool IsOurHandle(Handle h) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    return Registry().masters.count(h) != 0;
}

// Takes a block or a master pointer out of the registry; false when it was not listed.
bool Unlisted(const void* p, bool master) {
    std::lock_guard<std::mutex> guard(Registry().lock);
    return master ? Registry().masters.erase(p) != 0 : Registry().blocks.erase(p) != 0;
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
    if (!p) {
        gMemError = noErr;
        return;
    }
    if (!Unlisted(p, false)) {
        gMemError = memWZErr;
        return;
    }
    std::free(p);
    gMemError = noErr;
}

Size GetPtrSize(Ptr p) {
    Size size = p ? SizeOfBlock(p) : -1;
    if (size < 0) {
        gMemError = p ? memWZErr : nilHandleErr;
        return 0;
    }
    gMemError = noErr;
    return size;
}

Handle NewHandle(Size byteCount) {
    Ptr block = NewPtr(byteCount);
    if (!block) return nullptr;
    auto master = static_cast<Handle>(std::malloc(sizeof(Ptr)));
    if (!master || !Listed([&](toolbox::MemoryRegistry& r) { r.masters.insert(master); })) {
        std::free(master);
        DisposePtr(block);
        gMemError = memFullErr;
        return nullptr;
    }
    *master = block;
    return master;
}

Handle NewHandleClear(Size byteCount) {
    Handle h = NewHandle(byteCount);
    if (h) std::memset(*h, 0, size_t(byteCount));
    return h;
}

void DisposeHandle(Handle h) {
    if (!h) return;
    if (!Unlisted(h, true)) {
        gMemError = nilHandleErr;
        return;
    }
    DisposePtr(*h);
    std::free(h);
}

Size GetHandleSize(Handle h) {
    if (!h || !IsOurHandle(h)) {
        gMemError = nilHandleErr;
        return 0;
    }
    return GetPtrSize(*h);
}

void BlockMoveData(const void* srcPtr, void* destPtr, Size byteCount) {
    if (byteCount <= 0) return;
    std::memmove(destPtr, srcPtr, size_t(byteCount));
}

OSErr MemError(void) {
    return gMemError;
}

} // extern "C"
