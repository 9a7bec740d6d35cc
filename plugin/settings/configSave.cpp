#include "settings/configSave.h"

#include <cstring>

namespace {

// Offsets of the fields in the image.
constexpr size_t kSizeAt = 0, kVersionAt = 4, kStartRelAt = 8, kEndRelAt = 40, kColorsAt = 72,
                 kSlidersAt = 108, kFrameStartColorAt = 120, kFrameEndColorAt = 126, kMediaTypeAt = 132,
                 kKeepPropsAt = 134, kMethodAt = 136, kMiscStringAt = 138;
constexpr size_t kFieldsEnd = kMiscStringAt + 256; // 394

void PutUnsigned(UInt8* at, UInt64 value, int bytes, ByteOrder order) {
    for (int i = 0; i < bytes; ++i) {
        int shift = order == ByteOrder::kBigEndian ? 8 * (bytes - 1 - i) : 8 * i;
        at[i] = UInt8(value >> shift);
    }
}

UInt64 GetUnsigned(const UInt8* at, int bytes, ByteOrder order) {
    UInt64 value = 0;
    for (int i = 0; i < bytes; ++i) {
        int shift = order == ByteOrder::kBigEndian ? 8 * (bytes - 1 - i) : 8 * i;
        value |= UInt64(at[i]) << shift;
    }
    return value;
}

void PutRel(UInt8* at, const RelRect& r, ByteOrder order) {
    const double sides[4] = {r.left, r.right, r.top, r.bottom};
    for (int i = 0; i < 4; ++i)
        PutUnsigned(at + 8 * i, std::bit_cast<UInt64>(sides[i]), 8, order);
}

RelRect GetRel(const UInt8* at, ByteOrder order) {
    auto side = [&](int i) { return std::bit_cast<double>(GetUnsigned(at + 8 * i, 8, order)); };
    return {side(0), side(1), side(2), side(3)};
}

void PutColor(UInt8* at, const RGBColor& c, ByteOrder order) {
    PutUnsigned(at, c.red, 2, order);
    PutUnsigned(at + 2, c.green, 2, order);
    PutUnsigned(at + 4, c.blue, 2, order);
}

RGBColor GetColor(const UInt8* at, ByteOrder order) {
    return {UInt16(GetUnsigned(at, 2, order)), UInt16(GetUnsigned(at + 2, 2, order)),
            UInt16(GetUnsigned(at + 4, 2, order))};
}

} // namespace

void PutConfigSave(const ConfigSaveRec& rec, ByteOrder order, UInt8* image) {
    std::memset(image, 0, ConfigSaveSize(order));
    PutUnsigned(image + kSizeAt, rec.sizeInBytes, 4, order);
    PutUnsigned(image + kVersionAt, rec.version, 4, order);
    PutRel(image + kStartRelAt, rec.startRel, order);
    PutRel(image + kEndRelAt, rec.endRel, order);
    for (int i = 1; i <= kNumColors; ++i)
        PutColor(image + kColorsAt + 6 * (i - 1), rec.colors[i], order);
    for (int i = 1; i <= kNumSliders; ++i)
        PutUnsigned(image + kSlidersAt + 2 * (i - 1), UInt16(rec.sliders[i]), 2, order);
    PutColor(image + kFrameStartColorAt, rec.frameStartColor, order);
    PutColor(image + kFrameEndColorAt, rec.frameEndColor, order);
    PutUnsigned(image + kMediaTypeAt, UInt16(rec.mediaType), 2, order);
    image[kKeepPropsAt] = rec.keepProps ? 1 : 0;
    PutUnsigned(image + kMethodAt, UInt16(rec.method), 2, order);
    std::memcpy(image + kMiscStringAt, rec.miscString, size_t(rec.miscString[0]) + 1);
}

Boolean GetConfigSave(const UInt8* image, size_t imageSize, ByteOrder order, ConfigSaveRec& rec) {
    if (!image || imageSize < kFieldsEnd) return false;
    ConfigSaveRec r{};
    r.sizeInBytes = UInt32(GetUnsigned(image + kSizeAt, 4, order));
    r.version = UInt32(GetUnsigned(image + kVersionAt, 4, order));
    r.startRel = GetRel(image + kStartRelAt, order);
    r.endRel = GetRel(image + kEndRelAt, order);
    for (int i = 1; i <= kNumColors; ++i)
        r.colors[i] = GetColor(image + kColorsAt + 6 * (i - 1), order);
    for (int i = 1; i <= kNumSliders; ++i)
        r.sliders[i] = SInt16(GetUnsigned(image + kSlidersAt + 2 * (i - 1), 2, order));
    r.frameStartColor = GetColor(image + kFrameStartColorAt, order);
    r.frameEndColor = GetColor(image + kFrameEndColorAt, order);
    r.mediaType = SInt16(GetUnsigned(image + kMediaTypeAt, 2, order));
    r.keepProps = image[kKeepPropsAt] != 0;
    r.method = SInt16(GetUnsigned(image + kMethodAt, 2, order));
    std::memcpy(r.miscString, image + kMiscStringAt, 256);
    rec = r;
    return true;
}
