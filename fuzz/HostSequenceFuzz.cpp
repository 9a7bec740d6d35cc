// Fuzz target: the plug-in as a host drives it. The bundle is loaded as a host loads it and its
// exported `main` is called with sequences of selectors on two parameter blocks, whose fields
// (interface version, frame numbers and counts, proxy flag, frame rectangle, output buffer,
// the clip's fades and sliders, the host's answers) come from the input. The host's callbacks
// hand out memory and frames of their own and check everything the plug-in gives back: blocks
// for DisposePtr, cookies for ReleaseFrame and MixAudio, filter info for ReleaseFilterInfo,
// pixel maps for Blit. After every sequence each block, frame and filter info must be back,
// except the master configuration record, which lives as long as the plug-in is loaded.
//
// Input: a failure plan, then steps until the input ends (missing bytes read as zero).
//   plan:  for each of NewPtrClear, GetFrame, ReleaseFrame, Blit, MixAudio, GetFilterInfo and
//          ReleaseFilterInfo a 16-bit mask (bit n: the callback's calls n, n + 16, ... fail)
//          and a result byte (the failure's code, 1 + byte % 11; NewPtrClear answers NULL).
//   step:  op byte: bits 0-3 the call (see Step), bit 4 the block; edits byte: a bit per group
//          of fields to set first, each followed by its values (see ApplyEdits).
// The configuration button opens the modal dialog headless with an empty script, so its
// loop ends at once as if Cancel were pressed.
#include "common/Blit.h"
#include "common/BundleLoader.h"
#include "common/HostProcs.h"

#include "toolbox/InputSources.h"
#include "toolbox/QuickDraw.h"

#include <sanitizer/common_interface_defs.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

namespace {

// ---- Input ----

struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool AtEnd() const { return at >= size; }
    uint8_t U8() { return at < size ? data[at++] : 0; }
    uint16_t U16() { return uint16_t(U8() | U8() << 8); }
    uint32_t U32() { return uint32_t(U16()) | uint32_t(U16()) << 16; }
    SInt16 S16() { return SInt16(U16()); }
    SInt32 S32() { return SInt32(U32()); }
};

// ---- Host state ----

enum CallbackIndex {
    kNewPtrClear,
    kGetFrame,
    kReleaseFrame,
    kBlit,
    kMixAudio,
    kGetFilterInfo,
    kReleaseFilterInfo,
    kCallbackCount
};

struct FailurePlanRec {
    std::array<uint16_t, kCallbackCount> masks{};
    std::array<HYPluginResult, kCallbackCount> results{};
    std::array<unsigned, kCallbackCount> calls{};
};

// How GetFrame answers: the requested size, a size off by (dx, dy), success without a frame,
// or a failure that still hands out a frame and cookie.
enum FrameMode : uint8_t { kExactFrame, kOffSizeFrame, kNoFrame, kFailWithFrame, kFrameModeCount };

// A pixel buffer of the host's own memory.
struct HostBufferRec {
    GWorldPtr world = nullptr;
    void* pixels = nullptr;
};

// One parameter block and the clip the host renders with it.
struct BlockRec {
    HYPluginParams params{};
    HostBufferRec output;
    HYPluginFilterInfo filterInfo{};
    bool deliverFilterInfo = true;
    FrameMode frameMode = kExactFrame;
    SInt8 dx = 0, dy = 0;
};

// Frames above this many pixels are refused, as a host short of memory would.
constexpr long kMaxFramePixels = long(1) << 19;
constexpr int kMaxSteps = 64;
constexpr SInt32 kMaxBlockBytes = SInt32(1) << 24;

HYProcs gProcs;
hosts::LoadedBundle gBundle;
std::array<BlockRec, 2> gBlocks;
BlockRec* gCurrent = nullptr; // the block of the call in progress
FailurePlanRec gPlan;
bool gPlanActive = false;
std::map<void*, SInt32> gLiveBlocks;
void* gMasterBlock = nullptr;
std::set<HostBufferRec*> gOutstandingFrames; // cookies
std::set<HYPluginFilterInfo*> gOutstandingInfos;
int gNull = -1;
int gReportFd = 2;   // standard error as it was, also while the dialog's is silenced
bool gTrace = false; // FUZZ_HOST_TRACE set: every call of main is listed, to follow a finding

