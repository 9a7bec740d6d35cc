// The classic resource-file format: parsing a file's bytes into entries, and building the
// bytes of a file from entries. Pure functions over memory; ResourceManager.cpp does the
// files and the chain.
#pragma once

#include "toolbox/MacTypes.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace toolbox {

struct ResourceEntry {
    ResType type = 0;
    SInt16 id = 0;
    std::optional<std::string> name; // the name's bytes (Mac Roman); none for an unnamed resource
    UInt8 attributes = 0;
    std::vector<UInt8> data; // the data as last read from or written to the file
    Handle handle = nullptr; // the loaded data, owned by the file while set
    bool changed = false;    // handle holds data the file does not have yet
};

struct ResourceMap {
    std::vector<ResourceEntry> entries; // in the file's order: by type, then reference order
    UInt16 attributes = 0;
};

// Standard sizes of the format.
constexpr size_t kResHeaderSize = 16;
constexpr size_t kResDataStart = 256;  // header plus the reserved system and application areas
constexpr size_t kResMapHeadSize = 28; // header copy, handle, file number, attributes, two offsets
constexpr size_t kResTypeEntrySize = 8;
constexpr size_t kResRefEntrySize = 12;
constexpr size_t kEmptyResFileSize = kResDataStart + kResMapHeadSize + 2;

// Parses a whole file. Every offset, count and length is checked against the file; a file
// that does not hold a well-formed map gives nothing.
std::optional<ResourceMap> ParseResourceFile(std::span<const UInt8> file);

// The bytes of a file in the standard layout: data right after the header area, the map
// right after the data, names last. Nothing when the entries cannot be described by the
// format's fields (more than 16 MB of data, a map over 64 KB of offsets, too many types).
// Each entry's bytes are taken from dataOf(entry).
template <typename DataOf>
std::optional<std::vector<UInt8>> BuildResourceFile(const ResourceMap& map, DataOf dataOf);

std::optional<std::vector<UInt8>> BuildResourceFileFrom(const ResourceMap& map,
                                                        const std::vector<std::span<const UInt8>>& data);

template <typename DataOf>
std::optional<std::vector<UInt8>> BuildResourceFile(const ResourceMap& map, DataOf dataOf) {
    std::vector<std::span<const UInt8>> data;
    data.reserve(map.entries.size());
    for (const auto& e : map.entries)
        data.push_back(dataOf(e));
    return BuildResourceFileFrom(map, data);
}

} // namespace toolbox
