// A 32-bit pixel buffer over test-owned memory whose rows are longer than 4 x width and which
// is framed by guard bytes, so a test sees any write past a row's pixels or the buffer's ends.
// The buffer starts unlocked, so a test also sees whether an operation restores its state;
// both are checked when the buffer goes.
#pragma once

#include "render/CGGlue.h"
#include "render/pixelBuffers.h"

#include <gtest/gtest.h>

#include <vector>

class PaddedBuffer {
  public:
    static constexpr UInt8 kGuard = 0xA5;
    static constexpr int kGuardBytes = 64;
    static constexpr int kRowPadding = 12;

    PaddedBuffer(int width, int height, PixRec fill = PixRec{0, 0, 0, 0})
        : width_(width), height_(height), rowBytes_(4 * width + kRowPadding),
          memory_(size_t(2 * kGuardBytes + rowBytes_ * height), kGuard) {
        Rect bounds{0, 0, SInt16(height), SInt16(width)};
        EXPECT_EQ(NewGWorldFromPtr(&gw_, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0, Base(), rowBytes_),
                  noErr);
        Fill(fill);
    }
    // Every operation leaves the memory around the pixels alone and the pixels unlocked.
    ~PaddedBuffer() {
        EXPECT_TRUE(GuardsIntact()) << "a write past the pixels of a " << width_ << " x " << height_
                                    << " buffer";
        EXPECT_FALSE(Locked()) << "a " << width_ << " x " << height_ << " buffer left locked";
        DisposeGWorld(gw_);
    }
    PaddedBuffer(const PaddedBuffer&) = delete;
    PaddedBuffer& operator=(const PaddedBuffer&) = delete;

    GWorldPtr gw() const { return gw_; }
    int width() const { return width_; }
    int height() const { return height_; }
    PixRec& At(int x, int y) { return reinterpret_cast<PixRec*>(Base() + y * rowBytes_)[x]; }

    void Fill(PixRec p) {
        for (int i = 0; i < width_ * height_; ++i)
            At(i % width_, i / width_) = p;
    }
    // Every pixel different, channel by channel.
    void FillPattern(UInt8 salt) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                At(x, y) = PixRec{UInt8(salt + 7 * x + y), UInt8(salt + 10 * x + 3 * y),
                                  UInt8(salt + 5 * x + 11 * y), UInt8(salt + x + 17 * y)};
    }
    std::vector<PixRec> Pixels() {
        std::vector<PixRec> all;
        for (int i = 0; i < width_ * height_; ++i)
            all.push_back(At(i % width_, i / width_));
        return all;
    }
    bool Locked() const { return (GetPixelsState(GetGWorldPixMap(gw_)) & pixelsLocked) != 0; }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuardBytes; ++i)
            if (memory_[size_t(i)] != kGuard || memory_[memory_.size() - 1 - size_t(i)] != kGuard)
                return false;
        for (int y = 0; y < height_; ++y)
            for (int i = 4 * width_; i < rowBytes_; ++i)
                if (memory_[size_t(kGuardBytes + y * rowBytes_ + i)] != kGuard) return false;
        return true;
    }

  private:
    Ptr Base() { return reinterpret_cast<Ptr>(memory_.data() + kGuardBytes); }

    int width_, height_, rowBytes_;
    std::vector<UInt8> memory_;
    GWorldPtr gw_ = nullptr;
};

// A w x h image whose pixels come from colour(x, y), or of one colour.
template <typename Colour>
CGImageRef MakeImage(int w, int h, Colour colour) {
    PaddedBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.At(x, y) = colour(x, y);
    return GWorld2CGImage(b.gw());
}
inline CGImageRef MakeImage(int w, int h, PixRec p) {
    return MakeImage(w, h, [p](int, int) { return p; });
}

// The pixel at (x, y) of any buffer, counted from its top-left corner.
inline PixRec PixelOf(GWorldPtr gw, int x, int y) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    return reinterpret_cast<const PixRec*>(GetPixBaseAddr(pm) + y * GetPixRowBytes(pm))[x];
}

inline bool operator==(const Rect& a, const Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

inline bool operator==(const PixRec& a, const PixRec& b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

inline std::ostream& operator<<(std::ostream& os, const PixRec& p) {
    return os << "(a " << int(p.alpha) << ", r " << int(p.red) << ", g " << int(p.green) << ", b "
              << int(p.blue) << ")";
}
