// Images, colour spaces and data providers. An image owns a private copy of its pixels,
// so the buffer it was made from may change or go away afterwards.
#include "toolbox/Quartz.h"

#include <atomic>
#include <cstring>
#include <vector>

struct CGColorSpace {};

struct CGDataProvider {
    void* info;
    const void* data;
    size_t size;
    CGDataProviderReleaseDataCallback release;
};

struct CGImage {
    std::atomic<long> refs{1};
    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    CGBitmapInfo bitmapInfo = 0;
    std::vector<UInt8> pixels;
};

namespace toolbox {
const UInt8* CGImagePixels(CGImageRef image) {
    return image ? image->pixels.data() : nullptr;
}
} // namespace toolbox

extern "C" {

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) {
    return new CGColorSpace;
}

void CGColorSpaceRelease(CGColorSpaceRef space) {
    delete space;
}

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData) {
    return new CGDataProvider{info, data, size, releaseData};
}

void CGDataProviderRelease(CGDataProviderRef provider) {
    if (!provider) return;
    if (provider->release) provider->release(provider->info, provider->data, provider->size);
    delete provider;
}

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat*, bool, CGColorRenderingIntent) {
    if (!space || !provider || bitsPerComponent != 8 || bitsPerPixel != 32 || width == 0 || height == 0)
        return nullptr;
    if (width > 1u << 15 || height > 1u << 15 || bytesPerRow < 4 * width) return nullptr;
    size_t needed = bytesPerRow * (height - 1) + 4 * width;
    if (!provider->data || provider->size < needed) return nullptr;
    auto* image = new CGImage;
    image->width = width;
    image->height = height;
    image->bytesPerRow = 4 * width;
    image->bitmapInfo = bitmapInfo;
    image->pixels.resize(image->bytesPerRow * height);
    auto* src = static_cast<const UInt8*>(provider->data);
    for (size_t y = 0; y < height; ++y)
        std::memcpy(&image->pixels[y * image->bytesPerRow], src + y * bytesPerRow, 4 * width);
    return image;
}

CGImageRef CGImageCreateCopy(CGImageRef image) {
    if (!image) return nullptr;
    auto* copy = new CGImage;
    copy->width = image->width;
    copy->height = image->height;
    copy->bytesPerRow = image->bytesPerRow;
    copy->bitmapInfo = image->bitmapInfo;
    copy->pixels = image->pixels;
    return copy;
}

CGImageRef CGImageRetain(CGImageRef image) {
    if (image) image->refs.fetch_add(1);
    return image;
}

void CGImageRelease(CGImageRef image) {
    if (image && image->refs.fetch_sub(1) == 1) delete image;
}

size_t CGImageGetWidth(CGImageRef image) {
    return image ? image->width : 0;
}
size_t CGImageGetHeight(CGImageRef image) {
    return image ? image->height : 0;
}
size_t CGImageGetBytesPerRow(CGImageRef image) {
    return image ? image->bytesPerRow : 0;
}
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image) {
    return image ? image->bitmapInfo : 0;
}

} // extern "C"
