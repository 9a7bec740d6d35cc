// The built-in clip: a few seconds of 720x480 video at 29.97 frames per second, made in
// code: colour bars, grey and colour gradients, fine detail (a zone plate and one-pixel
// lines), a moving box and a sweeping bar, and a frame counter strip; with a quiet tone.
#pragma once

#include "video/FrameSource.h"

#include <memory>

namespace hosts::video {

class GeneratedClip final : public FrameSource {
  public:
    explicit GeneratedClip(int frameCount = 150);
    const ClipInfo& Info() const override { return info_; }
    bool ReadFrame(int index, int width, int height, ScaleQuality quality, ArgbImage& out,
                   std::string& error) override;

    // The frame at the clip's own size.
    void DrawFrame(int index, ArgbImage& out) const;
    std::unique_ptr<AudioSource> OpenAudio(int firstFrame) const;

  private:
    ClipInfo info_;
};

} // namespace hosts::video
