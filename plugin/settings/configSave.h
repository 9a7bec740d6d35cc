// ConfigSaveRec: the stored form of the configuration, and its byte image.
//
// The image is what the settings file holds: fields at fixed offsets in one byte order,
// written and read one by one, never by copying a C struct. The build that runs on a
// big-endian processor stores 394 bytes, a little-endian build 396 (two bytes of tail
// padding); each image says its own size in its first field.
#pragma once

#include "model/PluginDefines.h"

#include <bit>
#include <cstddef>

enum class ByteOrder : UInt8 { kLittleEndian, kBigEndian };

constexpr ByteOrder kBuildByteOrder =
    std::endian::native == std::endian::big ? ByteOrder::kBigEndian : ByteOrder::kLittleEndian;

constexpr UInt32 ConfigSaveSize(ByteOrder order) {
    return order == ByteOrder::kBigEndian ? 394 : 396;
}
constexpr UInt32 kConfigSaveVersion = 3;

struct ConfigSaveRec {
    UInt32 sizeInBytes;
    UInt32 version;
    RelRect startRel;
    RelRect endRel;
    OneBasedArray<RGBColor, kNumColors> colors;
    OneBasedArray<SInt16, kNumSliders> sliders;
    RGBColor frameStartColor;
    RGBColor frameEndColor;
    SInt16 mediaType;
    Boolean keepProps;
    SInt16 method;
    Str255 miscString;
};

// Writes the image of rec in the given byte order into image, which holds at least
// ConfigSaveSize(order) bytes; padding and the bytes after the text are zero.
void PutConfigSave(const ConfigSaveRec& rec, ByteOrder order, UInt8* image);

// Reads an image of imageSize bytes in the given byte order; false, with rec untouched,
// when it is shorter than the fields. The caller checks sizeInBytes and version.
Boolean GetConfigSave(const UInt8* image, size_t imageSize, ByteOrder order, ConfigSaveRec& rec);
