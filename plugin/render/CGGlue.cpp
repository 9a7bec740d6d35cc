// QuickDraw rectangles to Quartz ones, and images drawn into buffers through contexts that
// are opened and closed within each call.
#include "render/CGGlue.h"

#include "render/pixelBuffers.h"
#include "util/commonprocs.h"
#include "util/failures.h"

namespace {

constexpr float kHalf = 2.0f;
constexpr double kByteRange = 255.0;

// A context on the port, drawing done by draw, then flushed, closed and released.
template <typename Draw>
void WithPortContext(CGrafPtr thePort, Draw&& draw) {
    CGContextRef theContext = nullptr;
    QDBeginCGContext(thePort, &theContext);
    draw(theContext);
    CGContextFlush(theContext);
    QDEndCGContext(thePort, &theContext);
    CGContextRelease(theContext);
}

} // namespace

CGRect CGRectMake(float theX, float theY, float theWidth, float theHeight) {
    return CGRect{{theX, theY}, {theWidth, theHeight}};
}

CGRect QDRectToGCRect(Rect theRect, Rect theFrame) {
    const int portHig = theFrame.bottom - theFrame.top;
    const int rWid = theRect.right - theRect.left;
    const int rHig = theRect.bottom - theRect.top;
    const int x = theRect.left + theFrame.left;
    const int y = portHig + theFrame.top - theRect.bottom;
    return CGRectMake(float(x), float(y), float(rWid), float(rHig));
}

CGRect QDCrop2CGCrop(Rect cropRect, CGImageRef) {
    return CGRectMake(float(cropRect.left), float(cropRect.top), float(cropRect.right - cropRect.left),
                      float(cropRect.bottom - cropRect.top));
}

void GetImageDims(CGImageRef theImage, SInt32& wid, SInt32& hig) {
    wid = SInt32(CGImageGetWidth(theImage));
    hig = SInt32(CGImageGetHeight(theImage));
}

Rect GetImageRect(CGImageRef theImage) {
    if (!theImage) return Rect{0, 0, 0, 0};
    SInt32 wid, hig;
    GetImageDims(theImage, wid, hig);
    return Rect{0, 0, SInt16(hig), SInt16(wid)};
}

Rect CalcProportionalImageForFrame(CGImageRef theImage, Rect theFrame) {
    return CalcProportionalRectForFrame(GetImageRect(theImage), theFrame);
}

void DrawRotatedImageInCGRect(CGContextRef theContext, CGImageRef theImage, CGRect targetRect,
                              float theRadiants, Boolean clearFirst) {
    Assert(theContext, "NIL context for DrawRotatedImageInQDRect");
    Assert(theImage, "NIL Image for DrawRotatedImageInQDRect");
    const float wid = targetRect.size.width, hig = targetRect.size.height;
    CGContextSaveGState(theContext);
    CGContextTranslateCTM(theContext, targetRect.origin.x + wid / kHalf, targetRect.origin.y + hig / kHalf);
    CGContextRotateCTM(theContext, theRadiants);
    const CGRect drawRect = CGRectMake(-wid / kHalf, -hig / kHalf, wid, hig);
    if (clearFirst) CGContextClearRect(theContext, drawRect);
    CGContextDrawImage(theContext, drawRect, theImage);
    CGContextRestoreGState(theContext);
}

void DrawCGImageInQDRect(CGrafPtr theGW, CGImageRef theImage, Rect qdTargetRect, float theRadiants,
                         Boolean clearFirst) {
    DrawCGImageInQDRectWithAlpha(theGW, theImage, qdTargetRect, theRadiants, clearFirst, -1.0,
                                 kCGBlendModeNormal);
}

void DrawCGImageInQDRectWithAlpha(CGrafPtr theGW, CGImageRef theImage, Rect qdTargetRect, float theRadiants,
                                  Boolean clearFirst, double alpha, SInt16 blendMode) {
    const CGRect target = QDRectToGCRect(qdTargetRect, GetPortRect(theGW));
    if (!theImage) return;
    WithPortContext(theGW, [&](CGContextRef theContext) {
        if (theContext && alpha >= 0.0) CGContextSetAlpha(theContext, float(alpha));
        if (theContext) CGContextSetBlendMode(theContext, blendMode);
        DrawRotatedImageInCGRect(theContext, theImage, target, theRadiants, clearFirst);
    });
}

void GWClearRect(GWorldPtr theGW, Rect theRect) {
    Assert(theGW, "NIL GWorld in GWClearRect");
    const CGRect target = QDRectToGCRect(theRect, GetPortRect(theGW));
    WithPortContext(theGW, [&](CGContextRef theContext) { CGContextClearRect(theContext, target); });
}

void GWPaintRectWithAlpha(GWorldPtr theGW, Rect theRect, RGBColor theColor, UInt8 alpha) {
    Assert(theGW, "NIL GWorld in GWPaintRect");
    const float red = float((theColor.red >> 8) / kByteRange);
    const float green = float((theColor.green >> 8) / kByteRange);
    const float blue = float((theColor.blue >> 8) / kByteRange);
    const float opacity = float(alpha / kByteRange);
    const CGRect target = QDRectToGCRect(theRect, GetPortRect(theGW));
    WithPortContext(theGW, [&](CGContextRef theContext) {
        CGContextSetRGBFillColor(theContext, red, green, blue, opacity);
        CGContextFillRect(theContext, target);
    });
}

CGImageRef GWorld2CGImage(GWorldPtr theGW) {
    // Read through the pixel-access protocol, so that the buffer's lock state comes back as it was.
    Ptr base = nullptr;
    SInt32 rowBytes = 0;
    Rect frame{0, 0, 0, 0};
    UInt32 pixFlags = 0;
    if (theGW) GetPixInfoFromGWorld(theGW, base, rowBytes, frame, pixFlags);
    SInt32 wid, hig;
    GetDims(frame, wid, hig);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef theContext = nullptr;
    if (base && wid > 0 && hig > 0)
        theContext = CGBitmapContextCreate(base, size_t(wid), size_t(hig), 8, size_t(rowBytes), space,
                                           kCGImageAlphaPremultipliedFirst);
    Assert(theContext, "Failed to create s CGContext on GWorld2CGImage");
    CGColorSpaceRelease(space);
    CGImageRef theImage = CGBitmapContextCreateImage(theContext);
    CGContextRelease(theContext);
    SetPixelsState(GetGWorldPixMap(theGW), pixFlags);
    return theImage;
}

CGColorRef RGBColor2CGColorRef(RGBColor theColor, SInt16 alpha, CGColorSpaceRef theColorSpace) {
    Assert(theColorSpace, "NIL ColorSpace -- Color Space for allocation in RGBColor2CGColorRef");
    const CGFloat components[4] = {float((theColor.red >> 8) / kByteRange),
                                   float((theColor.green >> 8) / kByteRange),
                                   float((theColor.blue >> 8) / kByteRange), float(alpha / kByteRange)};
    CGColorRef theColorRef = CGColorCreate(theColorSpace, components);
    Assert(theColorRef, "NIL Color returned -- CGColorCreate returned NIL color in RGBColor2CGColorRef");
    return theColorRef;
}
