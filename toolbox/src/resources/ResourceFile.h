// An open resource file: its map in memory and where it came from.
#pragma once

#include "ResourceFormat.h"
#include "toolbox/MacMemory.h"

#include <string>

namespace toolbox {

struct ResourceFile {
    SInt16 refNum = 0;
    std::string path;
    bool writable = false;
    bool changed = false; // the map differs from the file on disk
    ResourceMap map;

    ResourceFile() = default;
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;
    // The loaded resources belong to the file and go with it (detached ones are the caller's).
    ~ResourceFile() {
        for (auto& entry : map.entries)
            if (entry.handle) DisposeHandle(entry.handle);
    }
};

} // namespace toolbox