[[noreturn]] void Fail(const char* what) {
    dprintf(gReportFd, "fuzz host: %s\n", what);
    std::abort();
}

// Whether this call of the callback fails, and with which result.
bool Failing(CallbackIndex which, HYPluginResult& result) {
    unsigned n = gPlan.calls[which]++;
    if (!gPlanActive || !(gPlan.masks[which] >> (n % 16) & 1)) return false;
    result = gPlan.results[which];
    return true;
}

void CheckInstance(void* instance) {
    if (!gCurrent || instance != &gCurrent->params)
        Fail("a callback got an instance that is not the block's");
}

bool MakeHostBuffer(HostBufferRec& buffer, int width, int height, int padPixels) {
    buffer = {};
    if (width < 1 || height < 1 || width > 4095 || long(width) * height > kMaxFramePixels) return false;
    long rowBytes = 4L * (width + padPixels);
    if (rowBytes > 0x3FFF) rowBytes = 4L * width;
    buffer.pixels = std::calloc(size_t(rowBytes) * size_t(height), 1);
    if (!buffer.pixels) return false;
    Rect bounds{0, 0, SInt16(height), SInt16(width)};
    if (NewGWorldFromPtr(&buffer.world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                         static_cast<Ptr>(buffer.pixels), rowBytes) != noErr) {
        std::free(buffer.pixels);
        buffer = {};
        return false;
    }
    return true;
}

void FreeHostBuffer(HostBufferRec& buffer) {
    if (buffer.world) DisposeGWorld(buffer.world);
    std::free(buffer.pixels);
    buffer = {};
}

// ---- Callbacks ----

Ptr FuzzNewPtr(SInt32 byteCount, bool clear) {
    if (byteCount < 0 || byteCount > kMaxBlockBytes) Fail("a block of an impossible size was asked for");
    HYPluginResult ignored;
    if (Failing(kNewPtrClear, ignored)) return nullptr;
    // Exactly the size asked for, so that the sanitizer sees any access past the end.
    size_t bytes = byteCount ? size_t(byteCount) : 1;
    void* block = clear ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (!block) Fail("out of memory");
    gLiveBlocks[block] = byteCount;
    return static_cast<Ptr>(block);
}

Ptr FuzzNewPtrClear(SInt32 byteCount) {
    return FuzzNewPtr(byteCount, true);
}

Ptr FuzzNewPtrUncleared(SInt32 byteCount) {
    return FuzzNewPtr(byteCount, false);
}

void FuzzDisposePtr(Ptr block) {
    if (!block) return;
    if (!gLiveBlocks.erase(block)) Fail("DisposePtr got a block the host did not hand out or had freed");
    std::free(block);
}

HYPluginResult FuzzGetFrame(void* instance, SInt32 frameIndex, GWorldPtr* outFrame, SInt16 width,
                            SInt16 height, HYRefDVQuality quality, SInt16* outVolume, void** outCookie) {
    CheckInstance(instance);
    if (!outFrame || !outCookie || !outVolume) Fail("GetFrame got a null out pointer");
    if (quality > kDVHighQualitySingleField) Fail("GetFrame got an unknown quality");
    BlockRec& block = *gCurrent;
    HYPluginResult result = kPluginOK;
    bool failing = Failing(kGetFrame, result);
    if (failing && block.frameMode != kFailWithFrame) return result;
    if (block.frameMode == kNoFrame) {
        *outFrame = nullptr;
        return result;
    }
    if (frameIndex < 0) return kPluginCantGetNeededFrame;
    int w = width, h = height;
    if (block.frameMode == kOffSizeFrame) {
        w += block.dx;
        h += block.dy;
    }
    auto* frame = new HostBufferRec;
    if (!MakeHostBuffer(*frame, w, h, frameIndex & 3)) {
        delete frame;
        return kPluginCantGetNeededFrame;
    }
    auto* bytes = static_cast<UInt8*>(frame->pixels);
    long rowBytes = GetPixRowBytes(GetGWorldPixMap(frame->world));
    for (int y = 0; y < h; ++y)
        std::memset(bytes + rowBytes * y, int((unsigned(y) * 7 + unsigned(frameIndex)) & 0xFF),
                    size_t(rowBytes));
    gOutstandingFrames.insert(frame);
    *outFrame = frame->world;
    *outCookie = frame;
    *outVolume = 100;
    return result;
}

