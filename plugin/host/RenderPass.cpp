// A render pass keeps its own copy of the configuration and the clip's fades; each frame
// is fetched, processed into the host's frame (straight into it where that gives the same
// pixels, else into a scratch buffer that is then copied there) and, inside a fade, covered
// by the unprocessed frame with the fade's opacity.
#include "host/RenderPass.h"

#include "host/EffectLayer.h"
#include "host/iMovieGlue.h"
#include "model/DataHandling.h"
#include "render/callPixelFX.h"
#include "render/pixelBuffers.h"
#include "render/pixelEffect.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr SInt32 kAudioLevel = 256;

EffectData* PassOf(HYPluginParams* params) {
    return static_cast<EffectData*>(params->clientData);
}

// Frees a pass's configuration copy and what the copy owns.
void DropConfigCopy(HYPluginParams* params, PluginDataPtr config) {
    if (!config) return;
    pUncopyConfig(config);
    params->procs->DisposePtr(reinterpret_cast<Ptr>(config));
}

// With both fades set each gets at most half the clip; a single fade at most the clip. A
// clip of no frames has no fades.
void ClampFades(EffectData& data, SInt32 n) {
    data.fadeInFrames = std::max<SInt32>(data.fadeInFrames, 0);
    data.fadeOutFrames = std::max<SInt32>(data.fadeOutFrames, 0);
    if (n < 1) {
        data.fadeInFrames = data.fadeOutFrames = 0;
    } else if (data.fadeInFrames != 0 && data.fadeOutFrames != 0) {
        SInt32 half = n / 2;
        if (data.fadeInFrames > half) data.fadeInFrames = half;
        if (data.fadeOutFrames > half) data.fadeOutFrames = half;
    } else if (data.fadeInFrames > n) {
        data.fadeInFrames = n;
    } else if (data.fadeOutFrames > n) {
        data.fadeOutFrames = n;
    }
}

struct SavedPortRec {
    CGrafPtr port;
    GDHandle device;
    SavedPortRec() { GetGWorld(&port, &device); }
    void Restore() const { SetGWorld(port, device); }
};

HYPluginResult StatusToResult(QDErr status) {
    if (status == noErr) return kPluginOK;
    return status == memFullErr ? kPluginOutOfMemory : kPluginFailed;
}

bool Contains(const Rect& outer, const Rect& inner) {
    return inner.top >= outer.top && inner.left >= outer.left && inner.bottom <= outer.bottom &&
           inner.right <= outer.right;
}

// The bytes a buffer's pixels span.
struct SpanRec {
    const UInt8* first;
    const UInt8* end;
    long rowBytes;
};

SpanRec PixelSpan(PixMapHandle pm, const Rect& bounds) {
    const auto* base = reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm));
    long rowBytes = GetPixRowBytes(pm);
    return {base, base + long(bounds.bottom - bounds.top - 1) * rowBytes + 4L * (bounds.right - bounds.left),
            rowBytes};
}

// Where the copy of the processed frame into the host's frame would write all of frameRect
// (inside the frame's bounds and clip) and the source has frameRect's size, the pass can
// write the frame directly: through a buffer over frameRect of the frame, of the bounds the
// scratch buffer would have, so the rectangle comes out the same. The source may be those
// very pixels (the pass works in place), but not others of the frame, which the pass would
// overwrite before it reads them. Null when the scratch buffer is needed.
GWorldPtr NewFrameView(GWorldPtr source, const Rect& rect, const HYPluginParams* params) {
    const Rect& fr = params->frameRect;
    PixMapHandle framePix = GetGWorldPixMap(params->frame);
    if (!framePix || GetPixDepth(framePix) != 32 || !GetPixBaseAddr(framePix) || rect.right < 1 ||
        rect.bottom < 1 || fr.right - fr.left != rect.right || fr.bottom - fr.top != rect.bottom)
        return nullptr;
    RgnHandle clipRgn = NewRgn();
    if (!clipRgn) return nullptr;
    GetPortClipRegion(params->frame, clipRgn);
    Rect frameBounds = CarbonGetPortBounds(params->frame), clip = (*clipRgn)->rgnBBox;
    DisposeRgn(clipRgn);
    if (!Contains(frameBounds, fr) || !Contains(clip, fr)) return nullptr;
    long rowBytes = GetPixRowBytes(framePix);
    Ptr base = GetPixBaseAddr(framePix) + long(fr.top - frameBounds.top) * rowBytes +
               4L * (fr.left - frameBounds.left);
    GWorldPtr view = nullptr;
    if (NewGWorldFromPtr(&view, k32ARGBPixelFormat, &rect, nullptr, nullptr, 0, base, rowBytes) != noErr)
        return nullptr;
    SpanRec src = PixelSpan(GetGWorldPixMap(source), CarbonGetPortBounds(source)),
            dst = PixelSpan(GetGWorldPixMap(view), rect);
    bool apart = src.end <= dst.first || dst.end <= src.first;
    bool same = src.first == dst.first && src.rowBytes == dst.rowBytes;
    if ((apart || same) && PixelEffectWritesWholeTarget(source, view)) return view;
    DisposeGWorld(view);
    return nullptr;
}

} // namespace

