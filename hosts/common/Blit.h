// The host's compositing callback, shared by every host.
#pragma once

#include "HYPlugin.h"

namespace hosts {

// Draws srcRect of src over dstRect of dst (rectangles in each pixel map's own coordinates),
// scaling by nearest neighbour when their sizes differ. Each channel, alpha included,
// becomes (s * opacity + d * (255 - opacity) + 127) / 255: 255 covers the destination, 0
// leaves it unchanged; opacities outside 0..255 are taken as the nearer end. Only pixels
// inside both maps' bounds are read or written; the maps may be the same and overlap.
// kPluginBadParams for a missing map or rectangle.
HYPluginResult BlitPixMaps(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect,
                           SInt16 opacity);

} // namespace hosts
