// Loading a plug-in bundle: find its library, load it and look up its entry point, and open
// the bundle's resource files so that the plug-in finds its resources in the resource chain,
// as a host on the platform does before it calls a plug-in.
#pragma once

#include "HYPlugin.h"

#include <string>
#include <vector>

namespace hosts {

class LoadedBundle {
  public:
    // Loads the bundle at bundleDir; on failure returns an unloaded bundle and says why in error.
    static LoadedBundle Open(const std::string& bundleDir, std::string& error);
    LoadedBundle() = default;
    LoadedBundle(LoadedBundle&& other) noexcept;
    LoadedBundle& operator=(LoadedBundle&& other) noexcept;
    ~LoadedBundle();

    bool IsLoaded() const { return entry_ != nullptr; }
    int Call(short which, HYPluginParams* params) const { return entry_(which, params); }
    const std::string& Identifier() const { return identifier_; }
    const std::string& LibraryPath() const { return libraryPath_; }
    const std::vector<SInt16>& ResourceFiles() const { return resourceFiles_; }

  private:
    void* handle_ = nullptr;
    HYPluginMainProc entry_ = nullptr;
    std::string identifier_;
    std::string libraryPath_;
    std::vector<SInt16> resourceFiles_;
};

// Opens every resource file (*.rsrc) in the bundle's Contents/Resources with the toolbox,
// read-only, adding each to the resource chain; the last one opened is current. Their
// reference numbers are appended to refNums. False, with error set, when one cannot be read.
bool OpenBundleResources(const std::string& bundleDir, std::vector<SInt16>& refNums, std::string& error);

// The running program's bundle: the one built beside it (<directory of the executable>/
// Umbrawash.bundle), else the one installed with it (<prefix>/lib/umbrawash/Umbrawash.bundle
// for <prefix>/bin/umbrawash).
std::string DefaultBundlePath();

} // namespace hosts
