// Where a host's frames come from: a clip of numbered frames, any of which can be read at
// any size as 32-bit alpha-red-green-blue pixels (the toolbox's layout).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hosts::video {

// A picture in the toolbox's pixel layout: bytes A, R, G, B; rows rowBytes apart.
struct ArgbImage {
    static constexpr size_t kScalerSlack = 64;

    int width = 0;
    int height = 0;
    long rowBytes = 0;
    std::vector<std::uint8_t> pixels;

    // Sizes the buffer; the content is undefined until written (a reused buffer keeps its old pixels).
    void Allocate(int w, int h);
    std::uint8_t* Row(int y) { return pixels.data() + long(y) * rowBytes; }
    const std::uint8_t* Row(int y) const { return pixels.data() + long(y) * rowBytes; }
};

// Row pitch for a buffer the toolbox can wrap: 16-byte aligned while the 14-bit row-bytes
// field still holds it.
long RowBytesForWidth(int width);

// Widest and tallest frame a host buffer can hold (the toolbox's 14-bit row pitch).
constexpr int kMaxFrameSide = 4095;

struct Rational {
    int num = 0;
    int den = 1;
    double ToDouble() const { return den ? double(num) / den : 0.0; }
};

struct AudioInfo {
    bool present = false;
    int sampleRate = 0;
    int channels = 0;
};

struct ClipInfo {
    int width = 0;
    int height = 0;
    int frameCount = 0;
    Rational frameRate{25, 1};
    AudioInfo audio;
};

enum class ScaleQuality { kFast, kHigh };

class FrameSource {
  public:
    virtual ~FrameSource() = default;
    virtual const ClipInfo& Info() const = 0;
    // Frame `index` (0-based) scaled to width x height. Returns false and says why in error.
    // One thread at a time.
    virtual bool ReadFrame(int index, int width, int height, ScaleQuality quality, ArgbImage& out,
                           std::string& error) = 0;
};

// Interleaved float samples at the clip's rate and channel count.
class AudioSource {
  public:
    virtual ~AudioSource() = default;
    // Appends the next `count` samples per channel; silence past the end of the audio.
    virtual bool ReadSamples(int count, std::vector<float>& out, std::string& error) = 0;
};

} // namespace hosts::video
