// The chain of open resource files and the resources in them. Every call sets ResError.
#include "toolbox/Resources.h"

#include "../files/FileIO.h"
#include "../ToolboxState.h"
#include "ResourceFile.h"
#include "toolbox/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace toolbox {

namespace {

OSErr& Result() {
    return gToolbox.resError;
}

ResourceFile* FindFile(SInt16 refNum) {
    for (auto& file : gToolbox.resourceFiles)
        if (file->refNum == refNum) return file.get();
    return nullptr;
}

// The chain from the current file towards the oldest open file.
template <typename Visit>
Handle SearchChain(Visit visit) {
    auto& files = gToolbox.resourceFiles;
    auto current = std::find_if(files.begin(), files.end(),
                                [](const auto& f) { return f->refNum == gToolbox.currentResFile; });
    if (current == files.end()) return nullptr;
    for (auto it = std::make_reverse_iterator(current + 1); it != files.rend(); ++it)
        if (Handle h = visit(**it)) return h;
    return nullptr;
}

struct Located {
    ResourceFile* file = nullptr;
    std::vector<ResourceEntry>::iterator entry;
};

Located LocateHandle(Handle h) {
    if (!h) return {};
    for (auto& file : gToolbox.resourceFiles) {
        auto& entries = file->map.entries;
        auto it = std::find_if(entries.begin(), entries.end(),
                               [h](const ResourceEntry& e) { return e.handle == h; });
        if (it != entries.end()) return {file.get(), it};
    }
    return {};
}

std::span<const UInt8> HandleBytes(Handle h) {
    return {reinterpret_cast<const UInt8*>(*h), size_t(GetHandleSize(h))};
}

// Loads the entry's data into a handle owned by the file, once.
Handle Load(ResourceEntry& entry) {
    if (entry.handle) return entry.handle;
    Handle h = NewHandle(Size(entry.data.size()));
    if (!h) {
        Result() = memFullErr;
        return nullptr;
    }
    if (!entry.data.empty()) std::memcpy(*h, entry.data.data(), entry.data.size());
    entry.handle = h;
    return h;
}

Handle GetFromFile(ResourceFile& file, ResType type, SInt16 id) {
    for (auto& entry : file.map.entries)
        if (entry.type == type && entry.id == id) return Load(entry);
    return nullptr;
}

OSErr WriteOut(ResourceFile& file) {
    if (!file.changed) return noErr;
    if (!file.writable) return wrPermErr;
    auto bytes = BuildResourceFile(file.map, [](const ResourceEntry& e) {
        return e.changed && e.handle ? HandleBytes(e.handle) : std::span<const UInt8>(e.data);
    });
    if (!bytes) return addResFailed;
    OSErr err = ReplaceFile(file.path, *bytes);
    if (err != noErr) return err;
    for (auto& e : file.map.entries) {
        if (!e.changed) continue;
        if (e.handle) {
            auto data = HandleBytes(e.handle);
            e.data.assign(data.begin(), data.end());
        }
        e.changed = false;
    }
    file.changed = false;
    return noErr;
}

} // namespace

} // namespace toolbox

using namespace toolbox;

