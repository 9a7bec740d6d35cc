#include "common/BundleLoader.h"

#include "toolbox/Resources.h"

#include <dlfcn.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <utility>

namespace fs = std::filesystem;

namespace hosts {

LoadedBundle LoadedBundle::Open(const std::string& bundleDir, std::string& error) {
    LoadedBundle bundle;
    fs::path contents = fs::path(bundleDir) / "Contents";
    std::ifstream idFile(contents / "Identifier");
    if (!idFile || !std::getline(idFile, bundle.identifier_) || bundle.identifier_.empty()) {
        error = "not a plug-in bundle (no Contents/Identifier): " + bundleDir;
        return {};
    }
    std::error_code ec;
    fs::path libDir = contents / "Linux";
    for (const auto& entry : fs::directory_iterator(libDir, ec)) {
        if (entry.path().extension() == ".so") {
            bundle.libraryPath_ = entry.path().string();
            break;
        }
    }
    if (bundle.libraryPath_.empty()) {
        error = "the bundle has no plug-in library in " + libDir.string();
        return {};
    }
    bundle.handle_ = dlopen(bundle.libraryPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!bundle.handle_) {
        const char* why = dlerror();
        error = "cannot load " + bundle.libraryPath_ + ": " + (why ? why : "unknown error");
        return {};
    }
    bundle.entry_ = reinterpret_cast<HYPluginMainProc>(dlsym(bundle.handle_, "main"));
    if (!bundle.entry_) {
        error = "the plug-in library exports no entry point 'main': " + bundle.libraryPath_;
        return {};
    }
    if (!OpenBundleResources(bundleDir, bundle.resourceFiles_, error)) return {};
    return bundle;
}

LoadedBundle::LoadedBundle(LoadedBundle&& other) noexcept {
    *this = std::move(other);
}

LoadedBundle& LoadedBundle::operator=(LoadedBundle&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(entry_, other.entry_);
    std::swap(identifier_, other.identifier_);
    std::swap(libraryPath_, other.libraryPath_);
    std::swap(resourceFiles_, other.resourceFiles_);
    return *this;
}

LoadedBundle::~LoadedBundle() {
    // The plug-in keeps process-wide state and may have registered handlers with the
    // toolbox; like a host on the platform, keep the code and its resource files loaded
    // until the process ends.
    handle_ = nullptr;
}

bool OpenBundleResources(const std::string& bundleDir, std::vector<SInt16>& refNums, std::string& error) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(bundleDir) / "Contents" / "Resources", ec))
        if (entry.path().extension() == ".rsrc") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        FSSpec spec;
        OSErr err = toolbox::FSSpecFromPath(file.string(), &spec);
        SInt16 refNum = err == noErr ? FSpOpenResFile(&spec, fsRdPerm) : -1;
        if (refNum == -1) {
            error = "cannot read the bundle's resources " + file.string() + " (error " +
                    std::to_string(err != noErr ? err : ResError()) + ")";
            return false;
        }
        refNums.push_back(refNum);
    }
    return true;
}

std::string DefaultBundlePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "Umbrawash.bundle";
    fs::path built = exe.parent_path() / "Umbrawash.bundle";
    fs::path installed = (exe.parent_path() / UMBRAWASH_INSTALLED_BUNDLE).lexically_normal();
    if (!fs::exists(built, ec) && fs::exists(installed, ec)) return installed.string();
    return built.string();
}

} // namespace hosts
