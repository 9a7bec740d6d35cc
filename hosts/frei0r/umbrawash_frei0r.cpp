// umbrawash as a frei0r filter, for FFmpeg, MLT (melt, Kdenlive, Shotcut) and other frei0r
// hosts. The filter is a small host of the plug-in linked into the same library: every
// f0r_update renders its frame through a one-frame pass of the plug-in's entry point
// (kPlugInitialize, kPlugDoFrame, kPlugTerminate), whose GetFrame hands out the input frame,
// so the picture is exactly what `umbrawash render` makes with the same settings. The
// instance's parameters go into the pass's configuration copy, which the plug-in hands to
// hosts linked with it through GetPassConfig, between kPlugInitialize and kPlugDoFrame.
//
// The plug-in keeps process-wide state (its master record, the toolbox's current port and
// pixel memory), while hosts call instances from several threads; every call into the
// plug-in and the toolbox therefore holds lgPluginLock. The byte-order conversions run
// outside it. An instance keeps its size and its parameters, nothing of earlier frames:
// each frame follows from its parameters alone.
//
// A frame makes three passes over the output frame and reads the input once: the input is
// converted into the output, the plug-in's GetFrame hands out those very pixels, which the
// plug-in processes in place, and the output is converted back.
extern "C" {
#include <frei0r.h>
}

#include "Swizzle.h"

#include "common/HostProcs.h"
#include "host/EffectLayer.h"
#include "host/RenderPass.h"

#include "toolbox/QuickDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#define F0R_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// ---- Parameters ----

enum ParamIndex { kRed, kGreen, kBlue, kLeft, kTop, kRight, kBottom, kUseSaved, kParamCount };

struct ParamInfoRec {
    const char* name;
    int type;
    const char* explanation;
};

const ParamInfoRec kParams[kParamCount] = {
    {"Red amount", F0R_PARAM_DOUBLE, "How far red turns into its inverse: 0 keeps it, 1 inverts it fully"},
    {"Green amount", F0R_PARAM_DOUBLE,
     "How far green turns into its inverse: 0 keeps it, 1 inverts it fully"},
    {"Blue amount", F0R_PARAM_DOUBLE, "How far blue turns into its inverse: 0 keeps it, 1 inverts it fully"},
    {"Left", F0R_PARAM_DOUBLE, "Left edge of the inverted area, as a fraction of the frame's width"},
    {"Top", F0R_PARAM_DOUBLE, "Top edge of the inverted area, as a fraction of the frame's height"},
    {"Right", F0R_PARAM_DOUBLE, "Right edge of the inverted area, as a fraction of the frame's width"},
    {"Bottom", F0R_PARAM_DOUBLE, "Bottom edge of the inverted area, as a fraction of the frame's height"},
    {"Use saved settings", F0R_PARAM_BOOL,
     "Use the amounts and area saved with Umbrawash's configuration dialog or `umbrawash settings`, "
     "ignoring the values above"},
};

// Pixels across that the plug-in's buffers can hold (rowBytes keeps 14 bits).
constexpr unsigned kMaxWidth = 4095;
constexpr unsigned kMaxHeight = 32767;

// ---- Instances ----

struct Frei0rInstanceRec {
    unsigned width = 0, height = 0;
    double values[kParamCount] = {};
    bool reported = false; // a failed frame was reported on stderr
};

// The record fields that the parameters stand for.
struct EffectSettingsRec {
    SInt16 amounts[3] = {100, 100, 100};
    RelRect rect = {0.0, 1.0, 0.0, 1.0};
};

std::mutex lgPluginLock;
int lgInitCount = 0; // f0r_init calls not yet matched by f0r_deinit

// ---- The host side of the one-frame pass ----

// What the host callbacks of one pass see through params.instance.
struct FrameHostRec {
    GWorldPtr source;
    HYPluginFilterInfo filterInfo; // no fades: frei0r hosts fade with their own keyframes
};

HYPluginResult FrameHostGetFrame(void* instance, SInt32 frameIndex, GWorldPtr* outFrame, SInt16 width,
                                 SInt16 height, HYRefDVQuality, SInt16* outVolume, void** outCookie) {
    auto* host = static_cast<FrameHostRec*>(instance);
    Rect bounds;
    GetPortBounds(host->source, &bounds);
    if (frameIndex != 0 || width != bounds.right || height != bounds.bottom) return kPluginCantGetNeededFrame;
    *outFrame = host->source;
    if (outVolume) *outVolume = 0;
    if (outCookie) *outCookie = host;
    return kPluginOK;
}

