// File references, data forks by reference number, the default folder and catalogue lookups
// of folders, over the ordinary file system. Types and creators are kept as FileIO.h says.
#include "toolbox/Files.h"

#include "../ToolboxState.h"
#include "FileIO.h"
#include "toolbox/TextUtils.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace toolbox {

namespace {

int FileDescriptor(SInt16 refNum) {
    auto it = gToolbox.openFiles.find(refNum);
    return it == gToolbox.openFiles.end() ? -1 : it->second;
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
    return path == "/" ? std::string() : path.substr(path.rfind('/') + 1);
}

} // namespace

OSErr FSRefFromPath(const std::string& path, FSRef* ref) {
    if (!ref) return paramErr;
    std::memset(ref, 0, sizeof *ref);
    char resolved[PATH_MAX];
    if (path.empty() || !realpath(path.c_str(), resolved)) return fnfErr;
    auto& items = gToolbox.items;
    std::string absolute = resolved;
    size_t index = 0;
    while (index < items.size() && items[index] != absolute)
        ++index;
    if (index == items.size()) items.push_back(absolute);
    ref->item = UInt32(index + 1);
    return noErr;
}

std::string FSRefToPath(const FSRef& ref) {
    if (ref.item == 0 || ref.item > gToolbox.items.size()) return {};
    return gToolbox.items[ref.item - 1];
}

} // namespace toolbox

using namespace toolbox;

extern "C" {

OSErr FSpMakeFSRef(const FSSpec* source, FSRef* newRef) {
    if (!newRef) return paramErr;
    std::memset(newRef, 0, sizeof *newRef);
    if (!source) return paramErr;
    std::string path = FSSpecToPath(*source);
    return path.empty() ? OSErr(dirNFErr) : FSRefFromPath(path, newRef);
}

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
    if (!ref || catalogInfo || outName || parentRef) return paramErr;
    std::string path = FSRefToPath(*ref);
    if (path.empty()) return fnfErr;
    if (!fsSpec) return noErr;
    if (path == "/") { // the root has no parent folder to name it in
        std::memset(fsSpec, 0, sizeof *fsSpec);
        fsSpec->vRefNum = kToolboxVolume;
        fsSpec->parID = fsRtParID;
        SetPascal(fsSpec->name, kToolboxVolumeName);
        return noErr;
    }
    return FSSpecFromPath(path, fsSpec);
}

OSErr FSpOpenDF(const FSSpec* spec, SInt8 permission, SInt16* refNum) {
    if (!refNum) return paramErr;
    *refNum = 0;
    if (!spec) return paramErr;
    std::string path = FSSpecToPath(*spec);
    if (path.empty()) return dirNFErr;
    int flags = permission == fsRdPerm ? O_RDONLY : permission == fsWrPerm ? O_WRONLY : O_RDWR;
    int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return ErrnoToOSErr(errno);
    SInt16 number = gToolbox.nextFileRefNum;
    while (gToolbox.openFiles.count(number) || number <= 0)
        number = SInt16(number <= 0 ? 1 : number + 1);
    gToolbox.nextFileRefNum = SInt16(number + 1);
    gToolbox.openFiles[number] = fd;
    *refNum = number;
    return noErr;
}

OSErr FSpCreate(const FSSpec* spec, OSType creator, OSType fileType, ScriptCode) {
    if (!spec) return paramErr;
    std::string path = FSSpecToPath(*spec);
    if (path.empty()) return dirNFErr;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? OSErr(dupFNErr) : ErrnoToOSErr(errno);
    WriteTypeCreator(fd, fileType, creator);
    close(fd);
    return noErr;
}

OSErr FSpGetFileTypeCreator(const FSSpec* spec, OSType* fileType, OSType* creator) {
    if (fileType) *fileType = 0;
    if (creator) *creator = 0;
    if (!spec) return paramErr;
    std::string path = FSSpecToPath(*spec);
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return fnfErr;
    OSType t = 0, c = 0;
    ReadTypeCreator(path, t, c);
    if (fileType) *fileType = t;
    if (creator) *creator = c;
    return noErr;
}

OSErr FSpDelete(const FSSpec* spec) {
    if (!spec) return paramErr;
    std::string path = FSSpecToPath(*spec);
    if (path.empty()) return dirNFErr;
    return unlink(path.c_str()) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}

OSErr FSWrite(SInt16 refNum, SInt32* count, const void* buffPtr) {
    int fd = FileDescriptor(refNum);
    if (fd < 0) return rfNumErr;
    if (!count || *count < 0 || (*count > 0 && !buffPtr)) return paramErr;
    const char* bytes = static_cast<const char*>(buffPtr);
    SInt32 done = 0;
    while (done < *count) {
        ssize_t n = write(fd, bytes + done, size_t(*count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *count = done;
            return errno == EBADF ? OSErr(wrPermErr) : ErrnoToOSErr(errno);
        }
        done += SInt32(n);
    }
    return noErr;
}

OSErr SetFPos(SInt16 refNum, SInt16 posMode, SInt32 posOff) {
    int fd = FileDescriptor(refNum);
    if (fd < 0) return rfNumErr;
    int whence = posMode == fsFromStart ? SEEK_SET : posMode == fsFromLEOF ? SEEK_END : SEEK_CUR;
    if (posMode == fsAtMark) posOff = 0;
    off_t base = lseek(fd, 0, whence);
    if (base < 0) return ErrnoToOSErr(errno);
    if (base + posOff < 0) return posErr;
    return lseek(fd, base + posOff, SEEK_SET) < 0 ? ErrnoToOSErr(errno) : OSErr(noErr);
}

OSErr FSClose(SInt16 refNum) {
    int fd = FileDescriptor(refNum);
    if (fd < 0) return rfNumErr;
    gToolbox.openFiles.erase(refNum);
    return close(fd) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}

OSErr HGetVol(StringPtr volName, FSVolumeRefNum* vRefNum, SInt32* dirID) {
    if (volName) SetPascal(volName, kToolboxVolumeName);
    if (vRefNum) *vRefNum = kToolboxVolume;
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) return ioErr;
    if (dirID) *dirID = RegisterDirectory(cwd);
    free(cwd);
    return noErr;
}

OSErr PBGetCatInfoSync(CInfoPBPtr paramBlock) {
    if (!paramBlock) return paramErr;
    DirInfo& info = paramBlock->dirInfo;
    OSErr result = noErr;
    const std::string* dir = DirectoryPathOf(info.ioDrDirID);
    struct stat st {};
    if (info.ioFDirIndex != -1 || (info.ioVRefNum != kToolboxVolume && info.ioVRefNum != 0))
        result = paramErr;
    else if (!dir || stat(dir->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        result = dirNFErr;
    else {
        std::string path = *dir;
        if (info.ioNamePtr)
            SetPascal(info.ioNamePtr, path == "/" ? std::string(kToolboxVolumeName)
                                                  : Utf8ToMacRoman(LastComponent(path)).substr(0, 255));
        info.ioDrParID = path == "/" ? SInt32(fsRtParID) : RegisterDirectory(ParentOf(path));
    }
    info.ioResult = result;
    return result;
}

} // extern "C"
