// Output of rendered frames through the FFmpeg libraries: H.264 in .mp4/.mov/.mkv,
// lossless FFV1 (bgra, alpha kept) in .mkv/.nut, or numbered PNG files. Nothing appears
// under the output's name until the whole output is written: files are written beside it
// under a hidden temporary name and renamed at the end, and removed when writing fails
// or is abandoned.
#pragma once

#include "video/FrameSource.h"

#include <memory>
#include <optional>
#include <string>

namespace hosts::video {

enum class OutputKind { kH264, kFFV1, kPngSequence };

// The kind of output a name asks for; nothing, with the reason, for a name of no known kind.
std::optional<OutputKind> OutputKindFor(const std::string& path, bool lossless, std::string& error);

struct OutputSpec {
    std::string path;
    OutputKind kind = OutputKind::kH264;
    int width = 0;
    int height = 0;
    Rational frameRate{25, 1};
    int crf = 18;
    AudioInfo audio; // an audio stream when present (not for PNG files)
};

class VideoWriter {
  public:
    static std::unique_ptr<VideoWriter> Open(const OutputSpec& spec, std::string& error);
    virtual ~VideoWriter() = default; // an unfinished output is removed
    // One frame, and the interleaved audio samples that play during it (when there is audio).
    virtual bool WriteFrame(const ArgbImage& frame, const std::vector<float>& audio, std::string& error) = 0;
    // Flushes, closes and moves the output into place.
    virtual bool Finish(std::string& error) = 0;
};

// Writes one picture as a PNG file, in place only once complete.
bool WritePngFile(const std::string& path, const ArgbImage& image, std::string& error);

// A hidden name beside path for writing it: ".<name>.partial-<pid>-<n>".
std::string PartialNameFor(const std::string& path);

} // namespace hosts::video
