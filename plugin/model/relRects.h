// Rectangles and points relative to a frame, and their conversion to pixels of a frame.
#pragma once

#include "model/PluginDefines.h"

void InitRelRect(RelRect& theRel);
RelRect SetRelRect(double left, double top, double right, double bottom);
Rect Rel2Rect(const RelRect& theRel, const Rect& theFrame);
RelRect Rect2Rel(const Rect& theRect, const Rect& theFrame);
Point Rel2Point(const RelPoint& theRel, const Rect& theFrame);
RelPoint Point2Rel(Point thePoint, const Rect& theFrame);
RelRect CalcTweenRel(SInt32 startFrameNum, SInt32 endFrameNum, SInt32 currFrameNum, const RelRect& sourceRel,
                     const RelRect& targetRel);
