#include "host/iMovieGlue.h"

#include "render/pixelAccess.h"

#include <algorithm>
#include <cstdint>

SInt32 PinFrameIndex(SInt64 frameIndex) {
    return SInt32(std::clamp<SInt64>(frameIndex, INT32_MIN, INT32_MAX));
}

HYRefDVQuality FrameQuality(const HYPluginParams* params, SInt32 height) {
    return params->proxyOnly && height <= kProxyQualityMaxRows ? kDVLowQuality : kDVHighQuality;
}

SInt16 GetFrameIntoGW(GWorldPtr theGW, HYPluginParams* params, SInt32 frameIndex, SInt16 disposeAfterUse) {
    Rect frameRect = CarbonGetPortBounds(theGW);
    SInt16 width = SInt16(frameRect.right - frameRect.left),
           height = SInt16(frameRect.bottom - frameRect.top);
    SInt64 absolute = SInt64(frameIndex) + params->startFrame;
    if (absolute < 0 || absolute > INT32_MAX) return -1;

    GWorldPtr clip = nullptr;
    SInt16 volume = 0;
    void* cookie = nullptr;
    HYPluginResult result = params->procs->GetFrame(params->instance, SInt32(absolute), &clip, width, height,
                                                    FrameQuality(params, height), &volume, &cookie);
    // A failed fetch is reported as such even if the host handed something out with it.
    if (result != kPluginOK) {
        if (cookie) params->procs->ReleaseFrame(params->instance, cookie);
        return result;
    }
    if (clip) {
        {
            PixelAccessRec clipLock(clip), frameLock(params->frame);
            Rect clipRect = CarbonGetPortBounds(clip);
            CopyBits(GetPortBitMapForCopyBits(clip), GetPortBitMapForCopyBits(theGW), &clipRect, &frameRect,
                     srcCopy, nullptr);
        }
        result = params->procs->ReleaseFrame(params->instance, cookie);
        if (disposeAfterUse > 0) DisposeGWorld(clip);
    }
    return result;
}
