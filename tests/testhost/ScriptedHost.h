// A scripted host for in-process tests: a callback table that records every call with its
// arguments, answers from test-supplied data, and fails on request.
//
// Blocks are allocated through the toolbox, as a host on the platform does, so GetPtrSize
// works on every block the plug-in is given. One ScriptedHost is current at a time (the
// newest); the memory callbacks carry no instance and reach it through that.
#pragma once

#include "HYPlugin.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testhost {

struct HostCall {
    std::string name;
    std::vector<std::int64_t> args; // integers as passed; pointers as their address
};

class ScriptedHost {
  public:
    ScriptedHost();
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    // A zeroed parameter block for this host with the given selector and interface version 4.
    HYPluginParams MakeParams(HYPluginSelector selector);

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

    // What GetFilterInfo hands out; with deliverFilterInfo false it delivers nothing.
    HYPluginFilterInfo filterInfo{{0.5f, 0.5f, 0.5f}, 0, 0};
    bool deliverFilterInfo = true;

    // Blocks handed out by NewPtrClear/NewPtr and not yet given back.
    size_t LiveBlocks() const { return liveBlocks; }

    static ScriptedHost* Current();

    // Opens the bundle's resource files into the resource chain, as a host does before it
    // calls the plug-in (tests pass testpaths::Bundle()); they are closed again with the host.
    bool OpenBundleResources(const std::string& bundleDir);
    const std::vector<SInt16>& BundleResourceFiles() const { return bundleResourceFiles; }

  private:
    friend struct HostCallbacks;
    size_t liveBlocks = 0;
    int newPtrClearCount = 0;
    ScriptedHost* previous = nullptr;
    std::vector<SInt16> bundleResourceFiles;
};

} // namespace testhost
