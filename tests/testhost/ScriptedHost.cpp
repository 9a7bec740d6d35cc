#include "ScriptedHost.h"

#include "common/BundleLoader.h"
#include "common/HostProcs.h"

#include "toolbox/MacMemory.h"
#include "toolbox/Resources.h"

namespace testhost {

namespace {
ScriptedHost* gCurrentHost = nullptr;

std::int64_t Addr(const void* p) {
    return std::int64_t(reinterpret_cast<std::intptr_t>(p));
}
} // namespace

struct HostCallbacks {
    static ScriptedHost& Host() { return *gCurrentHost; }
    static ScriptedHost& Host(void* instance) { return *static_cast<ScriptedHost*>(instance); }

    static bool Failing(ScriptedHost& h, const char* name, HYPluginResult& result) {
        auto it = h.failures.find(name);
        if (it == h.failures.end()) return false;
        result = it->second;
        return true;
    }

    static Ptr NewPtrClear(SInt32 byteCount) {
        ScriptedHost& h = Host();
        h.calls.push_back({"NewPtrClear", {byteCount}});
        int n = h.newPtrClearCount++;
        if (h.failures.count("NewPtrClear") || (h.failNewPtrClearFrom >= 0 && n >= h.failNewPtrClearFrom))
            return nullptr;
        Ptr p = ::NewPtrClear(byteCount);
        if (p) ++h.liveBlocks;
        return p;
    }

    static Ptr NewPtr(SInt32 byteCount) {
        ScriptedHost& h = Host();
        h.calls.push_back({"NewPtr", {byteCount}});
        Ptr p = ::NewPtr(byteCount);
        if (p) ++h.liveBlocks;
        return p;
    }

    static void DisposePtr(Ptr block) {
        ScriptedHost& h = Host();
        h.calls.push_back({"DisposePtr", {Addr(block)}});
        if (block) --h.liveBlocks;
        ::DisposePtr(block);
    }

    static HYPluginResult GetFilterInfo(void* instance, HYPluginFilterInfo** outInfo) {
        ScriptedHost& h = Host(instance);
        h.calls.push_back({"GetFilterInfo", {Addr(instance)}});
        HYPluginResult result = kPluginOK;
        if (Failing(h, "GetFilterInfo", result)) return result;
        if (outInfo) *outInfo = h.deliverFilterInfo ? &h.filterInfo : nullptr;
        return kPluginOK;
    }

    static HYPluginResult ReleaseFilterInfo(void* instance, HYPluginFilterInfo* info) {
        ScriptedHost& h = Host(instance);
        h.calls.push_back({"ReleaseFilterInfo", {Addr(info)}});
        HYPluginResult result = kPluginOK;
        Failing(h, "ReleaseFilterInfo", result);
        return result;
    }
};

ScriptedHost::ScriptedHost() : procs(hosts::MakeDefaultProcs()) {
    procs.NewPtr = HostCallbacks::NewPtr;
    procs.NewPtrClear = HostCallbacks::NewPtrClear;
    procs.DisposePtr = HostCallbacks::DisposePtr;
    procs.GetFilterInfo = HostCallbacks::GetFilterInfo;
    procs.ReleaseFilterInfo = HostCallbacks::ReleaseFilterInfo;
    previous = gCurrentHost;
    gCurrentHost = this;
}

ScriptedHost::~ScriptedHost() {
    for (SInt16 refNum : bundleResourceFiles)
        CloseResFile(refNum);
    gCurrentHost = previous;
}

bool ScriptedHost::OpenBundleResources(const std::string& bundleDir) {
    std::string error;
    return hosts::OpenBundleResources(bundleDir, bundleResourceFiles, error);
}

ScriptedHost* ScriptedHost::Current() {
    return gCurrentHost;
}

HYPluginParams ScriptedHost::MakeParams(HYPluginSelector selector) {
    return hosts::MakeParams(&procs, this, selector);
}

std::vector<HostCall> ScriptedHost::CallsOf(const std::string& name) const {
    std::vector<HostCall> out;
    for (const auto& c : calls)
        if (c.name == name) out.push_back(c);
    return out;
}

} // namespace testhost
