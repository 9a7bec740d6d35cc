// The inside of a port. Offscreen buffers and (later) window ports are the same kind of
// object: a 32-bit pixel map with its bounds, clip rectangle, colours and lock state.
#pragma once

#include "toolbox/QuickDraw.h"

#include <cstddef>

struct GrafPort {
    UInt64 tag;               // kPortTag while alive
    PixMap pixMap;            // what GetPortBitMapForCopyBits hands out
    PixMapPtr pixMapMaster;   // &pixMap: GetGWorldPixMap hands out its address as the handle
    Rect portRect;            // equals pixMap.bounds
    Rect clipRect;            // drawing in this port stays inside it
    RGBColor fgColor;         // PaintRect, FrameRect
    RGBColor bgColor;         // EraseRect
    GWorldFlags pixelsState;  // pixelsLocked while locked
    bool ownsPixels;          // pixel memory from the pool, given back on disposal
    size_t pixelCapacity;     // bytes of that memory
    SInt16 penMode = patCopy; // pen, for frames, ovals and text
    Point penLoc{0, 0};
    SInt16 textSize = 12;
};

namespace toolbox::qd {

constexpr UInt64 kPortTag = 0x47524146'504F5254ULL;
constexpr long kRowBytesMask = 0x3FFF;
constexpr int kMaxWidth = int(kRowBytesMask / 4);

// The port a pixel map handle belongs to, or NULL when it is not one of ours.
GrafPort* PortOfPixMap(PixMapHandle pm);
bool IsPort(const GrafPort* port);

// Makes a port of the given bounds over pixel memory from the pool (an owned port), or
// over the caller's memory. Width 1..kMaxWidth, height >= 1. noErr, paramErr or memFullErr.
QDErr NewPixelPort(const Rect& bounds, GrafPort*& port);
QDErr NewPixelPortOver(const Rect& bounds, Ptr buffer, long rowBytes, GrafPort*& port);
void DisposePixelPort(GrafPort* port);

// The pixel value of an opaque colour (alpha 255).
UInt32 OpaquePixel(const RGBColor& color);

// Paints r, or frames it one pixel inside, in the pen's mode, in the current
// port (clipped to the port and its clip rectangle).
void PenRect(const Rect& r, bool frame);

// Pixel memory pool: a block of at least `bytes`, its capacity in `capacity`, or NULL.
void* TakePixelMemory(size_t bytes, size_t& capacity);
void GivePixelMemory(void* memory, size_t capacity);

} // namespace toolbox::qd
