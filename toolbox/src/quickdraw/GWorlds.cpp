// Offscreen buffers, their pixel memory and lock state, and the current port.
#include "Ports.h"

#include "../ToolboxState.h"

#include <cstdlib>
#include <new>

namespace toolbox {

PixelMemoryPool::~PixelMemoryPool() {
    for (const Block& b : blocks)
        std::free(b.memory);
}

} // namespace toolbox

namespace toolbox::qd {

namespace {

// A few frames' worth: enough for the buffers one render call makes, small enough not to
// hoard memory.
constexpr size_t kMaxPooledBlocks = 8;
constexpr size_t kMaxPooledBytes = size_t(256) << 20;
// Rows start on 16-byte boundaries when the row-bytes field can still hold the value.
constexpr long kRowAlignment = 16;

long RowBytesFor(int width) {
    long tight = long(width) * 4;
    long aligned = (tight + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    return aligned <= kRowBytesMask ? aligned : tight;
}

bool ValidBounds(const Rect& bounds) {
    int width = int(bounds.right) - int(bounds.left);
    int height = int(bounds.bottom) - int(bounds.top);
    return width >= 1 && width <= kMaxWidth && height >= 1;
}

GrafPort* MakePort(const Rect& bounds, Ptr base, long rowBytes) {
    auto* port = new (std::nothrow) GrafPort{};
    if (!port) return nullptr;
    port->tag = kPortTag;
    port->pixMap.baseAddr = base;
    port->pixMap.rowBytes = SInt16(0x8000 | rowBytes);
    port->pixMap.bounds = bounds;
    port->pixMap.pixelType = 16; // direct colour
    port->pixMap.pixelSize = 32;
    port->pixMap.cmpCount = 3;
    port->pixMap.cmpSize = 8;
    port->pixMap.pixelFormat = k32ARGBPixelFormat;
    port->pixMap.hRes = port->pixMap.vRes = 72 << 16;
    port->pixMapMaster = &port->pixMap;
    port->portRect = bounds;
    port->clipRect = Rect{-32768, -32768, 32767, 32767};
    port->fgColor = RGBColor{0, 0, 0};
    port->bgColor = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
    return port;
}

} // namespace

void* TakePixelMemory(size_t bytes, size_t& capacity) {
    PixelMemoryPool& pool = gToolbox.pixelPool;
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        // The smallest kept block that holds the buffer without wasting more than its size.
        size_t best = pool.blocks.size();
        for (size_t i = 0; i < pool.blocks.size(); ++i) {
            size_t cap = pool.blocks[i].capacity;
            if (cap >= bytes && cap / 2 <= bytes &&
                (best == pool.blocks.size() || cap < pool.blocks[best].capacity))
                best = i;
        }
        if (best != pool.blocks.size()) {
            PixelMemoryPool::Block b = pool.blocks[best];
            pool.blocks.erase(pool.blocks.begin() + long(best));
            pool.totalBytes -= b.capacity;
            capacity = b.capacity;
            return b.memory;
        }
    }
    void* memory = std::calloc(1, bytes);
    capacity = memory ? bytes : 0;
    return memory;
}

void GivePixelMemory(void* memory, size_t capacity) {
    if (!memory) return;
    PixelMemoryPool& pool = gToolbox.pixelPool;
    std::lock_guard<std::mutex> guard(pool.lock);
    if (capacity > kMaxPooledBytes) {
        std::free(memory);
        return;
    }
    pool.blocks.push_back({memory, capacity});
    pool.totalBytes += capacity;
    while (pool.blocks.size() > kMaxPooledBlocks || pool.totalBytes > kMaxPooledBytes) {
        std::free(pool.blocks.front().memory);
        pool.totalBytes -= pool.blocks.front().capacity;
        pool.blocks.erase(pool.blocks.begin());
    }
}

bool IsPort(const GrafPort* port) {
    return port && port->tag == kPortTag;
}

GrafPort* PortOfPixMap(PixMapHandle pm) {
    if (!pm) return nullptr;
    auto* port = reinterpret_cast<GrafPort*>(reinterpret_cast<char*>(pm) - offsetof(GrafPort, pixMapMaster));
    return IsPort(port) ? port : nullptr;
}

QDErr NewPixelPort(const Rect& bounds, GrafPort*& port) {
    port = nullptr;
    if (!ValidBounds(bounds)) return paramErr;
    long rowBytes = RowBytesFor(int(bounds.right) - int(bounds.left));
    size_t bytes = size_t(rowBytes) * size_t(int(bounds.bottom) - int(bounds.top));
    size_t capacity = 0;
    void* memory = TakePixelMemory(bytes, capacity);
    if (!memory) return memFullErr;
    port = MakePort(bounds, static_cast<Ptr>(memory), rowBytes);
    if (!port) {
        GivePixelMemory(memory, capacity);
        return memFullErr;
    }
    port->ownsPixels = true;
    port->pixelCapacity = capacity;
    return noErr;
}

QDErr NewPixelPortOver(const Rect& bounds, Ptr buffer, long rowBytes, GrafPort*& port) {
    port = nullptr;
    if (!ValidBounds(bounds) || !buffer) return paramErr;
    if (rowBytes < long(int(bounds.right) - int(bounds.left)) * 4 || rowBytes > kRowBytesMask)
        return paramErr;
    port = MakePort(bounds, buffer, rowBytes);
    return port ? noErr : memFullErr;
}

void DisposePixelPort(GrafPort* port) {
    if (!IsPort(port)) return;
    if (gToolbox.currentPort == port) {
        gToolbox.currentPort = nullptr;
        gToolbox.currentDevice = nullptr;
    }
    if (port->ownsPixels) GivePixelMemory(port->pixMap.baseAddr, port->pixelCapacity);
    port->tag = 0;
    delete port;
}

} // namespace toolbox::qd

