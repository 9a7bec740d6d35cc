// Bundles and URLs. A bundle is known when one of its libraries is loaded in the process:
// the loader's list of loaded objects is searched for paths of the form
// <folder>.bundle/Contents/Linux/<library>, and the bundle's identifier is read from
// <folder>.bundle/Contents/Identifier. The main bundle is the running program's folder.
// URLs keep their text; file URLs are "file://" and the percent-encoded absolute path.
#include "toolbox/CFBundle.h"
#include "CFObject.h"

#include "../ToolboxState.h"

#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <limits.h>
#include <vector>

namespace toolbox {

struct CFBundleObject : CFObject {
    std::string folder;
    CFStringObject identifier;
};

struct CFURLObject : CFObject {
    CFStringObject text;
};

} // namespace toolbox

using namespace toolbox;

namespace {

std::string ReadIdentifier(const std::string& folder) {
    std::ifstream in(folder + "/Contents/Identifier");
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

CFBundleObject* BundleAt(const std::string& folder, const std::string& identifier) {
    std::unique_ptr<CFObject>& slot = gToolbox.bundles[folder];
    if (!slot) {
        auto b = std::make_unique<CFBundleObject>();
        b->folder = folder;
        b->identifier.utf8 = identifier;
        b->identifier.immortal = true;
        b->immortal = true;
        slot = std::move(b);
    }
    return static_cast<CFBundleObject*>(slot.get());
}

// The bundle folders of the loaded libraries.
std::vector<std::string> LoadedBundleFolders() {
    std::vector<std::string> folders;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            std::string path = info->dlpi_name ? info->dlpi_name : "";
            std::string marker = ".bundle/Contents/Linux/";
            size_t at = path.rfind(marker);
            if (at != std::string::npos && path.find('/', at + marker.size()) == std::string::npos) {
                std::string folder = path.substr(0, at + 7);
                char real[PATH_MAX];
                if (::realpath(folder.c_str(), real)) folder = real;
                static_cast<std::vector<std::string>*>(data)->push_back(folder);
            }
            return 0;
        },
        &folders);
    return folders;
}

std::string ResourcesFolder(const CFBundleObject* b) {
    return b->identifier.utf8.empty() && !Exists(b->folder + "/Contents") ? b->folder + "/Resources"
                                                                          : b->folder + "/Contents/Resources";
}

bool Unreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

std::string PercentEncode(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (Unreserved(c)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool PercentDecode(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(UInt8(text[i + 1])) || !std::isxdigit(UInt8(text[i + 2])))
            return false;
        out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return true;
}

CFURLRef MakeURL(std::string text) {
    auto* url = new CFURLObject;
    url->text.utf8 = std::move(text);
    url->text.immortal = true; // lives inside the URL
    return ToRef<CFURLRef>(url);
}

const CFURLObject* AsURL(CFURLRef url) {
    return dynamic_cast<const CFURLObject*>(reinterpret_cast<const CFObject*>(url));
}

const CFBundleObject* AsBundle(CFBundleRef b) {
    return dynamic_cast<const CFBundleObject*>(reinterpret_cast<const CFObject*>(b));
}

} // namespace

namespace toolbox {
std::string BundleResourcesFolder(CFBundleRef bundle) {
    const CFBundleObject* b = AsBundle(bundle);
    return b ? ResourcesFolder(b) : std::string();
}

CFURLRef URLForPath(const std::string& path, bool folder) {
    if (path.empty() || path[0] != '/') return nullptr;
    return MakeURL("file://" + PercentEncode(folder && path.back() != '/' ? path + "/" : path));
}

} // namespace toolbox

extern "C" {

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
    std::string wanted = CFStringToUtf8(bundleID);
    if (wanted.empty()) return nullptr;
    for (const std::string& folder : LoadedBundleFolders()) {
        std::string id = ReadIdentifier(folder);
        if (id == wanted) return ToRef<CFBundleRef>(BundleAt(folder, id));
    }
    return nullptr;
}

CFBundleRef CFBundleGetMainBundle(void) {
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return nullptr;
    std::string folder(exe, size_t(n));
    folder = folder.substr(0, folder.rfind('/'));
    return ToRef<CFBundleRef>(BundleAt(folder, ""));
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName) {
    const CFBundleObject* b = AsBundle(bundle);
    std::string name = CFStringToUtf8(resourceName), type = CFStringToUtf8(resourceType);
    std::string sub = CFStringToUtf8(subDirName);
    if (!b || name.empty() || name.find("..") != std::string::npos || sub.find("..") != std::string::npos)
        return nullptr;
    std::string path =
        ResourcesFolder(b) + "/" + (sub.empty() ? "" : sub + "/") + name + (type.empty() ? "" : "." + type);
    return Exists(path) ? MakeURL("file://" + PercentEncode(path)) : nullptr;
}

CFURLRef CFURLCreateWithString(CFAllocatorRef, CFStringRef URLString, CFURLRef) {
    std::string text = CFStringToUtf8(URLString);
    return text.empty() ? nullptr : MakeURL(text);
}

CFStringRef CFURLGetString(CFURLRef anURL) {
    const CFURLObject* url = AsURL(anURL);
    return url ? ToRef<CFStringRef>(const_cast<CFStringObject*>(&url->text)) : nullptr;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen) {
    const CFURLObject* u = AsURL(url);
    if (!u || !buffer || maxBufLen < 1) return false;
    const std::string prefix = "file://";
    std::string path;
    if (u->text.utf8.compare(0, prefix.size(), prefix) != 0 ||
        !PercentDecode(u->text.utf8.substr(prefix.size()), path))
        return false;
    if (path.empty() || path.find('\0') != std::string::npos || CFIndex(path.size()) >= maxBufLen)
        return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

} // extern "C"
