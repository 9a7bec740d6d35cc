// Decoded pictures into the toolbox's pixel layout, by libswscale.
#pragma once

#include "video/FFmpegUtil.h"
#include "video/FrameSource.h"

namespace hosts::video {

class ArgbConverter {
  public:
    // Scales and converts frame into out (already sized width x height) with the scaler's
    // flags, in one step or, where two of libswscale's fast paths beat its one slow path,
    // through BGRA. False when libswscale cannot convert the frame's format.
    bool Convert(const AVFrame& frame, int width, int height, int flags, ArgbImage& out);

  private:
    // Two steps over a band of rows, the picture between them small enough to stay in cache.
    struct BandRec {
        Scaler toBgra, toArgb;
        FramePtr bgra;
        bool Prepare(AVPixelFormat format, int width, int rows, int flags);
    };
    bool ConvertViaBgra(const AVFrame& frame, int flags, ArgbImage& out);

    Scaler scaler_;
    BandRec band_, lastBand_; // the full bands, and a shorter last one
};

} // namespace hosts::video
