// A render pass keeps its own copy of the configuration and the clip's fades; each frame
// is fetched, processed into the host's frame (straight into it where that gives the same
// pixels, else into a scratch buffer that is then copied there) and, inside a fade, covered
// by the unprocessed frame with the fade's opacity.
#include "host/RenderPass.h"

#include "host/EffectLayer.h"
#include "host/iMovieGlue.h"
#include "model/DataHandling.h"
#include "render/callPixelFX.h"
#include "render/pixelAccess.h"
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

// The unprocessed frame, kept while a fade frame is processed so that it can be laid over
// the result.
struct FadeCopyRec {
    GWorldPtr world = nullptr;

    FadeCopyRec() = default;
    ~FadeCopyRec() {
        if (world) DisposeGWorld(world);
    }
    FadeCopyRec(const FadeCopyRec&) = delete;
    FadeCopyRec& operator=(const FadeCopyRec&) = delete;

    // Copies rect of the source; false when no buffer can be had, with or without an error code.
    bool Take(GWorldPtr source, const Rect& rect) {
        if (NewGWorld(&world, 32, &rect, nullptr, nullptr, 0) != noErr || !world) return false;
        CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(world), &rect, &rect, srcCopy,
                 nullptr);
        return true;
    }
};

// Asks the host for the frame at frameRect's size.
HYPluginResult FetchFrame(HYPluginParams* params, SInt32 frame, GWorldPtr& source, void*& cookie) {
    SInt16 height = SInt16(params->frameRect.bottom - params->frameRect.top);
    SInt16 width = SInt16(params->frameRect.right - params->frameRect.left);
    SInt16 volume = 0;
    return params->procs->GetFrame(params->instance, frame, &source, width, height,
                                   FrameQuality(params, height), &volume, &cookie);
}

// Gives the frame back to the host. The release's own failure is reported only where nothing
// failed before it.
HYPluginResult HandBack(HYPluginParams* params, void* cookie, HYPluginResult result) {
    HYPluginResult released = params->procs->ReleaseFrame(params->instance, cookie);
    return result == kPluginOK ? released : result;
}

// Lays the unprocessed frame over the processed one in the host's frame, through the host.
HYPluginResult BlitFade(HYPluginParams* params, GWorldPtr source, GWorldPtr fadeCopy, SInt16 opacity) {
    Rect fadeSrc = CarbonGetPortBounds(source), fadeDst = params->frameRect;
    PixelAccessRec fadeLock(fadeCopy), frameLock(params->frame);
    return params->procs->Blit(GetGWorldPixMap(fadeCopy), GetGWorldPixMap(params->frame), &fadeSrc, &fadeDst,
                               opacity);
}

// Runs the effect from the source into the pass's buffer and, where that is a scratch buffer
// rather than a view of the host's frame, copies the result into frameRect of the frame.
void ProcessInto(GWorldPtr sourceFrame, const Rect& rect, HYPluginParams* params, bool intoFrame) {
    GWorldPtr target = PassOf(params)->effectGWorld;
    PixelAccessRec targetLock(target);
    // The pass overwrites the whole buffer unless the source's extent keeps it from running.
    if (!PixelEffectWritesWholeTarget(sourceFrame, target)) {
        Rect srcRect = CarbonGetPortBounds(sourceFrame);
        CopyBits(GetPortBitMapForCopyBits(sourceFrame), GetPortBitMapForCopyBits(target), &srcRect, &rect,
                 srcCopy, nullptr);
    }
    ApplyLineArtEffect(sourceFrame, target, params);
    if (!intoFrame)
        CopyBits(GetPortBitMapForCopyBits(target), GetPortBitMapForCopyBits(params->frame), &rect,
                 &params->frameRect, srcCopy, nullptr);
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
    EffectData* data = PassOf(params);
    // Without an output buffer there is nowhere to draw: nothing is fetched, and the host's
    // Blit is never handed a null pixel map.
    if (!data || !params->frame) return kPluginBadParams;

    SavedGWorldRec saved;
    SetGWorld(params->frame, nullptr);
    gMostRecentStartFrame = params->startFrame;
    gMostRecentFrameCount = params->frameCount;
    // A frame number outside the host's range is not asked for; the pass still releases.
    SInt64 frame = SInt64(params->startFrame) + params->renderFrame;
    if (frame < 0 || frame > INT32_MAX) return HandBack(params, nullptr, kPluginOK);

    GWorldPtr source = nullptr;
    void* cookie = nullptr;
    HYPluginResult result = FetchFrame(params, SInt32(frame), source, cookie);
    if (result != kPluginOK) return HandBack(params, cookie, result);

    const SInt32 renderFrame = params->renderFrame, frameCount = params->frameCount;
    Rect area = params->frameRect;
    OffsetRect(&area, SInt16(-area.left), SInt16(-area.top));
    FadeCopyRec fade;
    if (IsFadeFrame(renderFrame, frameCount, data->fadeInFrames, data->fadeOutFrames) &&
        !fade.Take(source, area)) {
        // Without its fade the frame is not drawn, and the host must not take it for done.
        HYPluginResult released = HandBack(params, cookie, kPluginOK);
        return released == kPluginOK ? HYPluginResult(kPluginFailed) : released;
    }
    // A frame that could not be processed is not covered either: the host's frame stays untouched.
    result = ApplyEffect(source, params);
    if (result == kPluginOK && fade.world)
        result = BlitFade(params, source, fade.world,
                          FadeOpacity(renderFrame, frameCount, data->fadeInFrames, data->fadeOutFrames));
    if (result == kPluginOK && !params->proxyOnly)
        result = params->procs->MixAudio(params->instance, cookie, kAudioLevel);
    return HandBack(params, cookie, result);
}

HYPluginResult ApplyEffect(GWorldPtr sourceFrame, HYPluginParams* params) {
    EffectData* data = PassOf(params);
    Rect rect = CarbonGetPortBounds(sourceFrame);
    OffsetRect(&rect, SInt16(-rect.left), SInt16(-rect.top));
    QDErr status = noErr;
    {
        PixelAccessRec sourceLock(sourceFrame), frameLock(params->frame);
        data->effectGWorld = NewFrameView(sourceFrame, rect, params);
        bool intoFrame = data->effectGWorld != nullptr;
        if (!intoFrame) status = NewGWorld(&data->effectGWorld, 32, &rect, nullptr, nullptr, 0);
        if (status == noErr && data->effectGWorld) ProcessInto(sourceFrame, rect, params, intoFrame);
    }
    if (data->effectGWorld) {
        DisposeGWorld(data->effectGWorld);
        data->effectGWorld = nullptr;
    }
    return StatusToResult(status);
}

void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, HYPluginParams* params) {
    EffectData* data = PassOf(params);
    SavedGWorldRec saved;
    SetGWorld(targetFrame, nullptr);
    SInt16 opacity = 0;
    DoEffect(data->effectConfig, params, sourceFrame, targetFrame, params->renderFrame, data->fadeInFrames,
             data->fadeOutFrames, params->frameCount, data->sliderValues[0], data->sliderValues[1],
             data->sliderValues[2], opacity);
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
    SavedGWorldRec saved;
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
    return result;
}

PluginDataPtr GetPassConfig(HYPluginParams* params) {
    EffectData* data = params ? PassOf(params) : nullptr;
    return data ? data->effectConfig : nullptr;
}
