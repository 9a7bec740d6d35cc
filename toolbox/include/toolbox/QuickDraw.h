/* QuickDraw: rectangle and point arithmetic, ports and offscreen pixel buffers.
 *
 * Every port is a 32-bit pixel buffer: the bytes of a pixel in memory are alpha, red,
 * green, blue; rows are rowBytes apart (at least 4 x width, possibly more). The pixel at
 * (h, v) of a port with bounds B lies at baseAddr + (v - B.top) * rowBytes + 4 * (h - B.left).
 * The rowBytes field of a PixMap carries flag bits in its top two bits: mask it with 0x3FFF
 * (GetPixRowBytes does). Drawing clips to the destination's bounds and its port's clip
 * rectangle before it touches memory. */
#pragma once

#include "toolbox/MacTypes.h"

/* Ports and offscreen buffers are handled by pointer; their inside is the toolbox's. */
typedef struct GrafPort* GrafPtr;
typedef GrafPtr CGrafPtr;
typedef CGrafPtr GWorldPtr;
typedef struct GDevice** GDHandle;
typedef struct ColorTable** CTabHandle;
typedef struct MacRegion** RgnHandle;

typedef SInt16 QDErr;
typedef SInt32 Fixed;

/* The descriptor of a port's pixels, as CopyBits reads it. */
typedef struct BitMap {
    Ptr baseAddr;
    SInt16 rowBytes; /* top two bits are flags: mask with 0x3FFF */
    Rect bounds;
} BitMap;

/* A pixel map starts like a BitMap; the fields after bounds describe the pixel format. */
typedef struct PixMap {
    Ptr baseAddr;
    SInt16 rowBytes; /* 0x8000 marks a pixel map; mask with 0x3FFF */
    Rect bounds;
    SInt16 pmVersion;
    SInt16 packType;
    SInt32 packSize;
    Fixed hRes;
    Fixed vRes;
    SInt16 pixelType;
    SInt16 pixelSize; /* always 32 */
    SInt16 cmpCount;
    SInt16 cmpSize;
    OSType pixelFormat; /* k32ARGBPixelFormat */
    CTabHandle pmTable;
    void* pmExt;
} PixMap;
typedef PixMap* PixMapPtr;
typedef PixMapPtr* PixMapHandle;

/* A picture: its size and frame, followed by its image (see toolbox::NewPictureFromPixels). */
typedef struct Picture {
    SInt16 picSize;
    Rect picFrame;
} Picture;
typedef Picture* PicPtr;
typedef PicPtr* PicHandle;

typedef UInt32 GWorldFlags;
enum {
    pixPurge = 1 << 0,
    noNewDevice = 1 << 1,
    useTempMem = 1 << 2,
    keepLocal = 1 << 3,
    pixelsPurgeable = 1 << 6,
    pixelsLocked = 1 << 7
};

enum { k32ARGBPixelFormat = 0x00000020 };

/* Transfer modes: CopyBits knows srcCopy (a plain copy); other modes copy the same way. */
enum { srcCopy = 0 };

TB_EXTERN_C_BEGIN

void SetRect(Rect* r, short left, short top, short right, short bottom);
void OffsetRect(Rect* r, short dh, short dv);
void InsetRect(Rect* r, short dh, short dv);
Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dstRect);
Boolean EmptyRect(const Rect* r);
Boolean PtInRect(Point pt, const Rect* r);

/* Offscreen buffers. NewGWorld accepts depth 0 or 32 and bounds of 1..4095 pixels across
 * and at least one row; anything else is paramErr, no memory memFullErr. The new buffer's
 * pixels are unlocked and their content is undefined. NewGWorldFromPtr wraps the caller's
 * memory (k32ARGBPixelFormat, rowBytes >= 4 x width), which stays the caller's. Pixel
 * memory of disposed buffers is kept and handed to the next buffer that fits. */
QDErr NewGWorld(GWorldPtr* offscreenGWorld, short pixelDepth, const Rect* boundsRect, CTabHandle cTable,
                GDHandle aGDevice, GWorldFlags flags);
QDErr NewGWorldFromPtr(GWorldPtr* offscreenGWorld, UInt32 pixelFormat, const Rect* boundsRect,
                       CTabHandle cTable, GDHandle aGDevice, GWorldFlags flags, Ptr buffer, long rowBytes);
void DisposeGWorld(GWorldPtr offscreenGWorld);
PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);

/* The lock state is kept per buffer: GetPixelsState reports pixelsLocked while locked,
 * SetPixelsState puts a saved state back. */
Boolean LockPixels(PixMapHandle pm);
GWorldFlags GetPixelsState(PixMapHandle pm);
void SetPixelsState(PixMapHandle pm, GWorldFlags state);
Ptr GetPixBaseAddr(PixMapHandle pm);
long GetPixRowBytes(PixMapHandle pm); /* masked with 0x3FFF */
short GetPixDepth(PixMapHandle pm);

