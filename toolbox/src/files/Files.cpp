// FSSpec records over Linux paths: directories are known by number (gToolbox.directories),
// file names are Mac Roman in the record and UTF-8 on disk.
#include "toolbox/Files.h"

#include "../ToolboxState.h"
#include "FileIO.h"
#include "toolbox/TextUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace toolbox {

namespace {

// Numbers below this mean something else on the platform (1 and 2 are the volume's root).
constexpr SInt32 kFirstDirID = 100;

const std::string* DirectoryPath(SInt32 dirID) {
    static const std::string root = "/";
    if (dirID == fsRtDirID) return &root;
    auto& dirs = gToolbox.directories;
    if (dirID < kFirstDirID || size_t(dirID - kFirstDirID) >= dirs.size()) return nullptr;
    return &dirs[size_t(dirID - kFirstDirID)];
}

bool IsGoodName(std::string_view name) {
    return !name.empty() && name.size() <= 63 && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

} // namespace

const std::string* DirectoryPathOf(SInt32 dirID) {
    return DirectoryPath(dirID);
}

SInt32 RegisterDirectory(const std::string& absolutePath) {
    if (absolutePath == "/") return fsRtDirID;
    auto& dirs = gToolbox.directories;
    auto it = std::find(dirs.begin(), dirs.end(), absolutePath);
    if (it == dirs.end()) it = dirs.insert(dirs.end(), absolutePath);
    return kFirstDirID + SInt32(it - dirs.begin());
}

OSErr FSSpecFromPath(const std::string& path, FSSpec* spec) {
    if (!spec || path.empty()) return paramErr;
    std::string absolute = path;
    if (absolute[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (!cwd) return ioErr;
        absolute = std::string(cwd) + "/" + path;
        free(cwd);
    }
    size_t slash = absolute.rfind('/');
    std::string dir = slash == 0 ? "/" : absolute.substr(0, slash);
    Str255 name;
    SetPascal(name, Utf8ToMacRoman(absolute.substr(slash + 1)));
    return FSMakeFSSpec(kToolboxVolume, RegisterDirectory(dir), name, spec);
}

std::string FSSpecToPath(const FSSpec& spec) {
    const std::string* dir = DirectoryPath(spec.parID);
    if (!dir) return {};
    std::string name = MacRomanToUtf8(PascalView(spec.name));
    return *dir == "/" ? "/" + name : *dir + "/" + name;
}

} // namespace toolbox

extern "C" OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec) {
    if (!spec || !fileName) return paramErr;
    if (vRefNum != kToolboxVolume && vRefNum != 0) return nsvErr;
    const std::string* dir = toolbox::DirectoryPath(dirID);
    if (!dir) return dirNFErr;
    std::string_view name = toolbox::PascalView(fileName);
    if (!toolbox::IsGoodName(name)) return bdNamErr;
    std::memset(spec, 0, sizeof *spec);
    spec->vRefNum = kToolboxVolume;
    spec->parID = dirID;
    spec->name[0] = UInt8(name.size());
    std::memcpy(spec->name + 1, name.data(), name.size());
    struct stat info {};
    std::string path = toolbox::FSSpecToPath(*spec);
    if (stat(dir->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return dirNFErr;
    if (stat(path.c_str(), &info) != 0) return fnfErr;
    return noErr;
}