HYPluginResult FuzzReleaseFrame(void* instance, void* cookie) {
    CheckInstance(instance);
    if (cookie) {
        auto* frame = static_cast<HostBufferRec*>(cookie);
        if (!gOutstandingFrames.erase(frame)) Fail("ReleaseFrame got a cookie that is not out");
        FreeHostBuffer(*frame);
        delete frame;
    }
    HYPluginResult result = kPluginOK;
    Failing(kReleaseFrame, result);
    return result;
}

HYPluginResult FuzzMixAudio(void* instance, void* cookie, SInt32 level) {
    CheckInstance(instance);
    if (!gOutstandingFrames.count(static_cast<HostBufferRec*>(cookie)))
        Fail("MixAudio got a cookie that is not out");
    if (level != 256) Fail("MixAudio got a level other than 256");
    HYPluginResult result = kPluginOK;
    Failing(kMixAudio, result);
    return result;
}

// A locked 32-bit pixel map of a live buffer, all of whose bytes can be read.
void CheckPixMap(PixMapHandle pm, const char* which) {
    if (!pm || !*pm) Fail(which);
    if (!(GetPixelsState(pm) & pixelsLocked)) Fail("Blit got a pixel map that is not locked");
    const PixMap& map = **pm;
    long rowBytes = GetPixRowBytes(pm);
    int width = map.bounds.right - map.bounds.left, height = map.bounds.bottom - map.bounds.top;
    if (!map.baseAddr || map.pixelSize != 32 || width < 1 || height < 1 || rowBytes < 4L * width)
        Fail("Blit got a pixel map that describes no buffer");
    volatile UInt8 first = UInt8(map.baseAddr[0]);
    volatile UInt8 last = UInt8(map.baseAddr[rowBytes * (height - 1) + 4L * width - 1]);
    (void)first;
    (void)last;
}

HYPluginResult FuzzBlit(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect,
                        SInt16 opacity) {
    if (!gCurrent || !gCurrent->params.frame || dst != GetGWorldPixMap(gCurrent->params.frame))
        Fail("Blit got a destination that is not the block's frame");
    CheckPixMap(src, "Blit got no source pixel map");
    CheckPixMap(dst, "Blit got no destination pixel map");
    if (src == dst) Fail("Blit got the frame as its own source");
    if (!srcRect || !dstRect) Fail("Blit got a null rectangle");
    if (std::memcmp(dstRect, &gCurrent->params.frameRect, sizeof(Rect)) != 0)
        Fail("Blit got a destination rectangle other than frameRect");
    if (opacity < 0 || opacity > 255) Fail("Blit got an opacity outside 0..255");
    HYPluginResult result = kPluginOK;
    if (Failing(kBlit, result)) return result;
    return hosts::BlitPixMaps(src, dst, srcRect, dstRect, opacity);
}

HYPluginResult FuzzGetFilterInfo(void* instance, HYPluginFilterInfo** outInfo) {
    CheckInstance(instance);
    if (!outInfo) Fail("GetFilterInfo got a null out pointer");
    HYPluginResult result = kPluginOK;
    Failing(kGetFilterInfo, result);
    *outInfo = nullptr;
    if (gCurrent->deliverFilterInfo) {
        auto* info = static_cast<HYPluginFilterInfo*>(std::malloc(sizeof(HYPluginFilterInfo)));
        if (!info) Fail("out of memory");
        *info = gCurrent->filterInfo;
        gOutstandingInfos.insert(info);
        *outInfo = info;
    }
    return result;
}