Rect* GetPortBounds(CGrafPtr port, Rect* rect);
/* Sets clipRgn to the port's clip region (its rectangle); nothing for a port that is not one. */
void GetPortClipRegion(CGrafPtr port, RgnHandle clipRgn);
const BitMap* GetPortBitMapForCopyBits(CGrafPtr port);

/* The current port and device; NULL until something is made current. */
void GetGWorld(CGrafPtr* port, GDHandle* gdh);
void SetGWorld(CGrafPtr port, GDHandle gdh);
void SetPort(GrafPtr port);

/* Copies srcRect of srcBits to dstRect of dstBits, scaling by nearest neighbour. Pixels
 * whose destination lies outside the destination's bounds (or, when the destination is
 * the current port, outside its clip rectangle) or whose source lies outside the source's
 * bounds are not touched. Source and destination may be the same buffer and overlap.
 * The mask region is ignored. */
void CopyBits(const BitMap* srcBits, const BitMap* dstBits, const Rect* srcRect, const Rect* dstRect,
              short mode, RgnHandle maskRgn);

/* Drawing in the current port, with its colours and clip rectangle. Painted pixels become
 * opaque (alpha 255); InvertRect inverts red, green and blue and keeps alpha. */
void RGBForeColor(const RGBColor* color);
void RGBBackColor(const RGBColor* color);
void PaintRect(const Rect* r);
void EraseRect(const Rect* r);
void FrameRect(const Rect* r);
void InvertRect(const Rect* r);
void ClipRect(const Rect* r);

/* Draws the picture scaled from its frame into dstRect of the current port. */
void DrawPicture(PicHandle myPicture, const Rect* dstRect);
void KillPicture(PicHandle myPicture);

TB_EXTERN_C_END

#ifdef __cplusplus
namespace toolbox {
/* A picture holding a copy of a 32-bit alpha-red-green-blue image; its frame is
 * (0, 0, height, width). NULL when the size is not 1..4095 pixels across, or no memory.
 * KillPicture disposes of it. */
PicHandle NewPictureFromPixels(const UInt8* pixels, int width, int height, long rowBytes);
} // namespace toolbox

/* The current port and device, saved when the record is made and made current again when it
 * goes. Restore() puts them back early, once, where something must follow the restore in the
 * same scope (a buffer disposed of after its drawing, say). */
struct SavedGWorldRec {
    CGrafPtr port = nullptr;
    GDHandle device = nullptr;
    bool pending = true;
    SavedGWorldRec() { GetGWorld(&port, &device); }
    ~SavedGWorldRec() { Restore(); }
    SavedGWorldRec(const SavedGWorldRec&) = delete;
    SavedGWorldRec& operator=(const SavedGWorldRec&) = delete;
    void Restore() {
        if (pending) SetGWorld(port, device);
        pending = false;
    }
};
#endif

/* ---- Pen, ovals, regions and text ----------------------------------------------------
 * The pen of a port is one pixel wide and has a transfer mode and a location. With a
 * solid pen, patCopy and patOr (and srcCopy/srcOr, which the pen treats alike) paint the
 * foreground colour, patXor inverts and patBic paints the background colour. Ovals are
 * those inscribed in their rectangle; a framed oval is a ring one pixel thick.
 * Text is drawn with DejaVu Sans at the port's text size (12 at first), its baseline at the
 * pen location, which then moves right by the text's width. */
enum { srcOr = 1, srcXor = 2, srcBic = 3, patCopy = 8, patOr = 9, patXor = 10, patBic = 11 };
enum { kInvalidFontFamily = -1 };

typedef SInt16 FMFontFamily;

typedef struct FontInfo {
    SInt16 ascent;
    SInt16 descent;
    SInt16 widMax;
    SInt16 leading;
} FontInfo;

/* A region is only ever a rectangle here. */
typedef struct MacRegion {
    UInt16 rgnSize;
    Rect rgnBBox;
} MacRegion;

TB_EXTERN_C_BEGIN

void PenMode(short mode);
void PenNormal(void);
void MoveTo(short h, short v);
void GetPen(Point* pt);
void FrameOval(const Rect* r);

void TextSize(short size);
void DrawString(ConstStr255Param s);
short StringWidth(ConstStr255Param s);
void GetFontInfo(FontInfo* info);
FMFontFamily FMGetFontFamilyFromName(ConstStr255Param name);

RgnHandle NewRgn(void);
void RectRgn(RgnHandle rgn, const Rect* r);
void DisposeRgn(RgnHandle rgn);

TB_EXTERN_C_END

#ifdef __cplusplus
#include <string>
namespace toolbox {
/* Writes the port's pixels to a PNG file (red, green, blue; alpha dropped). false, with the
 * reason in error, when the file cannot be written. */
bool WritePortPNG(CGrafPtr port, const std::string& path, std::string& error);
/* Text drawing in UTF-8 for the toolbox's own controls; same metrics as DrawString. */
void DrawUtf8(const std::string& text);
int Utf8Width(const std::string& text);
} // namespace toolbox
#endif
