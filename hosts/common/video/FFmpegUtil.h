// Small owners and helpers for the FFmpeg libraries' objects, shared by the readers and writers.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <memory>
#include <string>

namespace hosts::video {

struct InputCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResamplerFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;

// A scaler for one conversion, made afresh only when the conversion asked for changes:
// sws_getCachedContext remakes some scalers (between packed RGB byte orders) on every call.
class Scaler {
  public:
    // The scaler for this conversion, or null when libswscale has none.
    SwsContext* For(int srcW, int srcH, AVPixelFormat src, int dstW, int dstH, AVPixelFormat dst, int flags) {
        std::array<int, 7> key{srcW, srcH, int(src), dstW, dstH, int(dst), flags};
        if (!context_ || key != key_) {
            context_.reset(
                sws_getContext(srcW, srcH, src, dstW, dstH, dst, flags, nullptr, nullptr, nullptr));
            key_ = key;
        }
        return context_.get();
    }
    SwsContext* get() const { return context_.get(); }

  private:
    std::unique_ptr<SwsContext, ScalerFreer> context_;
    std::array<int, 7> key_{};
};

// The library's text for an error code.
std::string AvErrorText(int code);

} // namespace hosts::video