HYPluginResult FuzzReleaseFilterInfo(void* instance, HYPluginFilterInfo* info) {
    CheckInstance(instance);
    if (!gOutstandingInfos.erase(info)) Fail("ReleaseFilterInfo got filter info that is not out");
    std::free(info);
    HYPluginResult result = kPluginOK;
    Failing(kReleaseFilterInfo, result);
    return result;
}

// ---- Driving the plug-in ----

// The dialog says on standard error that its script has run out; keep that off the fuzzer's
// output. Sanitizer reports and the host's own go to a copy of standard error.
struct QuietStderr {
    int saved = -1;
    explicit QuietStderr(bool quiet) {
        if (!quiet) return;
        saved = dup(2);
        dup2(gNull, 2);
    }
    ~QuietStderr() {
        if (saved < 0) return;
        dup2(saved, 2);
        close(saved);
    }
};

int CallMain(BlockRec& block, HYPluginSelector selector) {
    block.params.selector = selector;
    gCurrent = &block;
    const bool tooOld = SInt16(block.params.interfaceVersion) <= 3;
    const std::map<void*, SInt32> blocksBefore = tooOld ? gLiveBlocks : std::map<void*, SInt32>{};
    const std::array<unsigned, kCallbackCount> callsBefore = gPlan.calls;
    int result;
    {
        QuietStderr quiet(selector == kPlugCustomButtonClick);
        result = gBundle.Call(selector, &block.params);
    }
    gCurrent = nullptr;
    if (gTrace) {
        const HYPluginParams& p = block.params;
        dprintf(gReportFd,
                "block %d selector %d version %d start %d render %d count %d proxy %d rect %d,%d,%d,%d "
                "frame %s fades %d/%d -> %d\n",
                int(&block - gBlocks.data()), selector, p.interfaceVersion, p.startFrame, p.renderFrame,
                p.frameCount, p.proxyOnly, p.frameRect.top, p.frameRect.left, p.frameRect.bottom,
                p.frameRect.right, p.frame ? "yes" : "none", block.filterInfo.fadeInFrames,
                block.filterInfo.fadeOutFrames, result);
    }
    if (result < kPluginOK || result > kPluginAppIsTooNew) Fail("main answered an unknown result");
    if (tooOld) {
        if (result != kPluginAppIsTooOld) Fail("a host older than version 4 was not refused");
        if (gPlan.calls != callsBefore || gLiveBlocks != blocksBefore)
            Fail("a refused call still called the host");
    }
    return result;
}

// Sets the groups of fields that the edits byte names, in bit order.
void ApplyEdits(ByteReader& in, BlockRec& block) {
    uint8_t edits = in.U8();
    HYPluginParams& p = block.params;
    if (edits & 0x01) p.interfaceVersion = in.S16();
    if (edits & 0x02) p.startFrame = in.S32();
    if (edits & 0x04) p.renderFrame = in.S32();
    if (edits & 0x08) p.frameCount = in.S32();
    if (edits & 0x10) {
        p.proxyOnly = in.U8() & 1;
        p.frameRect = Rect{in.S16(), in.S16(), in.S16(), in.S16()};
    }
    if (edits & 0x20) { // a new output buffer; none when it cannot be made
        int width = in.U16() % 4200, height = in.U16() % 2048, pad = in.U8() % 5;
        FreeHostBuffer(block.output);
        MakeHostBuffer(block.output, width, height, pad);
        p.frame = block.output.world;
    }
    if (edits & 0x40) { // the clip's filter settings
        block.filterInfo.fadeInFrames = in.S32();
        block.filterInfo.fadeOutFrames = in.S32();
        for (Float32& value : block.filterInfo.sliderValues) {
            uint8_t b = in.U8();
            value = b == 255 ? __builtin_nanf("") : b == 254 ? -1e30f : Float32(b) / 200.0f;
        }
        block.deliverFilterInfo = !(in.U8() & 1);
    }
    if (edits & 0x80) { // what the host asks for and how it delivers frames
        p.getInfo.bestThumbOffset = in.S32();
        p.getInfo2.selectedFrames = in.S32();
        p.getInfo.pluginFlags = in.U32();
        block.frameMode = FrameMode(in.U8() % kFrameModeCount);
        block.dx = SInt8(in.U8());
        block.dy = SInt8(in.U8());
    }
}

