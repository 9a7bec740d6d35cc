/* Core Foundation: reference-counted objects and strings. */
#pragma once

#include "toolbox/MacTypes.h"

typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef long CFIndex;
typedef UInt32 CFStringEncoding;

#define kCFAllocatorDefault ((CFAllocatorRef)0)
enum { kCFStringEncodingMacRoman = 0, kCFStringEncodingUTF8 = 0x08000100 };

TB_EXTERN_C_BEGIN

CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr,
                                           CFStringEncoding encoding);
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
/* Length in UTF-16 units, as the platform counts. */
CFIndex CFStringGetLength(CFStringRef theString);
Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);

/* Constant strings: CFSTR("text") gives one shared string per text that is never freed. */
CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")

TB_EXTERN_C_END

#ifdef __cplusplus
#include <string>
namespace toolbox {
/* The text of a string as UTF-8; empty for NULL. */
std::string CFStringToUtf8(CFStringRef s);
} // namespace toolbox
#endif
