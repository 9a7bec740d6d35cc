// Fuzz target: arbitrary bytes as an image file for the importer. A damaged or hostile file
// may give no image but must never crash, hang or read outside its bytes; an image that comes
// back has the size it claims.
#include "toolbox/ImageIO.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET); // every damaged input would be described on stderr
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CGImageRef image = toolbox::DecodeImageData(std::span(data, size));
    if (image) {
        size_t w = CGImageGetWidth(image), h = CGImageGetHeight(image);
        if (w < 1 || h < 1 || w > 4095 || h > 4095 || CGImageGetBytesPerRow(image) < 4 * w) std::abort();
        const UInt8* px = toolbox::CGImagePixels(image);
        volatile UInt8 last = px[CGImageGetBytesPerRow(image) * (h - 1) + 4 * w - 1];
        (void)last;
        CGImageRelease(image);
    }
    return 0;
}