HYPluginResult FrameHostRelease(void*, void*) {
    return kPluginOK;
}

HYPluginResult FrameHostMixAudio(void*, void*, SInt32) {
    return kPluginOK;
}

HYPluginResult FrameHostGetFilterInfo(void* instance, HYPluginFilterInfo** outInfo) {
    *outInfo = &static_cast<FrameHostRec*>(instance)->filterInfo;
    return kPluginOK;
}

HYPluginResult FrameHostReleaseFilterInfo(void*, HYPluginFilterInfo*) {
    return kPluginOK;
}

HYProcs MakeFrameHostProcs() {
    HYProcs procs = hosts::MakeDefaultProcs();
    procs.GetFrame = FrameHostGetFrame;
    procs.ReleaseFrame = FrameHostRelease;
    procs.MixAudio = FrameHostMixAudio;
    procs.GetFilterInfo = FrameHostGetFilterInfo;
    procs.ReleaseFilterInfo = FrameHostReleaseFilterInfo;
    return procs;
}

HYPluginResult CallPlugin(HYPluginParams& params, HYPluginSelector selector) {
    params.selector = selector;
    return HYPluginResult(PluginMain(selector, &params));
}

// The amounts and rectangle a render pass starts from: the saved configuration when there
// is one, else the record's defaults. Caller holds lgPluginLock.
EffectSettingsRec ReadPassSettings() {
    EffectSettingsRec settings;
    HYProcs procs = MakeFrameHostProcs();
    FrameHostRec host{};
    HYPluginParams params = hosts::MakeParams(&procs, &host, kPlugInitialize);
    params.frameCount = 1;
    PluginDataPtr config =
        CallPlugin(params, kPlugInitialize) == kPluginOK ? GetPassConfig(&params) : nullptr;
    if (config) {
        for (int k = 0; k < 3; ++k)
            settings.amounts[k] = config->sliders[k + 1];
        settings.rect = config->startRel;
    }
    CallPlugin(params, kPlugTerminate);
    return settings;
}

// The instance's parameters as the record keeps them.
void ApplyParams(const Frei0rInstanceRec& inst, PluginDataPtr config) {
    for (int k = 0; k < 3; ++k)
        config->sliders[k + 1] = SInt16(std::lround(inst.values[kRed + k] * 100.0));
    config->startRel.left = inst.values[kLeft];
    config->startRel.top = inst.values[kTop];
    config->startRel.right = inst.values[kRight];
    config->startRel.bottom = inst.values[kBottom];
}

// The one-frame pass over source into target, with the instance's parameters in the pass's
// configuration unless it uses the saved settings. Caller holds lgPluginLock.
HYPluginResult RunOneFramePass(const Frei0rInstanceRec& inst, GWorldPtr source, GWorldPtr target,
                               const Rect& bounds) {
    HYProcs procs = MakeFrameHostProcs();
    FrameHostRec host{source, {}};
    HYPluginParams params = hosts::MakeParams(&procs, &host, kPlugInitialize);
    params.frameCount = 1;
    params.frameRect = bounds;
    params.frame = target;
    HYPluginResult result = CallPlugin(params, kPlugInitialize);
    PluginDataPtr config = result == kPluginOK ? GetPassConfig(&params) : nullptr;
    if (config && inst.values[kUseSaved] == 0.0) ApplyParams(inst, config);
    if (result == kPluginOK) result = CallPlugin(params, kPlugDoFrame);
    CallPlugin(params, kPlugTerminate);
    return result;
}

// One frame through a pass of its own, in place: the frame's pixels, in the plug-in's byte
// order, are both the frame GetFrame hands out and the output. Caller holds lgPluginLock.
HYPluginResult RenderFrame(const Frei0rInstanceRec& inst, uint32_t* frame) {
    Rect bounds = {0, 0, SInt16(inst.height), SInt16(inst.width)};
    long rowBytes = long(inst.width) * 4;
    GWorldPtr sourceGW = nullptr, targetGW = nullptr;
    QDErr status = NewGWorldFromPtr(&sourceGW, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                                    reinterpret_cast<Ptr>(frame), rowBytes);
    if (status == noErr)
        status = NewGWorldFromPtr(&targetGW, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                                  reinterpret_cast<Ptr>(frame), rowBytes);
    HYPluginResult result =
        status == noErr ? RunOneFramePass(inst, sourceGW, targetGW, bounds) : HYPluginResult(kPluginFailed);
    if (targetGW) DisposeGWorld(targetGW);
    if (sourceGW) DisposeGWorld(sourceGW);
    return result;
}

