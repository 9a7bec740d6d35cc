#include "video/ArgbConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>

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
    SwsContext* scaler = scaler_.For(frame.width, frame.height, AVPixelFormat(frame.format), width, height,
                                     AV_PIX_FMT_ARGB, flags);
    if (!scaler) return false;
    uint8_t* dst[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(out.rowBytes), 0, 0, 0};
    sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, dst, dstStride);
    return true;
}

bool ArgbConverter::BandRec::Prepare(AVPixelFormat format, int width, int rows, int flags) {
    if (!bgra || bgra->width != width || bgra->height != rows) {
        bgra.reset(av_frame_alloc());
        if (!bgra) return false;
        bgra->format = AV_PIX_FMT_BGRA;
        bgra->width = width;
        bgra->height = rows;
        if (av_frame_get_buffer(bgra.get(), 0) < 0) bgra.reset();
    }
    return bgra && toBgra.For(width, rows, format, width, rows, AV_PIX_FMT_BGRA, flags) &&
           toArgb.For(width, rows, AV_PIX_FMT_BGRA, width, rows, AV_PIX_FMT_ARGB, flags);
}

// Bands of an even number of rows: each is a picture of its own to the 4:2:0 conversion,
// which takes each chroma row for two picture rows, so the result is that of the whole.
bool ArgbConverter::ConvertViaBgra(const AVFrame& frame, int flags, ArgbImage& out) {
    constexpr int kBandRows = 16;
    auto format = AVPixelFormat(frame.format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    for (int y = 0; y < frame.height; y += kBandRows) {
        int rows = std::min(kBandRows, frame.height - y);
        BandRec& band = rows == kBandRows ? band_ : lastBand_;
        if (!band.Prepare(format, frame.width, rows, flags)) return false;
        const uint8_t* src[4] = {frame.data[0] + long(y) * frame.linesize[0],
                                 frame.data[1] + long(y >> desc->log2_chroma_h) * frame.linesize[1],
                                 frame.data[2] + long(y >> desc->log2_chroma_h) * frame.linesize[2], nullptr};
        sws_scale(band.toBgra.get(), src, frame.linesize, 0, rows, band.bgra->data, band.bgra->linesize);
        uint8_t* dst[4] = {out.Row(y), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(out.rowBytes), 0, 0, 0};
        sws_scale(band.toArgb.get(), band.bgra->data, band.bgra->linesize, 0, rows, dst, dstStride);
    }
    return true;
}

} // namespace hosts::video
