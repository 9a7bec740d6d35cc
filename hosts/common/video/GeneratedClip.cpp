#include "video/GeneratedClip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace hosts::video {

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 480;
constexpr int kSampleRate = 48000;

void Put(ArgbImage& img, int x, int y, int r, int g, int b) {
    std::uint8_t* p = img.Row(y) + 4 * x;
    p[0] = 255;
    p[1] = std::uint8_t(std::clamp(r, 0, 255));
    p[2] = std::uint8_t(std::clamp(g, 0, 255));
    p[3] = std::uint8_t(std::clamp(b, 0, 255));
}

// Seven 75% bars: white, yellow, cyan, green, magenta, red, blue.
void DrawBars(ArgbImage& img, int y0, int y1) {
    static const int bars[7][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                   {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int* c = bars[x * 7 / kWidth];
            Put(img, x, y, c[0], c[1], c[2]);
        }
}

// A grey ramp above a hue sweep.
void DrawGradients(ArgbImage& img, int y0, int y1) {
    int mid = (y0 + y1) / 2;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int v = x * 255 / (kWidth - 1);
            if (y < mid) {
                Put(img, x, y, v, v, v);
            } else {
                double h = 6.0 * x / kWidth;
                int r = int(255 * std::clamp(std::fabs(h - 3.0) - 1.0, 0.0, 1.0));
                int g = int(255 * std::clamp(2.0 - std::fabs(h - 2.0), 0.0, 1.0));
                int b = int(255 * std::clamp(2.0 - std::fabs(h - 4.0), 0.0, 1.0));
                Put(img, x, y, r, g, b);
            }
        }
}

// A zone plate on the left, one-pixel line pairs and a checkerboard on the right.
void DrawDetail(ArgbImage& img, int y0, int y1, int frame) {
    int plate = kWidth / 2;
    double phase = frame * 0.15;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (x < plate) {
                double dx = x - plate / 2.0, dy = y - (y0 + y1) / 2.0;
                int v = int(127.5 + 127.5 * std::cos((dx * dx + dy * dy) * 0.004 + phase));
                Put(img, x, y, v, v, v);
            } else if (x < plate + plate / 2) {
                int v = ((x / 1) % 2) ? 255 : 0;
                Put(img, x, y, v, v, v);
            } else {
                int v = (((x / 4) + (y / 4)) % 2) ? 230 : 25;
                Put(img, x, y, v, v / 2, 255 - v);
            }
        }
}

// A box travelling back and forth and a vertical bar sweeping across the whole picture.
void DrawMotion(ArgbImage& img, int frame) {
    int span = kWidth - 80;
    int pos = frame * 6 % (2 * span);
    int bx = pos < span ? pos : 2 * span - pos;
    for (int y = 300; y < 380; ++y)
        for (int x = bx; x < bx + 80; ++x)
            Put(img, x, y, 250, 120, 20);
    int sweep = frame * 4 % kWidth;
    for (int y = 0; y < kHeight; ++y)
        for (int x = sweep; x < std::min(sweep + 3, kWidth); ++x)
            Put(img, x, y, 255, 255, 255);
}

// The frame number as a row of 12 binary cells, so a viewer can tell frames apart.
void DrawCounter(ArgbImage& img, int y0, int y1, int frame) {
    int cell = kWidth / 12;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < kWidth; ++x) {
            bool on = (frame >> (11 - x / cell)) & 1;
            int v = on ? 235 : 16;
            Put(img, x, y, v, v, on ? 16 : v);
        }
}

class ToneAudio final : public AudioSource {
  public:
    explicit ToneAudio(long firstSample) : sample_(firstSample) {}
    bool ReadSamples(int count, std::vector<float>& out, std::string&) override {
        // A 440 Hz tone that sounds for half of every second.
        for (int i = 0; i < count; ++i, ++sample_) {
            bool on = (sample_ % kSampleRate) < kSampleRate / 2;
            float v = on ? float(0.2 * std::sin(2.0 * M_PI * 440.0 * double(sample_) / kSampleRate)) : 0.0f;
            out.push_back(v);
            out.push_back(v);
        }
        return true;
    }

  private:
    long sample_;
};

} // namespace

GeneratedClip::GeneratedClip(int frameCount) {
    info_.width = kWidth;
    info_.height = kHeight;
    info_.frameCount = frameCount;
    info_.frameRate = {30000, 1001};
    info_.audio = {true, kSampleRate, 2};
}

void GeneratedClip::DrawFrame(int index, ArgbImage& out) const {
    out.Allocate(kWidth, kHeight);
    DrawBars(out, 0, 120);
    DrawGradients(out, 120, 220);
    DrawDetail(out, 220, 440, index);
    DrawMotion(out, index);
    DrawCounter(out, 440, 480, index);
}

bool GeneratedClip::ReadFrame(int index, int width, int height, ScaleQuality, ArgbImage& out,
                              std::string& error) {
    if (index < 0 || index >= info_.frameCount) {
        error = "frame " + std::to_string(index) + " is outside the built-in clip";
        return false;
    }
    if (width == kWidth && height == kHeight) {
        DrawFrame(index, out);
        return true;
    }
    ArgbImage full;
    DrawFrame(index, full);
    out.Allocate(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = full.Row(y * kHeight / height);
        std::uint8_t* dst = out.Row(y);
        for (int x = 0; x < width; ++x)
            std::copy_n(src + 4 * (x * kWidth / width), 4, dst + 4 * x);
    }
    return true;
}

std::unique_ptr<AudioSource> GeneratedClip::OpenAudio(int firstFrame) const {
    long first = std::lround(firstFrame * double(kSampleRate) / info_.frameRate.ToDouble());
    return std::make_unique<ToneAudio>(first);
}

} // namespace hosts::video
