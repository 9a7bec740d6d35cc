// The effect's arithmetic written out plainly, as the expectation every test compares with:
// the channel formula in double precision, the rectangle's pixel edges, a fade's opacity, and
// the host's mix that lays one frame over another.
// Nothing here calls the plug-in, so a fault in its code cannot hide in the oracle too.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace oracle {

// trunc(c × S + (255 − c) × I) with S = 1 − amount/100 and I = 1 − S (not amount/100, which
// rounds differently at some amounts), saturated to a byte.
inline std::uint8_t Channel(int c, int amount) {
    double S = 1.0 - amount / 100.0;
    double I = 1.0 - S;
    double v = std::trunc(c * S + (255 - c) * I);
    return std::uint8_t(std::clamp(v, 0.0, 255.0));
}

// A pixel edge of a relative rectangle: trunc(size × fraction).
inline int Edge(int size, double fraction) {
    return int(std::trunc(double(size) * fraction));
}

// The effect over one frame of width × height pixels of 4 bytes, rows `rowBytes` apart, in
// place; `redByte` is the offset of red in a pixel (1 for alpha-red-green-blue, 0 for
// red-green-blue-alpha), and alpha is the byte the three colours leave free.
struct EffectRec {
    int red = 100, green = 100, blue = 100;
    double left = 0.0, top = 0.0, right = 1.0, bottom = 1.0;
};

inline void Apply(const EffectRec& e, std::uint8_t* pixels, int width, int height, long rowBytes,
                  int redByte) {
    const int alphaByte = redByte == 0 ? 3 : 0;
    const int amounts[3] = {e.red, e.green, e.blue};
    int x0 = std::max(Edge(width, e.left), 0), x1 = std::min(Edge(width, e.right), width);
    int y0 = std::max(Edge(height, e.top), 0), y1 = std::min(Edge(height, e.bottom), height);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            std::uint8_t* p = pixels + y * rowBytes + 4 * x;
            for (int k = 0; k < 3; ++k)
                p[redByte + k] = Channel(p[redByte + k], amounts[k]);
            p[alphaByte] = 255;
        }
    }
}

// The opacity with which the unprocessed frame covers the processed one at renderFrame
// (fades already clamped to the clip), or -1 when the frame is no fade frame.
inline int FadeOpacity(int renderFrame, int frameCount, int fadeIn, int fadeOut) {
    double percent;
    if (fadeIn > 0 && renderFrame < fadeIn)
        percent = double(renderFrame) / fadeIn;
    else if (fadeOut > 0 && renderFrame > frameCount - fadeOut)
        percent = double(frameCount - renderFrame) / fadeOut;
    else
        return -1;
    return int(std::clamp((1.0 - percent) * 255.0, 0.0, 255.0));
}

// A byte of src laid over dst at opacity 0..255, rounded to nearest: 255 gives src and 0 dst.
inline std::uint8_t Blend(int src, int dst, int opacity) {
    return std::uint8_t((src * opacity + dst * (255 - opacity) + 127) / 255);
}

} // namespace oracle