Frei0rInstanceRec* InstanceOf(f0r_instance_t instance) {
    return static_cast<Frei0rInstanceRec*>(instance);
}

} // namespace

// ---- The frei0r interface ----

F0R_EXPORT int f0r_init() {
    std::lock_guard lock(lgPluginLock);
    ++lgInitCount;
    return 1;
}

// The last f0r_deinit unloads the plug-in's state, as unloading its bundle would; a host that
// loads the filter again starts afresh and reads the saved configuration again.
F0R_EXPORT void f0r_deinit() {
    std::lock_guard lock(lgPluginLock);
    if (lgInitCount > 0 && --lgInitCount > 0) return;
    HYProcs procs = hosts::MakeDefaultProcs();
    UnloadEffectLayer(&procs);
}

F0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    info->name = "umbrawash";
    info->author = "Quorvel";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 0;
    info->minor_version = 1;
    info->num_params = kParamCount;
    info->explanation = "Inverts the colours inside a rectangle of the frame, each of red, green and blue "
                        "by its own amount; the inverted area becomes opaque, the rest stays as it is. "
                        "The effect has no fades of its own: fade it with the editor's keyframes or "
                        "transitions.";
}

F0R_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    if (!info || param_index < 0 || param_index >= kParamCount) return;
    info->name = kParams[param_index].name;
    info->type = kParams[param_index].type;
    info->explanation = kParams[param_index].explanation;
}

// Frames too wide for the plug-in's buffers (or empty ones) get no instance, so that the host
// reports the failure instead of showing frames the filter could not render.
F0R_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    if (width == 0 || height == 0 || width > kMaxWidth || height > kMaxHeight) return nullptr;
    auto* inst = new (std::nothrow) Frei0rInstanceRec;
    if (!inst) return nullptr;
    inst->width = width;
    inst->height = height;
    EffectSettingsRec settings;
    {
        std::lock_guard lock(lgPluginLock);
        settings = ReadPassSettings();
    }
    for (int k = 0; k < 3; ++k)
        inst->values[kRed + k] = std::clamp(settings.amounts[k] / 100.0, 0.0, 1.0);
    inst->values[kLeft] = std::clamp(settings.rect.left, 0.0, 1.0);
    inst->values[kTop] = std::clamp(settings.rect.top, 0.0, 1.0);
    inst->values[kRight] = std::clamp(settings.rect.right, 0.0, 1.0);
    inst->values[kBottom] = std::clamp(settings.rect.bottom, 0.0, 1.0);
    inst->values[kUseSaved] = 0.0;
    return inst;
}

F0R_EXPORT void f0r_destruct(f0r_instance_t instance) {
    delete InstanceOf(instance);
}

// Doubles are clamped to 0..1 (hosts pass them on unchecked); a NaN leaves the value as it
// was. Booleans are on from 0.5 up.
F0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    Frei0rInstanceRec* inst = InstanceOf(instance);
    if (!inst || !param || param_index < 0 || param_index >= kParamCount) return;
    double value = *static_cast<const double*>(param);
    if (std::isnan(value)) return;
    if (kParams[param_index].type == F0R_PARAM_BOOL)
        inst->values[param_index] = value >= 0.5 ? 1.0 : 0.0;
    else
        inst->values[param_index] = std::clamp(value, 0.0, 1.0);
}

F0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    Frei0rInstanceRec* inst = InstanceOf(instance);
    if (!inst || !param || param_index < 0 || param_index >= kParamCount) return;
    *static_cast<double*>(param) = inst->values[param_index];
}

// A frame the plug-in could not render passes through unchanged (the plug-in leaves its
// output untouched when it fails), and the first such frame of an instance is reported on
// stderr. The input and output frames may be the same.
F0R_EXPORT void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    Frei0rInstanceRec* inst = InstanceOf(instance);
    if (!inst || !inframe || !outframe) return;
    size_t count = size_t(inst->width) * inst->height;
    frei0r::SwizzleRGBA2ARGB(inframe, outframe, count);
    HYPluginResult result;
    {
        std::lock_guard lock(lgPluginLock);
        result = RenderFrame(*inst, outframe);
    }
    frei0r::SwizzleARGB2RGBA(outframe, outframe, count);
    if (result == kPluginOK) return;
    if (!inst->reported) {
        inst->reported = true;
        std::fprintf(stderr,
                     "umbrawash: the plug-in could not render a %ux%u frame (%s); passed through unchanged\n",
                     inst->width, inst->height, hosts::DescribeResult(result).c_str());
    }
}
