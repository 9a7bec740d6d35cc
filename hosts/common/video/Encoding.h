// Encoders feeding a muxer, shared by the writer of rendered frames and the join of
// pieces: the video encoder opened as the settings say, encoding into a container, and the
// container's audio track.
#pragma once

#include "video/FFmpegUtil.h"
#include "video/FrameSource.h"
#include "video/OutputFormat.h"

#include <string>
#include <vector>

namespace hosts::video {

// Opens the video encoder of `settings` for frames of width x height at frameRate.
// globalHeader: the container keeps the stream's headers (AVFMT_GLOBALHEADER).
CodecPtr OpenVideoEncoder(const EncoderSettings& settings, int width, int height, Rational frameRate,
                          bool globalHeader, std::string& error);

// Encodes a frame (or flushes the encoder, with null) and writes the packets that come out.
bool EncodeInto(AVFormatContext* format, AVCodecContext* codec, AVStream* stream, const AVFrame* frame,
                AVPacket* packet, std::string& error);

// Writes a packet of `stream` (timestamps in `from`) into the container.
bool WritePacket(AVFormatContext* format, AVStream* stream, AVPacket* packet, AVRational from,
                 std::string& error);

// The container's audio: interleaved float samples of the clip in, encoded at the
// encoder's rate, sample format and frame size.
class AudioTrack {
  public:
    // Adds the audio stream to format: encoder `name` at `rate` (0: the clip's rate).
    bool Open(AVFormatContext* format, const std::string& name, int rate, const AudioInfo& clip,
              std::string& error);
    bool IsOpen() const { return codec_ != nullptr; }
    // Encodes what fills whole encoder frames; keeps the rest for later.
    bool Write(const std::vector<float>& samples, std::string& error);
    // Encodes the rest and drains the encoder.
    bool Finish(std::string& error);

  private:
    bool MakeConverter(const AudioInfo& clip, std::string& error);
    bool Convert(const float* samples, int count, std::string& error);
    bool Send(bool last, std::string& error);

    AVFormatContext* format_ = nullptr;
    CodecPtr codec_;
    AVStream* stream_ = nullptr;
    ResamplerPtr resampler_;
    FramePtr pending_; // converted samples not yet encoded, in the encoder's format
    int pendingCount_ = 0;
    int clipChannels_ = 0;
    int64_t nextPts_ = 0;
    PacketPtr packet_{av_packet_alloc()};
};

// Captures the FFmpeg libraries' error messages while it lives, so that a failure can say
// what the libraries said (their error codes alone say little).
class LibraryMessages {
  public:
    LibraryMessages();
    ~LibraryMessages();
    // The first error message, without its trailing newline.
    std::string First() const;
};

} // namespace hosts::video
