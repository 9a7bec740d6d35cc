// String lists ('STR#'): a big-endian 16-bit count, then that many short strings.
#include "toolbox/Resources.h"
#include "toolbox/TextUtils.h"

#include <cstring>

extern "C" void GetIndString(Str255 theString, SInt16 strListID, SInt16 index) {
    if (!theString) return;
    theString[0] = 0;
    Handle list = GetResource(FourCC("STR#"), strListID);
    if (!list || index < 1) return;
    const auto* bytes = reinterpret_cast<const UInt8*>(*list);
    size_t size = size_t(GetHandleSize(list));
    if (size < 2 || index > (bytes[0] << 8 | bytes[1])) return;
    size_t at = 2;
    for (SInt16 i = 1; i < index; ++i) {
        if (at >= size) return;
        at += 1 + size_t(bytes[at]);
    }
    if (at >= size || bytes[at] > size - at - 1) return;
    std::memcpy(theString, bytes + at, size_t(bytes[at]) + 1);
}
