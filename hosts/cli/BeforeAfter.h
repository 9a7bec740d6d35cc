// The before/after still: a frame as it came and as the plug-in rendered it, side by side,
// each half labelled ("before", "after") so that one sees at once what the effect did.
#pragma once

#include "video/FrameSource.h"

#include <string>

namespace cli {

// Writes the still as a PNG file, in place only once complete.
bool WriteBeforeAfter(const std::string& path, const hosts::video::ArgbImage& before,
                      const hosts::video::ArgbImage& after, std::string& error);

} // namespace cli
