// The seed fill. Spans are filled by scans that run left (or, for the seed's second scan,
// right) from a start pixel; every column of a scan then starts a left scan in the row above
// and in the row below where the pixel there is similar and not yet filled. The nesting of
// those scans is kept on an explicit stack in the depth-first order of nested calls, so a
// whole large frame fills with the same result and without deep recursion.
#include "render/ImageOps.h"

#include "render/pixelAccess.h"

#include <cstdlib>
#include <vector>

namespace {

struct FillContextRec {
    const PixelAccessRec& buffer;
    PixRec fill;
    PixRec orig;
    SInt32 maxDelta;
};

// A scan whose columns still have their neighbours to visit: columns col to lastCol in
// steps of step, and for the current column phase 0 (row above next), 1 (row below next)
// or 2 (both done).
// Rows are counted in 32 bits: a buffer's bounds may span more than 32767 rows.
struct FillScanRec {
    SInt32 y;
    SInt32 col;
    SInt32 lastCol;
    SInt8 step;
    UInt8 phase;
};

inline bool IsSimilar(const FillContextRec& ctx, const PixRec& p) {
    return std::abs(SInt32(p.red) - ctx.orig.red) < ctx.maxDelta &&
           std::abs(SInt32(p.green) - ctx.orig.green) < ctx.maxDelta &&
           std::abs(SInt32(p.blue) - ctx.orig.blue) < ctx.maxDelta;
}

inline bool IsDone(const FillContextRec& ctx, const PixRec& p) {
    return p.red == ctx.fill.red && p.green == ctx.fill.green && p.blue == ctx.fill.blue;
}

inline bool ShouldFill(const FillContextRec& ctx, const PixRec& p) {
    return IsSimilar(ctx, p) && !IsDone(ctx, p);
}

// Fills (x, y), then steps in direction step while the next pixel exists, is similar and is
// not done, filling it. Returns the last column filled.
SInt32 ScanSpan(const FillContextRec& ctx, SInt32 x, SInt32 y, SInt32 step) {
    PixRec* p = ctx.buffer.At(x, y);
    *p = ctx.fill;
    const SInt32 limit = step < 0 ? 0 : ctx.buffer.width - 1;
    while (x != limit && ShouldFill(ctx, p[step])) {
        p += step;
        x += step;
        *p = ctx.fill;
    }
    return x;
}

// One scan from (x, y) in direction step and every scan it starts, depth-first.
void RunScans(const FillContextRec& ctx, std::vector<FillScanRec>& stack, SInt32 x, SInt32 y, SInt32 step) {
    const SInt32 last = ScanSpan(ctx, x, y, step);
    stack.push_back(FillScanRec{y, x, last, SInt8(step), 0});
    while (!stack.empty()) {
        FillScanRec& scan = stack.back();
        const SInt32 col = scan.col;
        SInt32 nextRow = -1;
        if (scan.phase == 0) {
            scan.phase = 1;
            if (scan.y > 0) nextRow = scan.y - 1;
        } else if (scan.phase == 1) {
            scan.phase = 2;
            if (scan.y < ctx.buffer.height - 1) nextRow = scan.y + 1;
        } else {
            if (scan.col == scan.lastCol) {
                stack.pop_back();
            } else {
                scan.col += scan.step;
                scan.phase = 0;
            }
            continue;
        }
        if (nextRow >= 0 && ShouldFill(ctx, *ctx.buffer.At(col, nextRow))) {
            const SInt32 end = ScanSpan(ctx, col, nextRow, -1);
            stack.push_back(FillScanRec{nextRow, col, end, -1, 0});
        }
    }
}

} // namespace

void FillGW(GWorldPtr theGW, RGBColor fillColor, SInt16 x, SInt16 y, SInt16 alpha, SInt16 maxDelta) {
    if (!theGW) return;
    PixelAccessRec buffer(theGW);
    if (!buffer.Contains(x, y)) return;
    const FillContextRec ctx{buffer,
                             PixRec{UInt8(alpha), UInt8(fillColor.red >> 8), UInt8(fillColor.green >> 8),
                                    UInt8(fillColor.blue >> 8)},
                             *buffer.At(x, y), maxDelta};
    std::vector<FillScanRec> stack;
    stack.reserve(size_t(buffer.height) * 2);
    RunScans(ctx, stack, x, y, -1);
    RunScans(ctx, stack, x, y, +1);
}
