// Item information of file references, their URLs, opening documents with the user's default
// application (xdg-open with the document's path, or the URL itself when it is not a file
// URL) or a given one, and the type identifiers of the common image and document kinds with
// their conformance. Programs are started directly, without a shell, so nothing in a name is
// ever interpreted.
#include "toolbox/LaunchServices.h"

#include "../corefoundation/CFObject.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct TypeRec {
    const char* identifier;
    const char* parent; // what it conforms to directly ("" for public.item)
    std::vector<const char*> extensions;
    std::vector<const char*> osTypes;
};

const std::vector<TypeRec>& Types() {
    static const std::vector<TypeRec> types = {
        {"public.item", "", {}, {}},
        {"public.content", "public.item", {}, {}},
        {"public.data", "public.item", {}, {}},
        {"public.folder", "public.item", {}, {"fold"}},
        {"public.image", "public.data", {}, {}},
        {"public.png", "public.image", {"png"}, {"PNGf"}},
        {"public.jpeg", "public.image", {"jpg", "jpeg", "jpe"}, {"JPEG"}},
        {"com.compuserve.gif", "public.image", {"gif"}, {"GIFf"}},
        {"com.microsoft.bmp", "public.image", {"bmp"}, {"BMPf", "BMP "}},
        {"public.tiff", "public.image", {"tif", "tiff"}, {"TIFF"}},
        {"com.apple.pict", "public.image", {"pict", "pct", "pic"}, {"PICT"}},
        {"com.adobe.pdf", "public.data", {"pdf"}, {"PDF "}},
        {"public.text", "public.data", {}, {}},
        {"public.plain-text", "public.text", {"txt", "text"}, {"TEXT"}},
        {"public.html", "public.text", {"html", "htm"}, {}},
        {"public.movie", "public.data", {}, {}},
        {"com.apple.quicktime-movie", "public.movie", {"mov", "qt"}, {"MooV"}},
        {"public.mpeg-4", "public.movie", {"mp4"}, {"mpg4"}},
    };
    return types;
}

const TypeRec* FindType(const std::string& identifier) {
    for (const TypeRec& t : Types())
        if (identifier == t.identifier) return &t;
    return nullptr;
}

std::string Lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

CFStringRef MakeString(const std::string& utf8) {
    return CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
}

// Starts a program (looked up in PATH when asked) with arguments and waits for it: its exit
// status, kLSApplicationNotFoundErr when it cannot be started, kLSLaunchFailedErr when it
// did not exit.
OSStatus Run(std::vector<std::string> args, bool searchPath) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if ((searchPath ? posix_spawnp : posix_spawn)(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return kLSApplicationNotFoundErr;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return kLSLaunchFailedErr;
    return WIFEXITED(status) ? OSStatus(WEXITSTATUS(status)) : OSStatus(kLSLaunchFailedErr);
}

} // namespace

using namespace toolbox;

extern "C" {

OSStatus LSCopyItemInfoForRef(const FSRef* inItemRef, LSRequestedInfo inWhichInfo,
                              LSItemInfoRecord* outItemInfo) {
    if (!outItemInfo) return paramErr;
    std::memset(outItemInfo, 0, sizeof *outItemInfo);
    std::string path = inItemRef ? FSRefToPath(*inItemRef) : std::string();
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return fnfErr;
    bool folder = S_ISDIR(info.st_mode);
    outItemInfo->flags = folder ? kLSItemInfoIsContainer : kLSItemInfoIsPlainFile;
    if (inWhichInfo & kLSRequestBasicFlagsOnly) return noErr;
    if ((inWhichInfo & kLSRequestTypeCreator) && folder) outItemInfo->filetype = 0x666F6C64; // 'fold'
    if ((inWhichInfo & kLSRequestTypeCreator) && !folder) {
        FSSpec spec;
        if (FSSpecFromPath(path, &spec) == noErr)
            FSpGetFileTypeCreator(&spec, &outItemInfo->filetype, &outItemInfo->creator);
    }
    if (inWhichInfo & kLSRequestExtension) {
        std::string name = path.substr(path.rfind('/') + 1);
        size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0 && dot + 1 < name.size())
            outItemInfo->extension = MakeString(name.substr(dot + 1));
    }
    return noErr;
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef* fsRef) {
    std::string path = fsRef ? FSRefToPath(*fsRef) : std::string();
    if (path.empty()) return nullptr;
    struct stat info {};
    bool folder = stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return URLForPath(path, folder);
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
    if (!fsRef) return false;
    std::memset(fsRef, 0, sizeof *fsRef);
    UInt8 path[PATH_MAX];
    if (!url || !CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) return false;
    return FSRefFromPath(reinterpret_cast<char*>(path), fsRef) == noErr;
}

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL) {
    if (outLaunchedURL) *outLaunchedURL = nullptr;
    if (!inURL) return paramErr;
    UInt8 path[PATH_MAX];
    std::string target = CFURLGetFileSystemRepresentation(inURL, true, path, sizeof path)
                             ? std::string(reinterpret_cast<char*>(path))
                             : CFStringToUtf8(CFURLGetString(inURL));
    if (target.empty()) return paramErr;
    return Run({"xdg-open", target}, true);
}