extern "C" {

void FSpCreateResFile(const FSSpec* spec, OSType creator, OSType fileType, ScriptCode) {
    std::string path = spec ? FSSpecToPath(*spec) : std::string();
    if (path.empty()) {
        Result() = spec ? OSErr(dirNFErr) : OSErr(paramErr);
        return;
    }
    auto empty = BuildResourceFileFrom(ResourceMap{}, {});
    Result() = CreateFileWith(path, *empty, fileType, creator);
}

SInt16 FSpOpenResFile(const FSSpec* spec, SInt8 permission) {
    std::string path = spec ? FSSpecToPath(*spec) : std::string();
    if (path.empty()) {
        Result() = spec ? OSErr(dirNFErr) : OSErr(paramErr);
        return -1;
    }
    for (auto& open : gToolbox.resourceFiles) {
        if (open->path == path) {
            gToolbox.currentResFile = open->refNum;
            Result() = noErr;
            return open->refNum;
        }
    }
    std::vector<UInt8> bytes;
    OSErr err = ReadWholeFile(path, bytes);
    if (err != noErr) {
        Result() = err == paramErr ? OSErr(mapReadErr) : err;
        return -1;
    }
    auto map = ParseResourceFile(bytes);
    if (!map) {
        Result() = mapReadErr;
        return -1;
    }
    auto file = std::make_shared<ResourceFile>();
    file->path = path;
    file->writable = permission != fsRdPerm;
    file->map = std::move(*map);
    // Reference numbers stay positive and are not reused while a file holds them.
    do {
        file->refNum = gToolbox.nextResRefNum;
        gToolbox.nextResRefNum = gToolbox.nextResRefNum == 0x7FFF ? 1 : SInt16(gToolbox.nextResRefNum + 1);
    } while (FindFile(file->refNum));
    gToolbox.resourceFiles.push_back(file);
    gToolbox.currentResFile = file->refNum;
    Result() = noErr;
    return file->refNum;
}

void UseResFile(SInt16 refNum) {
    if (refNum != 0 && !FindFile(refNum)) {
        Result() = resFNotFound;
        return;
    }
    gToolbox.currentResFile = refNum;
    Result() = noErr;
}

SInt16 CurResFile(void) {
    Result() = noErr;
    return gToolbox.currentResFile;
}

OSErr ResError(void) {
    return Result();
}

Handle Get1Resource(ResType theType, SInt16 theID) {
    Result() = noErr;
    ResourceFile* file = FindFile(gToolbox.currentResFile);
    Handle h = file ? GetFromFile(*file, theType, theID) : nullptr;
    if (!h && Result() == noErr) Result() = resNotFound;
    return h;
}

Handle GetResource(ResType theType, SInt16 theID) {
    Result() = noErr;
    Handle h = SearchChain([&](ResourceFile& file) { return GetFromFile(file, theType, theID); });
    if (!h && Result() == noErr) Result() = resNotFound;
    return h;
}

void DetachResource(Handle theResource) {
    Located at = LocateHandle(theResource);
    if (!at.file) {
        Result() = rmvResFailed;
        return;
    }
    // The file keeps the bytes it must still write; the caller keeps the handle.
    if (at.entry->changed) {
        auto data = HandleBytes(theResource);
        at.entry->data.assign(data.begin(), data.end());
    }
    at.entry->handle = nullptr;
    Result() = noErr;
}

void RemoveResource(Handle theResource) {
    Located at = LocateHandle(theResource);
    if (!at.file || !at.file->writable) {
        Result() = at.file ? OSErr(wrPermErr) : OSErr(rmvResFailed);
        return;
    }
    at.file->map.entries.erase(at.entry);
    at.file->changed = true;
    Result() = noErr;
}

void AddResource(Handle theData, ResType theType, SInt16 theID, ConstStr255Param name) {
    ResourceFile* file = FindFile(gToolbox.currentResFile);
    if (!theData || !*theData || LocateHandle(theData).file || !file) {
        Result() = addResFailed;
        return;
    }
    if (!file->writable) {
        Result() = wrPermErr;
        return;
    }
    ResourceEntry entry;
    entry.type = theType;
    entry.id = theID;
    if (name && name[0]) entry.name = std::string(PascalView(name));
    entry.handle = theData;
    entry.changed = true;
    file->map.entries.push_back(std::move(entry));
    file->changed = true;
    Result() = noErr;
}

void UpdateResFile(SInt16 refNum) {
    ResourceFile* file = FindFile(refNum);
    Result() = file ? WriteOut(*file) : OSErr(resFNotFound);
}

void ReleaseResource(Handle theResource) {
    Located at = LocateHandle(theResource);
    if (!at.file) {
        Result() = rmvResFailed;
        return;
    }
    // A resource whose new data has not reached the file yet stays loaded, as on the platform.
    if (!at.entry->changed) {
        DisposeHandle(theResource);
        at.entry->handle = nullptr;
    }
    Result() = noErr;
}

void CloseResFile(SInt16 refNum) {
    auto& files = gToolbox.resourceFiles;
    auto it =
        std::find_if(files.begin(), files.end(), [refNum](const auto& f) { return f->refNum == refNum; });
    if (it == files.end()) {
        Result() = resFNotFound;
        return;
    }
    OSErr err = WriteOut(**it);
    if (gToolbox.currentResFile == refNum)
        gToolbox.currentResFile = it == files.begin() ? 0 : (*(it - 1))->refNum;
    files.erase(it); // frees the file's loaded resources
    Result() = err;
}

} // extern "C"
