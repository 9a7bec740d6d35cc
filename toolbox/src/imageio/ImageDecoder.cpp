// Decoding of the first image of a PNG, JPEG, GIF, BMP or TIFF file with libavformat's image
// demuxers and libavcodec, from the file's bytes in memory (so a hostile file can never make
// the decoder read past them). The kind is told by the file's signature, never guessed by
// probing, so only these five demuxers ever see the data.
#include "toolbox/ImageIO.h"

#include "../corefoundation/CFObject.h"
#include "../files/FileIO.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

struct CGImageSource : toolbox::CFObject {
    CGImageRef image = nullptr; // decoded when the source is made; NULL: no image
    ~CGImageSource() override { CGImageRelease(image); }
};

struct ComponentInstanceRecord {
    CGImageRef image = nullptr;
};

namespace toolbox {

namespace {

constexpr int kMaxSide = 4095;
constexpr int kMaxPackets = 16; // a still image decodes from its first packet or two

const char* DemuxerForSignature(std::span<const std::uint8_t> b) {
    auto starts = [&](std::initializer_list<int> sig) {
        if (b.size() < sig.size()) return false;
        size_t i = 0;
        for (int c : sig)
            if (b[i++] != c) return false;
        return true;
    };
    if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return "png_pipe";
    if (starts({0xFF, 0xD8, 0xFF})) return "jpeg_pipe";
    if (starts({'G', 'I', 'F', '8'})) return "gif";
    if (starts({'B', 'M'})) return "bmp_pipe";
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return "tiff_pipe";
    return nullptr;
}

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    size_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* r = static_cast<MemoryReader*>(opaque);
    size_t n = std::min(size_t(std::max(size, 0)), r->bytes.size() - r->position);
    if (n == 0) return AVERROR_EOF;
    std::memcpy(buf, r->bytes.data() + r->position, n);
    r->position += n;
    return int(n);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(opaque);
    int64_t size = int64_t(r->bytes.size());
    if (whence & AVSEEK_SIZE) return size;
    int64_t base = (whence & 3) == SEEK_CUR ? int64_t(r->position) : (whence & 3) == SEEK_END ? size : 0;
    if (offset > size || offset < -size || base + offset < 0 || base + offset > size) return -1;
    r->position = size_t(base + offset);
    return int64_t(r->position);
}

struct FormatDeleter {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct IODeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Full-range JPEG formats have plain equivalents; the range is given to the scaler instead.
AVPixelFormat PlainFormat(AVPixelFormat f, bool& fullRange) {
    fullRange = true;
    switch (f) {
        case AV_PIX_FMT_YUVJ420P:
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            return AV_PIX_FMT_YUV411P;
        default:
            fullRange = false;
            return f;
    }
}

// The first decoded frame of the first video stream, or null.
std::unique_ptr<AVFrame, FrameDeleter> DecodeFirstFrame(AVFormatContext* format) {
    if (format->nb_streams < 1) return nullptr;
    AVStream* stream = format->streams[0];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) return nullptr;
    std::unique_ptr<AVCodecContext, CodecDeleter> ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) return nullptr;
    ctx->thread_count = 1;
    ctx->max_pixels = int64_t(kMaxSide) * kMaxSide; // a hostile header cannot claim gigabytes
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    if (!packet || !frame) return nullptr;
    bool draining = false;
    for (int packets = 0; packets <= kMaxPackets; ++packets) {
        if (!draining) {
            int got = av_read_frame(format, packet.get());
            if (got < 0) {
                draining = true;
                avcodec_send_packet(ctx.get(), nullptr);
            } else {
                int sent = packet->stream_index == 0 ? avcodec_send_packet(ctx.get(), packet.get()) : 0;
                av_packet_unref(packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN)) return nullptr;
            }
        }
        int received = avcodec_receive_frame(ctx.get(), frame.get());
        if (received == 0) return frame;
        if (received != AVERROR(EAGAIN)) return nullptr;
    }
    return nullptr;
}