// A fade covers only the frames on its own side of the clip, those outside it included.
bool IsFadeFrame(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeInFrames, SInt32 fadeOutFrames) {
    if (fadeInFrames > 0 && renderFrame < fadeInFrames) return true;
    return fadeOutFrames > 0 && SInt64(renderFrame) > SInt64(frameCount) - fadeOutFrames;
}

SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeInFrames, SInt32 fadeOutFrames) {
    double percent = fadeInFrames > 0 && renderFrame < fadeInFrames
                         ? double(renderFrame) / double(fadeInFrames)
                         : (double(frameCount) - double(renderFrame)) / double(fadeOutFrames);
    // Frames before the clip's start or past its end give percentages outside 0..1.
    double opacity = std::clamp((1.0 - percent) * 255.0, 0.0, 255.0);
    return SInt16(opacity);
}

HYPluginResult EffectBegin(short, HYPluginParams* params) {
    bool freshPass = params->clientData == nullptr;
    if (freshPass) {
        params->clientData = params->procs->NewPtrClear(SInt32(sizeof(EffectData)));
        if (!params->clientData) return kPluginOutOfMemory;
    }
    EffectData* data = PassOf(params);

    // The new copy is made before the old one goes, so a failure leaves the pass as it was.
    UInt32 size = 0;
    pGetConfigSize(size);
    auto config = reinterpret_cast<PluginDataPtr>(params->procs->NewPtrClear(SInt32(size)));
    if (!config) {
        if (freshPass) {
            params->procs->DisposePtr(static_cast<Ptr>(params->clientData));
            params->clientData = nullptr;
        }
        return kPluginOutOfMemory;
    }
    pCopyConfig(gMasterConfig, config);
    DropConfigCopy(params, data->effectConfig);
    data->effectConfig = config;
    data->effectSourceCount = 1;

    HYPluginFilterInfo* info = nullptr;
    HYPluginResult result = params->procs->GetFilterInfo(params->instance, &info);
    if (info) {
        data->fadeInFrames = info->fadeInFrames;
        data->fadeOutFrames = info->fadeOutFrames;
        std::copy(info->sliderValues, info->sliderValues + 3, data->sliderValues);
        params->procs->ReleaseFilterInfo(params->instance, info);
    }
    ClampFades(*data, params->frameCount);
    data->effectGWorld = nullptr;
    return result;
}

HYPluginResult EffectDrive(short, HYPluginParams* params) {
    HYPluginResult result = kPluginOK;
    QDErr allocStatus = noErr;
    GWorldPtr fadeCopy = nullptr;
    SInt16 opacity = 0;
    void* cookie = nullptr;
    EffectData* data = PassOf(params);
    // Without an output buffer there is nowhere to draw: nothing is fetched, and the host's
    // Blit is never handed a null pixel map.
    if (!data || !params->frame) return kPluginBadParams;

    SavedPortRec saved;
    SetGWorld(params->frame, nullptr);
    SInt16 height = SInt16(params->frameRect.bottom - params->frameRect.top);
    SInt16 width = SInt16(params->frameRect.right - params->frameRect.left);
    SInt64 frame = SInt64(params->startFrame) + params->renderFrame;
    gMostRecentStartFrame = params->startFrame;
    gMostRecentFrameCount = params->frameCount;

    if (frame >= 0 && frame <= INT32_MAX) {
        GWorldPtr source = nullptr;
        SInt16 volume = 0;
        result = params->procs->GetFrame(params->instance, SInt32(frame), &source, width, height,
                                         FrameQuality(params, height), &volume, &cookie);
        if (result == kPluginOK) do {
                Rect srcRect = params->frameRect;
                OffsetRect(&srcRect, SInt16(-srcRect.left), SInt16(-srcRect.top));
                if (IsFadeFrame(params->renderFrame, params->frameCount, data->fadeInFrames,
                                data->fadeOutFrames)) {
                    allocStatus = NewGWorld(&fadeCopy, 32, &srcRect, nullptr, nullptr, 0);
                    if (allocStatus != noErr || !fadeCopy) {
                        if (allocStatus == noErr) allocStatus = paramErr;
                        break;
                    }
                    CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(fadeCopy), &srcRect,
                             &srcRect, srcCopy, nullptr);
                    opacity = FadeOpacity(params->renderFrame, params->frameCount, data->fadeInFrames,
                                          data->fadeOutFrames);
                }
                // A frame that could not be processed is not covered either: the host's frame stays
                // untouched.
                result = ApplyEffect(source, params);
                if (result != kPluginOK) break;
                if (fadeCopy) {
                    Rect fadeSrc = CarbonGetPortBounds(source), fadeDst = params->frameRect;
                    PixMapHandle fadePix = GetGWorldPixMap(fadeCopy),
                                 framePix = GetGWorldPixMap(params->frame);
                    GWorldFlags fadeState = GetPixelsState(fadePix), frameState = GetPixelsState(framePix);
                    LockPixels(fadePix);
                    LockPixels(framePix);
                    HYPluginResult blitResult =
                        params->procs->Blit(fadePix, framePix, &fadeSrc, &fadeDst, opacity);
                    SetPixelsState(framePix, frameState);
                    SetPixelsState(fadePix, fadeState);
                    result = blitResult;
                    if (result != kPluginOK) break;
                }
                if (result == kPluginOK && !params->proxyOnly)
                    result = params->procs->MixAudio(params->instance, cookie, kAudioLevel);
            } while (false);
    }

    HYPluginResult released = params->procs->ReleaseFrame(params->instance, cookie);
    if (result == kPluginOK) result = released;
    if (fadeCopy) DisposeGWorld(fadeCopy);
    saved.Restore();
    if (result == kPluginOK && allocStatus != noErr) result = kPluginFailed;
    return result;
}