OSStatus LSOpenFSRef(const FSRef* inRef, FSRef* outLaunchedRef) {
    if (outLaunchedRef) std::memset(outLaunchedRef, 0, sizeof *outLaunchedRef);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, inRef);
    if (!url) return fnfErr;
    OSStatus status = LSOpenCFURLRef(url, nullptr);
    CFRelease(url);
    return status;
}

OSStatus LSOpenFromRefSpec(const LSLaunchFSRefSpec* inLaunchSpec, FSRef* outLaunchedRef) {
    if (outLaunchedRef) std::memset(outLaunchedRef, 0, sizeof *outLaunchedRef);
    if (!inLaunchSpec || (inLaunchSpec->numDocs > 0 && !inLaunchSpec->itemRefs)) return paramErr;
    std::vector<std::string> docs;
    for (UInt32 i = 0; i < inLaunchSpec->numDocs; ++i) {
        std::string doc = FSRefToPath(inLaunchSpec->itemRefs[i]);
        if (doc.empty()) return fnfErr;
        docs.push_back(doc);
    }
    if (!inLaunchSpec->appRef) {
        for (UInt32 i = 0; i < inLaunchSpec->numDocs; ++i)
            if (OSStatus status = LSOpenFSRef(&inLaunchSpec->itemRefs[i], nullptr); status != noErr)
                return status;
        return noErr;
    }
    std::string app = FSRefToPath(*inLaunchSpec->appRef);
    if (app.empty()) return kLSApplicationNotFoundErr;
    docs.insert(docs.begin(), app);
    OSStatus status = Run(docs, false);
    return status > 0 ? OSStatus(kLSLaunchFailedErr) : status;
}

CFStringRef UTCreateStringForOSType(OSType inOSType) {
    std::string code;
    for (int shift = 24; shift >= 0; shift -= 8)
        code += char(inOSType >> shift);
    return CFStringCreateWithPascalString(nullptr, reinterpret_cast<const UInt8*>(("\x04" + code).c_str()),
                                          kCFStringEncodingMacRoman);
}

CFStringRef UTTypeCreatePreferredIdentifierForTag(CFStringRef inTagClass, CFStringRef inTag, CFStringRef) {
    std::string tagClass = CFStringToUtf8(inTagClass), tag = CFStringToUtf8(inTag);
    if (tag.empty()) return nullptr;
    bool byExtension = tagClass == "public.filename-extension";
    if (!byExtension && tagClass != "com.apple.ostype") return nullptr;
    std::string key = byExtension ? Lowered(tag) : tag;
    for (const TypeRec& t : Types())
        for (const char* candidate : byExtension ? t.extensions : t.osTypes)
            if (key == candidate) return MakeString(t.identifier);
    return MakeString((byExtension ? "dyn.ext." : "dyn.ostype.") + key);
}

Boolean UTTypeConformsTo(CFStringRef inUTI, CFStringRef inConformsToUTI) {
    std::string uti = Lowered(CFStringToUtf8(inUTI)), target = Lowered(CFStringToUtf8(inConformsToUTI));
    if (uti.empty() || target.empty()) return false;
    if (uti == target) return true;
    const TypeRec* t = FindType(uti);
    if (!t) return target == "public.item";
    for (; t && *t->parent; t = FindType(t->parent))
        if (target == t->parent) return true;
    return false;
}

} // extern "C"
