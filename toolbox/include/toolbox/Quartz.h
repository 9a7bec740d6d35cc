/* Quartz 2D: colour spaces, data providers and images.
 *
 * Images hold 32-bit pixels; CGImageRef is reference counted: CGImageRetain adds a
 * reference, CGImageRelease drops one and frees the image with the last. */
#pragma once

#include "toolbox/MacTypes.h"

typedef double CGFloat;
typedef struct CGImage* CGImageRef;
typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGDataProvider* CGDataProviderRef;
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);

typedef UInt32 CGBitmapInfo;
enum {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6
};
enum { kCGBitmapAlphaInfoMask = 0x1F, kCGBitmapByteOrderDefault = 0, kCGBitmapByteOrder32Big = 4 << 12 };

typedef SInt32 CGColorRenderingIntent;
enum { kCGRenderingIntentDefault = 0 };

TB_EXTERN_C_BEGIN

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
void CGColorSpaceRelease(CGColorSpaceRef space);

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
void CGDataProviderRelease(CGDataProviderRef provider);

/* 8 bits a component and 32 bits a pixel only; the pixels are copied into the image. */
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
CGImageRef CGImageCreateCopy(CGImageRef image);
CGImageRef CGImageRetain(CGImageRef image);
void CGImageRelease(CGImageRef image);
size_t CGImageGetWidth(CGImageRef image);
size_t CGImageGetHeight(CGImageRef image);
size_t CGImageGetBytesPerRow(CGImageRef image);
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image);

TB_EXTERN_C_END

#ifdef __cplusplus
namespace toolbox {
/* The first byte of an image's pixels (rows CGImageGetBytesPerRow apart); NULL for NULL. */
const UInt8* CGImagePixels(CGImageRef image);
} // namespace toolbox
#endif
