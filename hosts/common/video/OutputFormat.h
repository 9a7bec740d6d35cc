// Which container and encoders an output gets. The container follows the output's
// extension; the video encoder is the one asked for or the container's default, with a
// pixel format and a quality that suit it; the audio encoder is the container's. Known
// combinations are checked here, before anything is opened, and a refusal names the
// encoder, the container and what would work.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hosts::video {

// What the user asked for; empty fields take the defaults.
struct EncoderRequest {
    std::string codec;
    std::string pixFmt;
    std::optional<double> crf;
    std::optional<int64_t> bitrate; // bits per second
    bool lossless = false;          // FFV1, as --codec ffv1
};

// What the writer opens.
struct EncoderSettings {
    std::string extension; // ".mp4"
    std::string muxer;     // "mp4"
    std::string video;     // "libx264"
    std::string pixFmt;    // "yuv420p"
    std::optional<double> crf;
    std::optional<int64_t> bitrate;
    std::optional<int> qscale; // a fixed quantizer for encoders without a constant quality mode
    std::string profile;       // the encoder's "profile" option, when one is needed
    std::string audio;         // "aac"
    int audioRate = 0;         // 0: the clip's own rate

    // The video encoder and its settings in one line, such as "libx264 yuv420p crf 18".
    std::string Describe() const;
};

// The settings for a container output at `path` (by its extension); nothing, with the
// reason, for an unknown extension, an unknown encoder, a combination that cannot work,
// or a setting the encoder does not have.
std::optional<EncoderSettings> ChooseEncoder(const std::string& path, const EncoderRequest& request,
                                             std::string& error);

// Extensions of the containers written, in the order the help lists them.
std::vector<std::string> ContainerExtensions();

// The encoders of the known table that go into the container of `extension`, and the
// containers `encoder` goes into (empty for an encoder the table does not know).
std::vector<std::string> EncodersFor(const std::string& extension);
std::vector<std::string> ContainersFor(const std::string& encoder);

// "a, b, c".
std::string JoinNames(const std::vector<std::string>& names);

// "N", "Nk" or "NM" bits per second, such as 2500k; nothing for anything else.
std::optional<int64_t> ParseBitrate(const std::string& text);

} // namespace hosts::video
