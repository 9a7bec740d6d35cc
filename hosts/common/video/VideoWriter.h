// Output of rendered frames through the FFmpeg libraries: a video file with the encoders
// that OutputFormat chooses, or numbered PNG files. Nothing appears
// under the output's name until the whole output is written: files are written beside it
// under a hidden temporary name and renamed at the end, and removed when writing fails
// or is abandoned.
#pragma once

#include "video/FrameSource.h"
#include "video/OutputFormat.h"

#include <memory>
#include <optional>
#include <string>

namespace hosts::video {

enum class OutputKind { kVideoFile, kPngSequence };

// Numbered PNG files for a number pattern ending in .png, else a video file; nothing, with
// the reason, for a .png name without a pattern or a pattern of another kind.
std::optional<OutputKind> OutputKindFor(const std::string& path, std::string& error);

struct OutputSpec {
    std::string path;
    OutputKind kind = OutputKind::kVideoFile;
    EncoderSettings encoder; // for a video file
    int width = 0;
    int height = 0;
    Rational frameRate{25, 1};
    AudioInfo audio;                                       // an audio stream when present (not for PNG files)
    std::vector<std::pair<std::string, std::string>> tags; // the container's metadata
    std::string muxer;                                     // another container than the extension's
};

class VideoWriter {
  public:
    static std::unique_ptr<VideoWriter> Open(const OutputSpec& spec, std::string& error);
    // Writes one black frame (with its audio) through the encoders and the container into
    // memory, so that a combination that cannot work fails before anything is rendered.
    static bool Check(const OutputSpec& spec, std::string& error);
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
