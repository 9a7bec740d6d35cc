// A scripted host for in-process tests: a callback table that records every call with its
// arguments, answers from test-supplied data, and fails on request.
//
// Blocks from NewPtrClear come from the toolbox, as from a host on the platform, or from the
// host's own allocator (HostMemory). One ScriptedHost is current at a time (the newest); the memory
// callbacks carry no instance and reach it through that.
#pragma once

#include "common/BundleLoader.h"
#include "common/HostProcs.h"
#include "HYPlugin.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testhost {

struct HostCall {
    std::string name;
    std::vector<std::int64_t> args; // integers as passed; pointers as their address
};

// Where NewPtrClear takes its blocks from: the toolbox (blocks that know their
// size), plain calloc, or right after an inaccessible page, so that any read in front of a
// block faults at once.
enum class HostMemory { kToolbox, kCalloc, kGuardPage };

class ScriptedHost {
  public:
    explicit ScriptedHost(HostMemory hostMemory = HostMemory::kToolbox);
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    // A zeroed parameter block for this host with the given selector and interface version 4.
    HYPluginParams MakeParams(HYPluginSelector selector) { return hosts::MakeParams(&procs, this, selector); }

    // Calls of one callback, in order.
    std::vector<HostCall> CallsOf(const std::string& name) const;
    size_t CountOf(const std::string& name) const { return CallsOf(name).size(); }
    void ClearCalls() { calls.clear(); }

    HYProcs procs;
    std::vector<HostCall> calls;

    // Failures: the named callback answers this result instead of doing its work
    // ("NewPtrClear" answers NULL whatever the value).
    std::map<std::string, HYPluginResult> failures;
    // NewPtrClear fails from its nth call on (0 = the first call), or never when negative.
    int failNewPtrClearFrom = -1;

    // What GetFilterInfo hands out.
    HYPluginFilterInfo filterInfo{{0.5f, 0.5f, 0.5f}, 0, 0};

    // Frames. GetFrame delivers a 32-bit buffer of the requested size filled by FillPattern,
    // volume 100 and a fresh non-null cookie; calls are recorded as GetFrame {frameIndex,
    // width, height, quality, cookie}, ReleaseFrame {cookie} and MixAudio {cookie, level}.
    // Frames stay the host's and are reused for the same index and size.
    // Pixel (alpha, red, green, blue) of the default frames; every byte varies with x, y and the index.
    static std::array<UInt8, 4> PatternPixel(SInt32 frameIndex, int x, int y);
    static void FillPattern(SInt32 frameIndex, GWorldPtr frame);
    // Frames fetched and not yet released.
    size_t OutstandingFrames() const { return outstanding.size(); }

    // Blit {opacity, src top, left, bottom, right, dst top, left, bottom, right} mixes as the
    // hosts do (hosts::BlitPixMaps), each byte becoming BlendByte(src, dst, opacity), and
    // refuses opacities outside 0..255 with kPluginBadParams.
    static UInt8 BlendByte(UInt8 src, UInt8 dst, int opacity);

    // Blocks handed out by NewPtrClear and not yet given back, and DisposePtr calls
    // with a block this host did not hand out (not freed).
    size_t LiveBlocks() const { return blocks.size(); }
    size_t StrayDisposals() const { return strayDisposals; }

    static ScriptedHost* Current() { return current; }

    // Opens the bundle's resource files into the resource chain, as a host does before it
    // calls the plug-in (tests pass testpaths::Bundle()); they are closed again with the host.
    bool OpenBundleResources(const std::string& bundleDir) {
        std::string error;
        return hosts::OpenBundleResources(bundleDir, bundleResourceFiles, error);
    }
    const std::vector<SInt16>& BundleResourceFiles() const { return bundleResourceFiles; }

  private:
    friend struct HostCallbacks;
    HostMemory memory;
    std::map<Ptr, size_t> blocks; // block -> byte count
    size_t strayDisposals = 0;
    int newPtrClearCount = 0;
    std::intptr_t nextCookie = 1;
    std::map<std::intptr_t, GWorldPtr> outstanding;
    std::map<std::array<SInt32, 3>, GWorldPtr> frames; // by index, width, height
    inline static ScriptedHost* current = nullptr;
    ScriptedHost* previous = nullptr;
    std::vector<SInt16> bundleResourceFiles;
};

} // namespace testhost
