#include "video/ArgbConverter.h"

namespace hosts::video {

namespace {

// libswscale converts 4:2:0 and 4:2:2 YUV of even height, unscaled, to BGRA with vector code
// but to ARGB with plain code about four times slower; BGRA to ARGB is a vector byte shuffle.
bool ConvertsFasterViaBgra(const AVFrame& frame, int width, int height) {
    auto f = AVPixelFormat(frame.format);
    bool fastYuv = f == AV_PIX_FMT_YUV420P || f == AV_PIX_FMT_YUVJ420P || f == AV_PIX_FMT_YUV422P ||
                   f == AV_PIX_FMT_YUVJ422P;
    return fastYuv && frame.width == width && frame.height == height && height % 2 == 0;
}

} // namespace

bool ArgbConverter::Convert(const AVFrame& frame, int width, int height, int flags, ArgbImage& out) {
    if (ConvertsFasterViaBgra(frame, width, height)) return ConvertViaBgra(frame, flags, out);
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                       AVPixelFormat(frame.format), width, height, AV_PIX_FMT_ARGB, flags,
                                       nullptr, nullptr, nullptr));
    if (!scaler_) return false;
    uint8_t* dst[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(out.rowBytes), 0, 0, 0};
    sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride);
    return true;
}

bool ArgbConverter::ConvertViaBgra(const AVFrame& frame, int flags, ArgbImage& out) {
    int w = frame.width, h = frame.height;
    scaler_.reset(sws_getCachedContext(scaler_.release(), w, h, AVPixelFormat(frame.format), w, h,
                                       AV_PIX_FMT_BGRA, flags, nullptr, nullptr, nullptr));
    reorder_.reset(sws_getCachedContext(reorder_.release(), w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_ARGB,
                                        flags, nullptr, nullptr, nullptr));
    if (!bgra_ || bgra_->width != w || bgra_->height != h) {
        bgra_.reset(av_frame_alloc());
        if (!bgra_) return false;
        bgra_->format = AV_PIX_FMT_BGRA;
        bgra_->width = w;
        bgra_->height = h;
        if (av_frame_get_buffer(bgra_.get(), 0) < 0) bgra_.reset();
    }
    if (!scaler_ || !reorder_ || !bgra_) return false;
    sws_scale(scaler_.get(), frame.data, frame.linesize, 0, h, bgra_->data, bgra_->linesize);
    uint8_t* dst[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(out.rowBytes), 0, 0, 0};
    sws_scale(reorder_.get(), bgra_->data, bgra_->linesize, 0, h, dst, dstStride);
    return true;
}

} // namespace hosts::video
