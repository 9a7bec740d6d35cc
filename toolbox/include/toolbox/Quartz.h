/* Quartz 2D: colour spaces, colours, data providers, images and bitmap contexts.
 *
 * Images hold 32-bit pixels; CGImageRef is reference counted: CGImageRetain adds a
 * reference, CGImageRelease drops one and frees the image with the last. Colour spaces,
 * colours and contexts have one reference, which their release frees.
 *
 * A context draws into 32-bit pixels whose bytes in memory are alpha, red, green, blue,
 * premultiplied by alpha. Its user space has the origin at the bottom left of the pixels and
 * y growing upwards, in units of one pixel, until the current transformation (translate,
 * rotate) moves it. Drawing clips to the pixels (and, for a context on a QuickDraw port, to
 * the port's clip rectangle). Edges of filled, cleared and drawn rectangles cover partly
 * covered pixels in proportion, so a rectangle on whole pixels has hard edges and a turned
 * one is smoothed. Images are scaled bilinearly and never sample outside themselves. */
#pragma once

#include "toolbox/MacTypes.h"
#include "toolbox/QuickDraw.h"

typedef float CGFloat;
typedef struct CGImage* CGImageRef;
typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGColor* CGColorRef;
typedef struct CGContext* CGContextRef;
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

typedef struct CGPoint {
    CGFloat x;
    CGFloat y;
} CGPoint;
typedef struct CGSize {
    CGFloat width;
    CGFloat height;
} CGSize;
typedef struct CGRect {
    CGPoint origin;
    CGSize size;
} CGRect;

/* Only normal blending (source over destination) is drawn; other modes draw as normal. */
typedef SInt32 CGBlendMode;
enum { kCGBlendModeNormal = 0 };

TB_EXTERN_C_BEGIN

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
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

/* A colour of the device RGB space: red, green, blue and alpha, each 0..1 (values outside
 * are pinned). NULL without a space or components. */
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat components[]);
void CGColorRelease(CGColorRef color);

/* A context over width x height pixels at data, rows bytesPerRow apart: 8 bits a
 * component, kCGImageAlphaPremultipliedFirst with the default or the 32-bit big byte order
 * (the bytes alpha, red, green, blue in memory), bytesPerRow >= 4 x width. The memory stays
 * the caller's and must outlive the context; NULL data gives the context zeroed memory of
 * its own. NULL for anything else. */
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo);
/* An image of the context's pixels as they are now; later drawing does not change it. */
CGImageRef CGBitmapContextCreateImage(CGContextRef context);

void CGContextRelease(CGContextRef context);

/* The graphics state (transformation, global alpha, blend mode, fill colour) is saved on a
 * stack; a restore without a save does nothing. */
void CGContextSaveGState(CGContextRef context);
void CGContextRestoreGState(CGContextRef context);
void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty);
/* Turns user space by angle radians, counter-clockwise as seen with y upwards. */
void CGContextRotateCTM(CGContextRef context, CGFloat angle);
void CGContextSetAlpha(CGContextRef context, CGFloat alpha); /* pinned to 0..1 */
void CGContextSetBlendMode(CGContextRef context, CGBlendMode mode);
void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);

/* Makes the rectangle's pixels fully transparent (alpha and colour 0). */
void CGContextClearRect(CGContextRef context, CGRect rect);
/* Lays the fill colour, times the global alpha, over the rectangle. */
void CGContextFillRect(CGContextRef context, CGRect rect);
/* Lays the image, scaled to fill rect exactly (its top row at the rectangle's top), times
 * the global alpha, over the rectangle. */
void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);
/* Drawing goes straight into the pixels; on a window's port this shows them. */
void CGContextFlush(CGContextRef context);

/* A context on the port's pixels: the port rectangle's bottom left is user space's origin.
 * QDEndCGContext ends it, releases the context QDBeginCGContext handed out and sets
 * *contextPtr to NULL. paramErr
 * for a NULL or unknown port or pointer, or a context that is not the port's. */
OSStatus QDBeginCGContext(CGrafPtr port, CGContextRef* contextPtr);
OSStatus QDEndCGContext(CGrafPtr port, CGContextRef* contextPtr);

TB_EXTERN_C_END

#ifdef __cplusplus
namespace toolbox {
/* The first byte of an image's pixels (rows CGImageGetBytesPerRow apart); NULL for NULL. */
const UInt8* CGImagePixels(CGImageRef image);
} // namespace toolbox
#endif
