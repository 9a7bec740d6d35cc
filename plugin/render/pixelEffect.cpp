#include "render/pixelEffect.h"

#include "render/pixelAccess.h"
#include "render/pixelKernels.h"

#include <algorithm>
#include <cstring>

namespace {

// The pass runs only between buffers of one extent, anchored alike and not empty.
bool SameExtent(const Rect& src, const Rect& dst) {
    SInt32 width = SInt32(src.right) - src.left, height = SInt32(src.bottom) - src.top;
    return src.right == dst.right && src.bottom == dst.bottom && width == SInt32(dst.right) - dst.left &&
           height == SInt32(dst.bottom) - dst.top && width > 0 && height > 0;
}

void CopyPixelsOfRow(const UInt8* src, UInt8* dst, SInt32 count) {
    if (count > 0 && src != dst) std::memmove(dst, src, size_t(count) * 4);
}

} // namespace

bool PixelEffectWritesWholeTarget(GWorldPtr source, GWorldPtr dest) {
    PixMapHandle srcPix = GetGWorldPixMap(source), dstPix = GetGWorldPixMap(dest);
    return srcPix && dstPix && GetPixBaseAddr(srcPix) && GetPixBaseAddr(dstPix) &&
           SameExtent(CarbonGetPortBounds(source), CarbonGetPortBounds(dest));
}

void PixelDrive(GWorldPtr source, GWorldPtr dest, Rect theRect, PluginDataPtr theConfig, SInt32 currentFrame,
                SInt32 numFrames, double s1, double s2, double s3) {
    ThePixelEffect(source, dest, theRect, true, theConfig, currentFrame, numFrames, s1, s2, s3);
}

// The frame numbers and the host's slider values travel along but do not change the picture.
void ThePixelEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean, PluginDataPtr theConfig,
                    SInt32, SInt32, double, double, double) {
    SavedGWorldRec saved;
    PixelEffect(source, dest, activeRect, true, theConfig);
}

void PixelEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest,
                 PluginDataPtr theConfig) {
    if (!dest) dest = source;
    if (!source || !theConfig) return;
    // Put back in the reverse order of taking: when source and dest are one buffer, it ends in
    // the state it had before the call.
    PixelAccessRec src(source), dst(dest);
    if (!src.Usable() || !dst.Usable() || !SameExtent(src.bounds, dst.bounds)) return;

    EffectSetupRec setup;
    PrepareEffect(setup, theConfig->sliders[1], theConfig->sliders[2], theConfig->sliders[3]);
    EffectKernelProc kernel = ChooseEffectKernel(setup).proc;
    const SInt32 width = src.width, height = src.height;
    // The rectangle, half-open, in columns and rows counted from the buffer's top-left.
    SInt32 left = std::clamp<SInt32>(SInt32(activeRect.left) - src.bounds.left, 0, width);
    SInt32 right = std::clamp<SInt32>(SInt32(activeRect.right) - src.bounds.left, left, width);
    SInt32 top = std::clamp<SInt32>(SInt32(activeRect.top) - src.bounds.top, 0, height);
    SInt32 bottom = std::clamp<SInt32>(SInt32(activeRect.bottom) - src.bounds.top, top, height);
    for (SInt32 y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const UInt8*>(src.Row(y));
        auto* out = reinterpret_cast<UInt8*>(dst.Row(y));
        bool inRows = y >= top && y < bottom && right > left;
        if (!inRows) {
            if (copyRest) CopyPixelsOfRow(in, out, width);
            continue;
        }
        if (copyRest) {
            CopyPixelsOfRow(in, out, left);
            CopyPixelsOfRow(in + 4 * right, out + 4 * right, width - right);
        }
        kernel(in + 4 * left, out + 4 * left, right - left, setup);
    }
}
