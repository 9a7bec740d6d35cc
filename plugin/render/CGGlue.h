// The bridge between QuickDraw rectangles on pixel buffers (origin top left, y down, whole
// pixels) and Quartz images and contexts (origin bottom left, y up, float coordinates),
// and the drawing of images into buffers and ports that the dialog uses.
#pragma once

#include "toolbox/Quartz.h"
#include "toolbox/QuickDraw.h"

// Geometry.
CGRect CGRectMake(float theX, float theY, float theWidth, float theHeight);
// The Quartz rectangle of the same pixels as theRect in a port whose port rectangle is theFrame.
CGRect QDRectToGCRect(Rect theRect, Rect theFrame);
CGRect QDCrop2CGCrop(Rect cropRect, CGImageRef theImage);
// The image's bounds fitted into theFrame's size with their proportions kept, at (0, 0).
Rect CalcProportionalImageForFrame(CGImageRef theImage, Rect theFrame);
void GetImageDims(CGImageRef theImage, SInt32& wid, SInt32& hig);
Rect GetImageRect(CGImageRef theImage); // (0, 0, 0, 0) for no image

// Drawing. The image fills the rectangle exactly, turned by theRadiants about its centre;
// clearFirst makes that area transparent before. No image draws nothing.
void DrawRotatedImageInCGRect(CGContextRef theContext, CGImageRef theImage, CGRect targetRect,
                              float theRadiants, Boolean clearFirst);
void DrawCGImageInQDRect(CGrafPtr theGW, CGImageRef theImage, Rect qdTargetRect, float theRadiants,
                         Boolean clearFirst);
// As DrawCGImageInQDRect, with a global alpha (a negative one keeps the context's) and a blend mode.
void DrawCGImageInQDRectWithAlpha(CGrafPtr theGW, CGImageRef theImage, Rect qdTargetRect, float theRadiants,
                                  Boolean clearFirst, double alpha, SInt16 blendMode);
void GWClearRect(GWorldPtr theGW, Rect theRect);
void GWPaintRectWithAlpha(GWorldPtr theGW, Rect theRect, RGBColor theColor, UInt8 alpha);

// Conversion; the caller owns and releases the result.
CGImageRef GWorld2CGImage(GWorldPtr theGW);
CGColorRef RGBColor2CGColorRef(RGBColor theColor, SInt16 alpha, CGColorSpaceRef theColorSpace);