using namespace toolbox::qd;
using toolbox::gToolbox;

extern "C" {

QDErr NewGWorld(GWorldPtr* offscreenGWorld, short pixelDepth, const Rect* boundsRect, CTabHandle, GDHandle,
                GWorldFlags) {
    if (!offscreenGWorld) return paramErr;
    *offscreenGWorld = nullptr;
    if (!boundsRect || (pixelDepth != 0 && pixelDepth != 32)) return paramErr;
    return NewPixelPort(*boundsRect, *offscreenGWorld);
}

QDErr NewGWorldFromPtr(GWorldPtr* offscreenGWorld, UInt32 pixelFormat, const Rect* boundsRect, CTabHandle,
                       GDHandle, GWorldFlags, Ptr buffer, long rowBytes) {
    if (!offscreenGWorld) return paramErr;
    *offscreenGWorld = nullptr;
    if (!boundsRect || pixelFormat != k32ARGBPixelFormat) return paramErr;
    return NewPixelPortOver(*boundsRect, buffer, rowBytes, *offscreenGWorld);
}

void DisposeGWorld(GWorldPtr offscreenGWorld) {
    DisposePixelPort(offscreenGWorld);
}

PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld) {
    return IsPort(offscreenGWorld) ? &offscreenGWorld->pixMapMaster : nullptr;
}

Boolean LockPixels(PixMapHandle pm) {
    GrafPort* port = PortOfPixMap(pm);
    if (!port) return false;
    port->pixelsState |= pixelsLocked;
    return true;
}

GWorldFlags GetPixelsState(PixMapHandle pm) {
    GrafPort* port = PortOfPixMap(pm);
    return port ? port->pixelsState : 0;
}

void SetPixelsState(PixMapHandle pm, GWorldFlags state) {
    if (GrafPort* port = PortOfPixMap(pm)) port->pixelsState = state & (pixelsLocked | pixelsPurgeable);
}

Ptr GetPixBaseAddr(PixMapHandle pm) {
    return pm && *pm ? (*pm)->baseAddr : nullptr;
}

long GetPixRowBytes(PixMapHandle pm) {
    return pm && *pm ? long((*pm)->rowBytes) & kRowBytesMask : 0;
}

short GetPixDepth(PixMapHandle pm) {
    return pm && *pm ? (*pm)->pixelSize : 0;
}

Rect* GetPortBounds(CGrafPtr port, Rect* rect) {
    if (!rect) return rect;
    *rect = IsPort(port) ? port->portRect : Rect{0, 0, 0, 0};
    return rect;
}

void GetPortClipRegion(CGrafPtr port, RgnHandle clipRgn) {
    if (IsPort(port) && clipRgn && *clipRgn) (*clipRgn)->rgnBBox = port->clipRect;
}

const BitMap* GetPortBitMapForCopyBits(CGrafPtr port) {
    return IsPort(port) ? reinterpret_cast<const BitMap*>(&port->pixMap) : nullptr;
}

void GetGWorld(CGrafPtr* port, GDHandle* gdh) {
    if (port) *port = gToolbox.currentPort;
    if (gdh) *gdh = gToolbox.currentDevice;
}

void SetGWorld(CGrafPtr port, GDHandle gdh) {
    gToolbox.currentPort = IsPort(port) ? port : nullptr;
    gToolbox.currentDevice = gdh;
}

void SetPort(GrafPtr port) {
    gToolbox.currentPort = IsPort(port) ? port : nullptr;
}

} // extern "C"
