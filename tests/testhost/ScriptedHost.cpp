#include "ScriptedHost.h"

#include "common/Blit.h"
#include "common/HostProcs.h"

#include "EffectOracle.h"
#include "GuardedBlocks.h"

#include "toolbox/MacMemory.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace testhost {

namespace {
std::int64_t Addr(const void* p) {
    return std::int64_t(reinterpret_cast<std::intptr_t>(p));
}
} // namespace

struct HostCallbacks {
    static ScriptedHost& Host() { return *ScriptedHost::current; }
    static ScriptedHost& Host(void* instance) { return *static_cast<ScriptedHost*>(instance); }

    // Records the call and answers the failure set for its callback, or kPluginOK.
    static HYPluginResult Record(ScriptedHost& h, HostCall call) {
        auto it = h.failures.find(call.name);
        h.calls.push_back(std::move(call));
        return it == h.failures.end() ? HYPluginResult(kPluginOK) : it->second;
    }

    static Ptr Allocate(ScriptedHost& h, SInt32 byteCount) {
        if (byteCount < 0) return nullptr;
        Ptr p = h.memory == HostMemory::kToolbox ? ::NewPtrClear(byteCount)
                : h.memory == HostMemory::kCalloc
                    ? static_cast<Ptr>(std::calloc(1, std::max<size_t>(size_t(byteCount), 1)))
                    : static_cast<Ptr>(testsupport::NewGuardedBlock(size_t(byteCount)));
        if (p) h.blocks[p] = size_t(byteCount);
        return p;
    }

    static Ptr NewPtrClear(SInt32 byteCount) {
        ScriptedHost& h = Host();
        h.calls.push_back({"NewPtrClear", {byteCount}});
        int n = h.newPtrClearCount++;
        if (h.failures.count("NewPtrClear") || (h.failNewPtrClearFrom >= 0 && n >= h.failNewPtrClearFrom))
            return nullptr;
        return Allocate(h, byteCount);
    }

    static void DisposePtr(Ptr block) {
        ScriptedHost& h = Host();
        h.calls.push_back({"DisposePtr", {Addr(block)}});
        if (!block) return;
        auto it = h.blocks.find(block);
        if (it == h.blocks.end()) {
            ++h.strayDisposals;
            if (h.memory == HostMemory::kToolbox) ::DisposePtr(block); // an earlier host's
            return;
        }
        if (h.memory == HostMemory::kToolbox) ::DisposePtr(block);
        if (h.memory == HostMemory::kCalloc) std::free(block);
        if (h.memory == HostMemory::kGuardPage) testsupport::DisposeGuardedBlock(block, it->second);
        h.blocks.erase(it);
    }

    static HYPluginResult GetFrame(void* instance, SInt32 frameIndex, GWorldPtr* outFrame, SInt16 width,
                                   SInt16 height, HYRefDVQuality quality, SInt16* outVolume,
                                   void** outCookie) {
        ScriptedHost& h = Host(instance);
        if (HYPluginResult failure = Record(h, {"GetFrame", {frameIndex, width, height, quality, 0}}))
            return failure;
        if (!outFrame || !outCookie) return kPluginBadParams;
        GWorldPtr& frame = h.frames[{frameIndex, width, height}];
        if (!frame) {
            Rect bounds{0, 0, height, width};
            if (NewGWorld(&frame, 32, &bounds, nullptr, nullptr, 0) != noErr) return kPluginFailed;
            ScriptedHost::FillPattern(frameIndex, frame);
        }
        std::intptr_t cookie = h.nextCookie++;
        h.outstanding[cookie] = frame;
        h.calls.back().args[4] = cookie;
        *outFrame = frame;
        *outCookie = reinterpret_cast<void*>(cookie);
        if (outVolume) *outVolume = 100;
        return kPluginOK;
    }

    static HYPluginResult ReleaseFrame(void* instance, void* cookie) {
        ScriptedHost& h = Host(instance);
        h.outstanding.erase(reinterpret_cast<std::intptr_t>(cookie));
        return Record(h, {"ReleaseFrame", {Addr(cookie)}});
    }

    static HYPluginResult MixAudio(void* instance, void* cookie, SInt32 level) {
        return Record(Host(instance), {"MixAudio", {Addr(cookie), level}});
    }

    static HYPluginResult Blit(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect,
                               SInt16 opacity) {
        Rect s = srcRect ? *srcRect : Rect{}, d = dstRect ? *dstRect : Rect{};
        if (HYPluginResult failure = Record(
                Host(),
                {"Blit", {opacity, s.top, s.left, s.bottom, s.right, d.top, d.left, d.bottom, d.right}}))
            return failure;
        // The plug-in never sends an opacity outside 0..255, which the host would take as the nearer end.
        if (opacity < 0 || opacity > 255) return kPluginBadParams;
        return hosts::BlitPixMaps(src, dst, srcRect, dstRect, opacity);
    }

    static HYPluginResult GetFilterInfo(void* instance, HYPluginFilterInfo** outInfo) {
        ScriptedHost& h = Host(instance);
        if (HYPluginResult failure = Record(h, {"GetFilterInfo", {Addr(instance)}})) return failure;
        if (outInfo) *outInfo = &h.filterInfo;
        return kPluginOK;
    }

    static HYPluginResult ReleaseFilterInfo(void* instance, HYPluginFilterInfo* info) {
        return Record(Host(instance), {"ReleaseFilterInfo", {Addr(info)}});
    }
};

ScriptedHost::ScriptedHost(HostMemory hostMemory) : procs(hosts::MakeDefaultProcs()), memory(hostMemory) {
    procs.NewPtrClear = HostCallbacks::NewPtrClear;
    procs.DisposePtr = HostCallbacks::DisposePtr;
    procs.GetFilterInfo = HostCallbacks::GetFilterInfo;
    procs.GetFrame = HostCallbacks::GetFrame;
    procs.ReleaseFrame = HostCallbacks::ReleaseFrame;
    procs.MixAudio = HostCallbacks::MixAudio;
    procs.Blit = HostCallbacks::Blit;
    procs.ReleaseFilterInfo = HostCallbacks::ReleaseFilterInfo;
    previous = current;
    current = this;
}

ScriptedHost::~ScriptedHost() {
    for (auto& [key, frame] : frames)
        if (frame) DisposeGWorld(frame);
    for (SInt16 refNum : bundleResourceFiles)
        CloseResFile(refNum);
    current = previous;
}

std::array<UInt8, 4> ScriptedHost::PatternPixel(SInt32 frameIndex, int x, int y) {
    return {UInt8(x * 5 + y * 3), UInt8(x * 7 + frameIndex * 11), UInt8(y * 13 + x),
            UInt8((x ^ y) + frameIndex * 29)};
}

void ScriptedHost::FillPattern(SInt32 frameIndex, GWorldPtr frame) {
    PixMapHandle pm = GetGWorldPixMap(frame);
    Rect b;
    GetPortBounds(frame, &b);
    for (int y = 0; y < b.bottom - b.top; ++y)
        for (int x = 0; x < b.right - b.left; ++x)
            std::memcpy(GetPixBaseAddr(pm) + y * GetPixRowBytes(pm) + 4 * x,
                        PatternPixel(frameIndex, x, y).data(), 4);
}

UInt8 ScriptedHost::BlendByte(UInt8 src, UInt8 dst, int opacity) {
    return oracle::Blend(src, dst, opacity);
}

std::vector<HostCall> ScriptedHost::CallsOf(const std::string& name) const {
    std::vector<HostCall> out;
    for (const auto& c : calls)
        if (c.name == name) out.push_back(c);
    return out;
}

} // namespace testhost