HYPluginResult ApplyEffect(GWorldPtr sourceFrame, HYPluginParams* params) {
    EffectData* data = PassOf(params);
    Rect rect = CarbonGetPortBounds(sourceFrame);
    OffsetRect(&rect, SInt16(-rect.left), SInt16(-rect.top));
    PixMapHandle srcPix = GetGWorldPixMap(sourceFrame), framePix = GetGWorldPixMap(params->frame);
    GWorldFlags srcState = GetPixelsState(srcPix), frameState = GetPixelsState(framePix);
    LockPixels(srcPix);
    LockPixels(framePix);

    data->effectGWorld = NewFrameView(sourceFrame, rect, params);
    bool intoFrame = data->effectGWorld != nullptr;
    QDErr status = intoFrame ? QDErr(noErr) : NewGWorld(&data->effectGWorld, 32, &rect, nullptr, nullptr, 0);
    if (status == noErr && data->effectGWorld) {
        PixMapHandle fxPix = GetGWorldPixMap(data->effectGWorld);
        GWorldFlags fxState = GetPixelsState(fxPix);
        LockPixels(fxPix);
        // The pass overwrites the whole buffer unless the source's extent keeps it from running.
        if (!PixelEffectWritesWholeTarget(sourceFrame, data->effectGWorld)) {
            Rect srcRect = CarbonGetPortBounds(sourceFrame);
            CopyBits(GetPortBitMapForCopyBits(sourceFrame), GetPortBitMapForCopyBits(data->effectGWorld),
                     &srcRect, &rect, srcCopy, nullptr);
        }
        ApplyLineArtEffect(sourceFrame, data->effectGWorld, params);
        if (!intoFrame)
            CopyBits(GetPortBitMapForCopyBits(data->effectGWorld), GetPortBitMapForCopyBits(params->frame),
                     &rect, &params->frameRect, srcCopy, nullptr);
        SetPixelsState(fxPix, fxState);
    }
    SetPixelsState(framePix, frameState);
    SetPixelsState(srcPix, srcState);
    if (data->effectGWorld) {
        DisposeGWorld(data->effectGWorld);
        data->effectGWorld = nullptr;
    }
    return StatusToResult(status);
}

void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, HYPluginParams* params) {
    EffectData* data = PassOf(params);
    SavedPortRec saved;
    SetGWorld(targetFrame, nullptr);
    SInt16 opacity = 0;
    DoEffect(data->effectConfig, params, sourceFrame, targetFrame, params->renderFrame, data->fadeInFrames,
             data->fadeOutFrames, params->frameCount, data->sliderValues[0], data->sliderValues[1],
             data->sliderValues[2], opacity);
    saved.Restore();
}

HYPluginResult EffectEnd(short, HYPluginParams* params) {
    EffectData* data = PassOf(params);
    if (!data) return kPluginOK;
    if (data->effectGWorld) {
        DisposeGWorld(data->effectGWorld);
        data->effectGWorld = nullptr;
    }
    DropConfigCopy(params, data->effectConfig);
    params->procs->DisposePtr(static_cast<Ptr>(params->clientData));
    params->clientData = nullptr;
    return kPluginOK;
}

// The placeholder runs a pass of its own on a private copy of the block, with no pass
// record of the caller's: the caller's block and any pass open on it stay untouched. Like a
// frame, it needs an output buffer.
HYPluginResult MakeEffectPlaceHolder(short which, HYPluginParams* params) {
    if (!params->frame) return kPluginBadParams;
    SavedPortRec saved;
    SetGWorld(params->frame, nullptr);
    HYPluginParams copy = *params;
    copy.clientData = nullptr;
    copy.renderFrame = params->getInfo.bestThumbOffset;
    copy.selector = kPlugInitialize;
    HYPluginResult result = EffectBegin(which, &copy);
    if (result == kPluginOK) {
        copy.selector = kPlugDoFrame;
        EffectDrive(which, &copy);
    }
    // A pass that opened but failed (GetFilterInfo) is closed too, so nothing is left behind.
    copy.selector = kPlugTerminate;
    EffectEnd(which, &copy);
    saved.Restore();
    return result;
}

PluginDataPtr GetPassConfig(HYPluginParams* params) {
    EffectData* data = params ? PassOf(params) : nullptr;
    return data ? data->effectConfig : nullptr;
}
