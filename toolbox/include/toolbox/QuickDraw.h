/* QuickDraw: rectangle and point arithmetic, ports and offscreen pixel buffers. */
#pragma once

#include "toolbox/MacTypes.h"

/* Ports and offscreen buffers are handled by pointer; their inside is the toolbox's. */
typedef struct GrafPort* GrafPtr;
typedef GrafPtr CGrafPtr;
typedef CGrafPtr GWorldPtr;
typedef struct GDevice** GDHandle;
typedef struct PixMap PixMap;
typedef PixMap* PixMapPtr;
typedef PixMapPtr* PixMapHandle;

TB_EXTERN_C_BEGIN

void SetRect(Rect* r, short left, short top, short right, short bottom);
void OffsetRect(Rect* r, short dh, short dv);
void InsetRect(Rect* r, short dh, short dv);
Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dstRect);
void UnionRect(const Rect* src1, const Rect* src2, Rect* dstRect);
Boolean EqualRect(const Rect* rect1, const Rect* rect2);
Boolean EmptyRect(const Rect* r);
Boolean PtInRect(Point pt, const Rect* r);
void SetPt(Point* pt, short h, short v);

TB_EXTERN_C_END
