// Ports written as PNG files with libpng: red, green and blue of every pixel, row by row.
#include "Ports.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace toolbox {

namespace {

// Writes the port's pixels through png, whose errors come back here by longjmp. Nothing in
// this frame needs cleaning up after one, so it holds no objects with destructors.
bool WriteRows(png_structp png, png_infop info, FILE* file, CGrafPtr port, png_byte* row) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    const Rect& b = port->portRect;
    int width = b.right - b.left, height = b.bottom - b.top;
    long rowBytes = long(port->pixMap.rowBytes) & qd::kRowBytesMask;
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const auto* base = reinterpret_cast<const UInt8*>(port->pixMap.baseAddr);
    for (int v = 0; v < height; ++v) {
        const UInt8* p = base + long(v) * rowBytes;
        for (int h = 0; h < width; ++h)
            std::memcpy(&row[size_t(h) * 3], p + 4 * h + 1, 3);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool WritePortPNG(CGrafPtr port, const std::string& path, std::string& error) {
    if (!qd::IsPort(port)) {
        error = "not a port";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(size_t(std::max(0, port->portRect.right - port->portRect.left)) * 3);
    bool ok = png && info && WriteRows(png, info, file, port, row.data());
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(file) != 0) ok = false;
    if (!ok) error = "cannot write PNG " + path;
    return ok;
}

} // namespace toolbox
