#include "BeforeAfter.h"

#include "video/VideoWriter.h"

#include "toolbox/QuickDraw.h"
#include "toolbox/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace cli {

namespace {

// Draws `text` in white on a black box in the top left corner of `half` of the port.
void DrawLabel(const char* text, const Rect& half) {
    int size = std::clamp((half.bottom - half.top) / 16, 9, 48);
    TextSize(short(size));
    Str255 label;
    CopyCStringToPascal(text, label);
    FontInfo font;
    GetFontInfo(&font);
    int margin = size / 2;
    Rect box{half.top, half.left, short(half.top + font.ascent + font.descent + margin),
             short(half.left + StringWidth(label) + margin)};
    const RGBColor black{0, 0, 0}, white{0xFFFF, 0xFFFF, 0xFFFF};
    RGBForeColor(&black);
    PaintRect(&box);
    RGBForeColor(&white);
    MoveTo(short(box.left + margin / 2), short(box.top + margin / 2 + font.ascent));
    DrawString(label);
}

// Labels both halves of the still through the toolbox's text drawing; a still that cannot
// be wrapped for drawing stays unlabelled.
void DrawLabels(hosts::video::ArgbImage& still, int halfWidth) {
    GWorldPtr world = nullptr;
    Rect bounds{0, 0, short(still.height), short(still.width)};
    if (NewGWorldFromPtr(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                         reinterpret_cast<Ptr>(still.pixels.data()), still.rowBytes) != noErr ||
        !world)
        return;
    SavedGWorldRec saved;
    SetGWorld(world, nullptr);
    DrawLabel("before", Rect{0, 0, bounds.bottom, short(halfWidth)});
    DrawLabel("after", Rect{0, short(halfWidth), bounds.bottom, bounds.right});
    saved.Restore();
    DisposeGWorld(world);
}

} // namespace

bool WriteBeforeAfter(const std::string& path, const hosts::video::ArgbImage& before,
                      const hosts::video::ArgbImage& after, std::string& error) {
    hosts::video::ArgbImage still;
    int w = before.width, h = before.height;
    still.Allocate(2 * w, h);
    for (int y = 0; y < h; ++y) {
        std::memcpy(still.Row(y), before.Row(y), size_t(w) * 4);
        std::memcpy(still.Row(y) + 4 * w, after.Row(y), size_t(w) * 4);
    }
    // Buffers the toolbox draws in are at most 4095 pixels across.
    if (still.width <= hosts::video::kMaxFrameSide) DrawLabels(still, w);
    return hosts::video::WritePngFile(path, still, error);
}

} // namespace cli