// The host moves on to the next frame (past the last number there is, to the first).
void NextFrame(BlockRec& block) {
    block.params.renderFrame = SInt32(UInt32(block.params.renderFrame) + 1);
}

// The texts of the description end within their fields, so the host can read them as C strings.
void CheckDescription(const HYPluginParams& p) {
    auto terminated = [](const char* field, size_t capacity) { return std::memchr(field, 0, capacity); };
    bool ok = terminated(p.getInfo2.group, sizeof p.getInfo2.group) &&
              terminated(p.getInfo3.buttonTitle, sizeof p.getInfo3.buttonTitle);
    for (const HYPluginFilterSliderInfo& slider : p.getInfo2.filterSliders)
        ok = ok && terminated(slider.label, sizeof slider.label) &&
             terminated(slider.minLabel, sizeof slider.minLabel) &&
             terminated(slider.maxLabel, sizeof slider.maxLabel);
    if (!ok) Fail("a text of the description has no end within its field");
}

void Step(ByteReader& in) {
    uint8_t op = in.U8();
    BlockRec& block = gBlocks[op >> 4 & 1];
    ApplyEdits(in, block);
    switch (op & 0x0F) {
        case 0:
            if (CallMain(block, kPlugGetInfo) == kPluginOK) CheckDescription(block.params);
            break;
        case 1:
            CallMain(block, kPlugInitialize);
            break;
        case 2:
        case 11:
        case 12:
        case 13: // a frame, and the host moves on to the next
            CallMain(block, kPlugDoFrame);
            NextFrame(block);
            break;
        case 3:
            if (CallMain(block, kPlugTerminate) == kPluginOK && block.params.clientData)
                Fail("kPlugTerminate left the pass record");
            break;
        case 4: {
            void* clientData = block.params.clientData;
            CallMain(block, kPlugFilePlaceHolder);
            if (block.params.clientData != clientData) Fail("a placeholder changed the block's pass record");
            break;
        }
        case 5:
            CallMain(block, kPlugCustomButtonClick);
            break;
        case 6:
            CallMain(block, kPlugDrawIcon);
            break;
        case 7:
            CallMain(block, kPlugCallOnceWithInitAndTerminate);
            break;
        case 8:
            CallMain(block, HYPluginSelector(in.U8()));
            break;
        case 9:
            if (gBundle.Call(kPlugGetInfo, nullptr) != kPluginBadParams) Fail("a null block was not refused");
            break;
        default: // 10, 14, 15: a pass of its own, as a host renders a clip's frames
            CallMain(block, kPlugInitialize);
            for (int i = in.U8() % 4; i > 0; --i) {
                CallMain(block, kPlugDoFrame);
                NextFrame(block);
            }
            CallMain(block, kPlugTerminate);
            break;
    }
}

void ResetBlock(BlockRec& block, HYPluginSelector selector) {
    FreeHostBuffer(block.output);
    block = BlockRec{};
    block.params = hosts::MakeParams(&gProcs, &block.params, selector);
    // Text fields full of characters: the plug-in must end each text it writes.
    std::memset(&block.params.getInfo2, 'x', sizeof block.params.getInfo2);
    std::memset(&block.params.getInfo3, 'x', sizeof block.params.getInfo3);
    block.params.frameCount = 10;
    block.params.frameRect = Rect{0, 0, 24, 32};
    block.filterInfo = HYPluginFilterInfo{{0.5f, 0.5f, 0.5f}, 0, 0};
    if (!MakeHostBuffer(block.output, 32, 24, 0)) Fail("out of memory");
    block.params.frame = block.output.world;
}