// Converts a frame to premultiplied alpha, red, green, blue bytes.
CGImageRef FrameToImage(const AVFrame* frame) {
    int w = frame->width, h = frame->height;
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide || frame->format < 0) return nullptr;
    bool fullRange = false;
    AVPixelFormat source = PlainFormat(AVPixelFormat(frame->format), fullRange);
    SwsContext* sws =
        sws_getContext(w, h, source, w, h, AV_PIX_FMT_ARGB, SWS_POINT, nullptr, nullptr, nullptr);
    if (!sws) return nullptr;
    if (fullRange) {
        const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(sws, coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
    }
    // The scaler's vector code writes whole blocks past the end of short rows, so it draws into
    // a frame with FFmpeg's own alignment and padding; the rows are then packed tightly.
    std::unique_ptr<AVFrame, FrameDeleter> argb(av_frame_alloc());
    if (!argb) {
        sws_freeContext(sws);
        return nullptr;
    }
    argb->format = AV_PIX_FMT_ARGB;
    argb->width = w;
    argb->height = h;
    int rows = av_frame_get_buffer(argb.get(), 0) < 0
                   ? -1
                   : sws_scale(sws, frame->data, frame->linesize, 0, h, argb->data, argb->linesize);
    sws_freeContext(sws);
    if (rows != h) return nullptr;
    std::vector<UInt8> pixels(size_t(w) * size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        std::memcpy(&pixels[size_t(y) * size_t(w) * 4], argb->data[0] + ptrdiff_t(y) * argb->linesize[0],
                    size_t(w) * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        unsigned a = pixels[i];
        if (a == 255) continue;
        for (size_t c = 1; c < 4; ++c)
            pixels[i + c] = UInt8((pixels[i + c] * a + 127) / 255);
    }
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
    CGImageRef image = CGImageCreate(size_t(w), size_t(h), 8, 32, size_t(4 * w), space,
                                     kCGImageAlphaPremultipliedFirst, provider, nullptr, false, 0);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    return image;
}

CGImageRef DecodeImageFile(const std::string& path) {
    std::vector<UInt8> bytes;
    if (path.empty() || ReadWholeFile(path, bytes) != noErr) return nullptr;
    return DecodeImageData(bytes);
}

} // namespace

CGImageRef DecodeImageData(std::span<const std::uint8_t> bytes) {
    const char* demuxer = DemuxerForSignature(bytes);
    const AVInputFormat* input = demuxer ? av_find_input_format(demuxer) : nullptr;
    if (!input || bytes.size() > size_t(INT_MAX)) return nullptr;
    MemoryReader reader{bytes};
    constexpr int kBufferSize = 4096;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) return nullptr;
    std::unique_ptr<AVIOContext, IODeleter> io(
        avio_alloc_context(buffer, kBufferSize, 0, &reader, ReadPacket, nullptr, Seek));
    if (!io) {
        av_free(buffer);
        return nullptr;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return nullptr;
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&raw, nullptr, input, nullptr) < 0) return nullptr; // frees raw
    std::unique_ptr<AVFormatContext, FormatDeleter> format(raw);
    auto frame = DecodeFirstFrame(format.get());
    return frame ? FrameToImage(frame.get()) : nullptr;
}

} // namespace toolbox

using namespace toolbox;

extern "C" {

CGImageSourceRef CGImageSourceCreateWithURL(CFURLRef url, CFDictionaryRef) {
    UInt8 path[PATH_MAX];
    if (!url || !CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) return nullptr;
    auto* source = new CGImageSource;
    source->image = DecodeImageFile(reinterpret_cast<char*>(path));
    return source;
}

size_t CGImageSourceGetCount(CGImageSourceRef isrc) {
    return isrc && isrc->image ? 1 : 0;
}

CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef isrc, size_t index, CFDictionaryRef) {
    if (!isrc || !isrc->image || index != 0) return nullptr;
    return CGImageRetain(isrc->image);
}

OSErr GetGraphicsImporterForFile(const FSSpec* theFile, GraphicsImportComponent* gi) {
    if (!gi) return paramErr;
    *gi = nullptr;
    if (!theFile) return paramErr;
    CGImageRef image = DecodeImageFile(FSSpecToPath(*theFile));
    if (!image) return noCodecErr;
    *gi = new ComponentInstanceRecord{image};
    return noErr;
}

ComponentResult GraphicsImportGetAsPicture(GraphicsImportComponent ci, PicHandle* picture) {
    if (!picture) return paramErr;
    *picture = nullptr;
    if (!ci || !ci->image) return invalidComponentID;
    size_t w = CGImageGetWidth(ci->image), h = CGImageGetHeight(ci->image);
    size_t rowBytes = CGImageGetBytesPerRow(ci->image);
    const UInt8* src = CGImagePixels(ci->image);
    std::vector<UInt8> opaque(w * h * 4);
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            const UInt8* p = src + y * rowBytes + 4 * x;
            UInt8* q = &opaque[(y * w + x) * 4];
            q[0] = 255;
            for (int c = 1; c < 4; ++c)
                q[c] = UInt8(p[c] + 255 - p[0]); // premultiplied over white
        }
    *picture = NewPictureFromPixels(opaque.data(), int(w), int(h), long(4 * w));
    return *picture ? ComponentResult(noErr) : ComponentResult(memFullErr);
}

ComponentResult GraphicsImportCreateCGImage(GraphicsImportComponent ci, CGImageRef* imageRef, UInt32) {
    if (!imageRef) return paramErr;
    *imageRef = ci && ci->image ? CGImageCreateCopy(ci->image) : nullptr;
    return *imageRef ? ComponentResult(noErr) : ComponentResult(invalidComponentID);
}

OSErr CloseComponent(GraphicsImportComponent aComponentInstance) {
    if (!aComponentInstance) return invalidComponentID;
    CGImageRelease(aComponentInstance->image);
    delete aComponentInstance;
    return noErr;
}

} // extern "C"
