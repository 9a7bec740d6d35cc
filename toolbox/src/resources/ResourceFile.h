// An open resource file: its map in memory and where it came from.
#pragma once

#include "ResourceFormat.h"

#include <string>

namespace toolbox {

struct ResourceFile {
    SInt16 refNum = 0;
    std::string path;
    bool writable = false;
    bool changed = false; // the map differs from the file on disk
    ResourceMap map;
};

} // namespace toolbox
