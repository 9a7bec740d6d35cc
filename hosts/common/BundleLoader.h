// Loading a plug-in bundle: find its library, load it and look up its entry point.
#pragma once

#include "HYPlugin.h"

#include <string>

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

  private:
    void* handle_ = nullptr;
    HYPluginMainProc entry_ = nullptr;
    std::string identifier_;
    std::string libraryPath_;
};

// The bundle built beside the running program: <directory of the executable>/Umbrawash.bundle.
std::string DefaultBundlePath();

} // namespace hosts
