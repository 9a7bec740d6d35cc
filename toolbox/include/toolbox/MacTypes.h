/* Basic types of the toolbox: integers, pointers and handles, result codes, short strings,
 * four-character codes, rectangles, points and colours. Usable from C and C++. */
#pragma once

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
#define TB_EXTERN_C_BEGIN extern "C" {
#define TB_EXTERN_C_END }
#else
#define TB_EXTERN_C_BEGIN
#define TB_EXTERN_C_END
#endif

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;

/* An 8-bit truth value, as in every toolbox record. */
typedef unsigned char Boolean;

typedef char* Ptr;
typedef Ptr* Handle;
typedef long Size;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;

/* Four-character codes: the first character is the most significant byte. */
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;

/* Short strings: a length byte followed by up to 255 characters (Mac Roman). */
typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str32[33];
typedef unsigned char Str31[32];
typedef unsigned char Str15[16];
typedef unsigned char* StringPtr;
typedef StringPtr* StringHandle;
typedef const unsigned char* ConstStringPtr;
typedef const unsigned char* ConstStr255Param;
typedef const unsigned char* ConstStr63Param;
typedef const unsigned char* ConstStr31Param;

/* Rectangles are top, left, bottom, right; right and bottom are exclusive. */
typedef struct Point {
    SInt16 v;
    SInt16 h;
} Point;

typedef struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
} Rect;

typedef struct RGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
} RGBColor;

enum {
    noErr = 0,
    paramErr = -50,
    ioErr = -36,
    eofErr = -39,
    fnfErr = -43,
    wPrErr = -44,
    dupFNErr = -48,
    dirNFErr = -120,
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,
    resNotFound = -192,
    resFNotFound = -193,
    mapReadErr = -199,
    eventNotHandledErr = -9874
};

#ifdef __cplusplus
/* FourCC("Pref") is the code the platform writes as 'Pref'. */
constexpr FourCharCode FourCC(const char (&s)[5]) {
    return (FourCharCode(UInt8(s[0])) << 24) | (FourCharCode(UInt8(s[1])) << 16) |
           (FourCharCode(UInt8(s[2])) << 8) | FourCharCode(UInt8(s[3]));
}
#endif
