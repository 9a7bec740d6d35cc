// Test helpers that look at resource files as bytes, apart from the toolbox's reader.
#pragma once

#include "toolbox/MacTypes.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<UInt8> ReadFileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFileBytes(const std::filesystem::path& p, const std::vector<UInt8>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// How many resources of a type the file's map lists (-1 when the map cannot be read).
inline int CountOfType(const std::vector<UInt8>& b, ResType type) {
    auto be = [&](size_t at, int n) {
        UInt32 v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | (at + size_t(i) < b.size() ? b[at + size_t(i)] : 0);
        return v;
    };
    if (b.size() < 16) return -1;
    size_t map = be(4, 4);
    if (map + 30 > b.size()) return -1;
    size_t typeList = map + be(map + 24, 2);
    UInt32 types = be(typeList, 2);
    if (types == 0xFFFF) return 0;
    for (UInt32 t = 0; t <= types; ++t)
        if (be(typeList + 2 + 8 * t, 4) == type) return int(be(typeList + 2 + 8 * t + 4, 2)) + 1;
    return 0;
}

} // namespace testsupport
