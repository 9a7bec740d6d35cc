// Byte-order conversion at the frei0r boundary: frei0r hands out RGBA8888 frames (bytes R, G,
// B, A in memory), the plug-in works on 32-bit pixels whose bytes are A, R, G, B. Converting
// is a rotation of each 32-bit word by one byte; written as a plain loop the compiler turns
// it into vector rotates or byte shuffles. Source and destination may be the same buffer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace frei0r {

// R G B A -> A R G B, over `count` pixels.
inline void SwizzleRGBA2ARGB(const uint32_t* src, uint32_t* dst, size_t count) {
    static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);
    for (size_t i = 0; i < count; ++i) {
        if constexpr (std::endian::native == std::endian::little)
            dst[i] = std::rotl(src[i], 8);
        else
            dst[i] = std::rotr(src[i], 8);
    }
}

// A R G B -> R G B A, over `count` pixels.
inline void SwizzleARGB2RGBA(const uint32_t* src, uint32_t* dst, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if constexpr (std::endian::native == std::endian::little)
            dst[i] = std::rotr(src[i], 8);
        else
            dst[i] = std::rotl(src[i], 8);
    }
}

} // namespace frei0r
