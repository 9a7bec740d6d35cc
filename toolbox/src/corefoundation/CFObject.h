// The common head of every Core Foundation object: a reference count and a virtual
// destructor, so CFRelease frees any kind of object.
#pragma once

#include "toolbox/CFBundle.h"
#include "toolbox/CoreFoundation.h"

#include <atomic>
#include <string>

namespace toolbox {

struct CFObject {
    std::atomic<long> retainCount{1};
    bool immortal = false; // constant strings
    virtual ~CFObject() = default;
};

struct CFStringObject : CFObject {
    std::string utf8;
};

inline const CFStringObject* AsString(CFStringRef s) {
    return dynamic_cast<const CFStringObject*>(reinterpret_cast<const CFObject*>(s));
}

// The folder of a bundle's resources; empty for something that is not a bundle.
std::string BundleResourcesFolder(CFBundleRef bundle);

// A file URL for an absolute path (a folder's ends in "/"); NULL for a relative or empty path.
CFURLRef URLForPath(const std::string& path, bool folder);

template <typename Ref>
Ref ToRef(CFObject* object) {
    return reinterpret_cast<Ref>(object);
}

} // namespace toolbox
