// Reference counting and strings. Strings keep their text as UTF-8 and convert at the edges.
#include "CFObject.h"
#include "toolbox/TextUtils.h"

#include "../ToolboxState.h"

#include <algorithm>
#include <cstring>

using namespace toolbox;

namespace {

CFStringRef MakeString(std::string utf8) {
    auto* s = new CFStringObject;
    s->utf8 = std::move(utf8);
    return ToRef<CFStringRef>(s);
}

bool Encode(CFStringRef theString, CFStringEncoding encoding, std::string& out) {
    const CFStringObject* s = AsString(theString);
    if (!s) return false;
    if (encoding == kCFStringEncodingUTF8) {
        out = s->utf8;
    } else if (encoding == kCFStringEncodingMacRoman) {
        return Utf8ToMacRomanExactly(s->utf8, out); // a string that cannot be converted gives nothing
    } else {
        return false;
    }
    return true;
}

} // namespace

namespace toolbox {
std::string CFStringToUtf8(CFStringRef s) {
    const CFStringObject* str = AsString(s);
    return str ? str->utf8 : std::string();
}
} // namespace toolbox

extern "C" {

CFTypeRef CFRetain(CFTypeRef cf) {
    auto* object = const_cast<CFObject*>(reinterpret_cast<const CFObject*>(cf));
    if (object && !object->immortal) object->retainCount.fetch_add(1);
    return cf;
}

void CFRelease(CFTypeRef cf) {
    auto* object = const_cast<CFObject*>(reinterpret_cast<const CFObject*>(cf));
    if (!object || object->immortal) return;
    if (object->retainCount.fetch_sub(1) == 1) delete object;
}

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param pStr, CFStringEncoding encoding) {
    if (!pStr) return nullptr;
    std::string_view bytes = PascalView(pStr);
    if (encoding == kCFStringEncodingMacRoman) return MakeString(MacRomanToUtf8(bytes));
    if (encoding == kCFStringEncodingUTF8) return MakeString(std::string(bytes));
    return nullptr;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (!cStr) return nullptr;
    if (encoding == kCFStringEncodingMacRoman) return MakeString(MacRomanToUtf8(cStr));
    if (encoding == kCFStringEncodingUTF8) return MakeString(cStr);
    return nullptr;
}

CFIndex CFStringGetLength(CFStringRef theString) {
    const CFStringObject* s = AsString(theString);
    if (!s) return 0;
    CFIndex units = 0;
    for (unsigned char c : s->utf8) {
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1; // four-byte sequences are surrogate pairs
    }
    return units;
}

Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding) {
    std::string bytes;
    if (!buffer || bufferSize < 1 || !Encode(theString, encoding, bytes)) return false;
    if (CFIndex(bytes.size()) > std::min<CFIndex>(bufferSize - 1, 255)) return false;
    SetPascal(buffer, bytes);
    return true;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    std::string bytes;
    if (!buffer || bufferSize < 1 || !Encode(theString, encoding, bytes)) return false;
    if (CFIndex(bytes.size()) >= bufferSize) return false;
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
    return true;
}

CFStringRef __CFStringMakeConstantString(const char* cStr) {
    std::lock_guard lock(gToolbox.constantStringsLock);
    std::unique_ptr<CFObject>& slot = gToolbox.constantStrings[cStr];
    if (!slot) {
        auto s = std::make_unique<CFStringObject>();
        s->utf8 = cStr;
        s->immortal = true;
        slot = std::move(s);
    }
    return ToRef<CFStringRef>(slot.get());
}

} // extern "C"
