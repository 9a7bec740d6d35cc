// Video files, image sequences and single images read through the FFmpeg libraries, with
// frame-accurate random access: the file's packets are indexed once at open, a request
// seeks to the keyframe at or before the frame and decodes forward, and the last decoded
// frames are kept so that sequential and nearby requests do not seek again.
#pragma once

#include "video/FrameSource.h"

#include <memory>
#include <string>

namespace hosts::video {

// Quiets the libraries' own messages below errors, or lets them speak (verbose).
void SetMediaLogging(bool verbose);
// Threads each decoder opened from now on may use (0: as many as there are cores).
void SetDecodeThreads(int threads);

class MediaInput final : public FrameSource {
  public:
    // Opens path; on failure returns nothing and says why in error.
    static std::unique_ptr<MediaInput> Open(const std::string& path, std::string& error);
    ~MediaInput() override;

    const ClipInfo& Info() const override;
    bool ReadFrame(int index, int width, int height, ScaleQuality quality, ArgbImage& out,
                   std::string& error) override;

    // How many times the decoder has been repositioned since the file was opened.
    int Seeks() const;

    // The file's audio from frame `firstFrame` on, as an independent reader; null without audio.
    std::unique_ptr<AudioSource> OpenAudio(int firstFrame, std::string& error) const;

    struct State;

  private:
    explicit MediaInput(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace hosts::video
