// The preferences folder, as the XDG base directory convention places it.
#include "toolbox/Folders.h"

#include "FileIO.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    if (home && home[0]) return {}; // a relative HOME names no folder we can trust
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir && entry->pw_dir[0] == '/' ? entry->pw_dir : std::string();
}

std::string PreferencesPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg; // relative values are to be ignored
    std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/.config";
}

// Makes dir and any missing parents with mode 0700; true when dir is a usable folder then.
bool ProvideFolder(const std::string& dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0) {
        if (errno != ENOENT) return false;
        size_t slash = dir.find_last_of('/');
        if (slash != std::string::npos && slash > 0 && !ProvideFolder(dir.substr(0, slash))) return false;
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (stat(dir.c_str(), &info) != 0) return false;
    }
    return S_ISDIR(info.st_mode) && access(dir.c_str(), R_OK | W_OK | X_OK) == 0;
}

} // namespace

extern "C" OSErr FindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean, FSVolumeRefNum* foundVRefNum,
                            SInt32* foundDirID) {
    if (!foundVRefNum || !foundDirID) return paramErr;
    if (vRefNum != kOnSystemDisk && vRefNum != kToolboxVolume) return nsvErr;
    if (folderType != kPreferencesFolderType) return fnfErr;
    std::string dir = PreferencesPath();
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty() || !ProvideFolder(dir)) return fnfErr;
    *foundVRefNum = kToolboxVolume;
    *foundDirID = toolbox::RegisterDirectory(dir);
    return noErr;
}
