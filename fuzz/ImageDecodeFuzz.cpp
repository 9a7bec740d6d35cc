// Fuzz target: arbitrary bytes as an image file for the importer. A damaged or hostile file
// may give no image but must never crash, hang or read outside its bytes; an image that comes
// back has the size it claims.
//
// Only our code is instrumented, and it treats every format alike, so coverage alone would
// keep one image of one format and shrink it to bytes no decoder accepts. Each pair of the
// input's kind (by its first byte) and what came of it (no image, or an image with or without
// transparency, grey or in colour, tiny or larger, and its width modulo 4, which decides how
// the scaler's rows end) therefore reaches a function of its own:
// the fuzzer keeps an input for every pair, so whole images of each format stay in play and
// mutations that still decode are kept. scripts/fuzz.sh adds -reduce_inputs=0 and the
// formats' markers (fuzz/image.dict).
#include "toolbox/ImageIO.h"

extern "C" {
#include <libavutil/log.h>
}

#include <array>
#include <cstdlib>
#include <utility>

namespace {

constexpr size_t kKinds = 7;     // PNG, JPEG, GIF, BMP, TIFF (two byte orders), anything else
constexpr size_t kOutcomes = 33; // no image, or one of 32 classes of image

template <size_t N>
[[gnu::noinline]] void Reached() {
    asm volatile("");
}

template <size_t... N>
constexpr std::array<void (*)(), sizeof...(N)> MakeMarks(std::index_sequence<N...>) {
    return {Reached<N>...};
}

constexpr auto kMarks = MakeMarks(std::make_index_sequence<kKinds * kOutcomes>{});

size_t KindOf(const uint8_t* data, size_t size) {
    switch (size ? data[0] : 0) {
        case 0x89:
            return 0;
        case 0xFF:
            return 1;
        case 'G':
            return 2;
        case 'B':
            return 3;
        case 'I':
            return 4;
        case 'M':
            return 5;
        default:
            return 6;
    }
}

// 1..32 from whether any pixel is transparent, whether every pixel is grey, the size and the
// width modulo 4.
size_t OutcomeOf(CGImageRef image, size_t w, size_t h) {
    const UInt8* px = toolbox::CGImagePixels(image);
    size_t rowBytes = CGImageGetBytesPerRow(image);
    bool transparent = false, grey = true;
    for (size_t y = 0; y < h; ++y)
        for (const UInt8* p = px + y * rowBytes; p < px + y * rowBytes + 4 * w; p += 4) {
            transparent |= p[0] != 255;
            grey &= p[1] == p[2] && p[2] == p[3];
        }
    bool tiny = w <= 16 && h <= 16;
    return 1 + size_t(transparent) + 2 * size_t(grey) + 4 * size_t(tiny) + 8 * (w % 4);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET); // every damaged input would be described on stderr
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CGImageRef image = toolbox::DecodeImageData(std::span(data, size));
    size_t outcome = 0;
    if (image) {
        size_t w = CGImageGetWidth(image), h = CGImageGetHeight(image);
        if (w < 1 || h < 1 || w > 4095 || h > 4095 || CGImageGetBytesPerRow(image) < 4 * w) std::abort();
        outcome = OutcomeOf(image, w, h); // reads every pixel: all of them must be there
        CGImageRelease(image);
    }
    kMarks[KindOf(data, size) * kOutcomes + outcome]();
    return 0;
}