// The plug-in remembers the start and length of the clip of the last frame it rendered; a
// frame before the clip puts them back to 0 without fetching anything, so that every
// sequence starts from the same state.
void ForgetLastClip() {
    BlockRec& block = gBlocks[0];
    ResetBlock(block, kPlugInitialize);
    block.params.frameCount = 0;
    block.params.renderFrame = -1;
    if (CallMain(block, kPlugInitialize) != kPluginOK || CallMain(block, kPlugDoFrame) != kPluginOK)
        Fail("a plain pass failed");
    CallMain(block, kPlugTerminate);
}

void CheckEverythingBack() {
    for (BlockRec& block : gBlocks)
        if (block.params.clientData) Fail("a pass record is still hung on a block after kPlugTerminate");
    if (!gOutstandingFrames.empty()) Fail("a frame was not released");
    if (!gOutstandingInfos.empty()) Fail("filter info was not released");
    if (gLiveBlocks.size() != 1 || !gLiveBlocks.count(gMasterBlock)) Fail("a block was not given back");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char dir[] = "/tmp/umbrawash-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    setenv("XDG_CONFIG_HOME", dir, 1); // the plug-in's settings file goes here
    gNull = open("/dev/null", O_WRONLY);
    gReportFd = dup(2);
    if (gNull < 0 || gReportFd < 0) std::abort();
    __sanitizer_set_report_fd(reinterpret_cast<void*>(intptr_t(gReportFd)));
    std::string error;
    if (!toolbox::UseScriptText("", error)) std::abort(); // a headless dialog
    gBundle = hosts::LoadedBundle::Open(UMBRAWASH_FUZZ_BUNDLE, error);
    if (!gBundle.IsLoaded()) {
        std::fprintf(stderr, "fuzz host: %s\n", error.c_str());
        std::abort();
    }
    gTrace = getenv("FUZZ_HOST_TRACE") != nullptr;
    gProcs = hosts::MakeDefaultProcs();
    gProcs.NewPtr = FuzzNewPtrUncleared;
    gProcs.NewPtrClear = FuzzNewPtrClear;
    gProcs.DisposePtr = FuzzDisposePtr;
    gProcs.GetFrame = FuzzGetFrame;
    gProcs.ReleaseFrame = FuzzReleaseFrame;
    gProcs.Blit = FuzzBlit;
    gProcs.MixAudio = FuzzMixAudio;
    gProcs.GetFilterInfo = FuzzGetFilterInfo;
    gProcs.ReleaseFilterInfo = FuzzReleaseFilterInfo;

    // The first call makes the master configuration record: the one block the plug-in keeps.
    ResetBlock(gBlocks[0], kPlugGetInfo);
    if (CallMain(gBlocks[0], kPlugGetInfo) != kPluginOK || gLiveBlocks.size() != 1)
        Fail("the first call made no master record");
    gMasterBlock = gLiveBlocks.begin()->first;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in{data, size};
    gPlanActive = false;
    ForgetLastClip();
    for (BlockRec& block : gBlocks)
        ResetBlock(block, kPlugGetInfo);

    gPlan = FailurePlanRec{};
    for (int i = 0; i < kCallbackCount; ++i) {
        gPlan.masks[size_t(i)] = in.U16();
        gPlan.results[size_t(i)] = HYPluginResult(1 + in.U8() % 11);
    }
    gPlanActive = true;
    for (int steps = 0; steps < kMaxSteps && !in.AtEnd(); ++steps)
        Step(in);
    gPlanActive = false;

    for (BlockRec& block : gBlocks) {
        block.params.interfaceVersion = hosts::kHostInterfaceVersion;
        if (block.params.clientData) CallMain(block, kPlugTerminate);
    }
    CheckEverythingBack();
    for (BlockRec& block : gBlocks)
        FreeHostBuffer(block.output);
    return 0;
}
