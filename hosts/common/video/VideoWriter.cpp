#include "video/VideoWriter.h"

#include "video/FFmpegUtil.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace hosts::video {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool IsNumberPattern(const std::string& path) {
    char probe[4096];
    return path.find('%') != std::string::npos &&
           av_get_frame_filename2(probe, sizeof probe, path.c_str(), 1, 0) == 0;
}

// Converts the toolbox's ARGB pixels into an encoder's frame.
class PictureConverter {
  public:
    // dst must be writable.
    bool Convert(const ArgbImage& src, AVFrame& dst) {
        SwsContext* scaler = scaler_.For(src.width, src.height, AV_PIX_FMT_ARGB, dst.width, dst.height,
                                         AVPixelFormat(dst.format), SWS_BICUBIC);
        if (!scaler) return false;
        const uint8_t* in[4] = {src.pixels.data(), nullptr, nullptr, nullptr};
        int inStride[4] = {int(src.rowBytes), 0, 0, 0};
        sws_scale(scaler, in, inStride, 0, src.height, dst.data, dst.linesize);
        return true;
    }

  private:
    Scaler scaler_;
};

FramePtr MakePictureFrame(AVPixelFormat format, int width, int height) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return {};
    return frame;
}

// Encodes one picture as PNG: RGB when every pixel is opaque, RGBA otherwise.
bool EncodePng(const ArgbImage& image, std::vector<uint8_t>& bytes, std::string& error) {
    bool opaque = true;
    for (int y = 0; y < image.height && opaque; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.Row(y)[4 * x] != 255) {
                opaque = false;
                break;
            }
    AVPixelFormat format = opaque ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_RGBA;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    CodecPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!ctx) {
        error = "no PNG encoder";
        return false;
    }
    ctx->width = image.width;
    ctx->height = image.height;
    ctx->pix_fmt = format;
    ctx->time_base = {1, 25};
    FramePtr frame = MakePictureFrame(format, image.width, image.height);
    PictureConverter converter;
    PacketPtr packet(av_packet_alloc());
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0 || !frame || !converter.Convert(image, *frame) ||
        avcodec_send_frame(ctx.get(), frame.get()) < 0 ||
        avcodec_receive_packet(ctx.get(), packet.get()) < 0) {
        error = "cannot encode a PNG picture";
        return false;
    }
    bytes.assign(packet->data, packet->data + packet->size);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) {
        error = "cannot move the output into place as " + to + ": " + ec.message();
        return false;
    }
    return true;
}

// ---- Containers: H.264 or FFV1, with AAC audio ----

class ContainerWriter final : public VideoWriter {
  public:
    ~ContainerWriter() override;
    bool Start(const OutputSpec& spec, std::string& error);
    bool WriteFrame(const ArgbImage& frame, const std::vector<float>& audio, std::string& error) override;
    bool Finish(std::string& error) override;

  private:
    bool AddVideo(const OutputSpec& spec, std::string& error);
    bool AddAudio(const OutputSpec& spec, std::string& error);
    bool Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame, std::string& error);
    bool SendAudio(bool flushAll, std::string& error);
    AVFrame* TakePicture();
    void Close();

    std::string finalPath_, partialPath_;
    AVFormatContext* format_ = nullptr;
    CodecPtr video_, audio_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    // The encoder may keep a reference to the pictures it was given; each frame is converted
    // into one it has let go of, so that no picture is copied or allocated afresh per frame.
    std::vector<FramePtr> pictures_;
    PictureConverter converter_;
    PacketPtr packet_{av_packet_alloc()};
    std::vector<float> pendingAudio_; // interleaved, not yet encoded
    int channels_ = 0;
    int64_t nextVideoPts_ = 0;
    int64_t nextAudioPts_ = 0;
    bool finished_ = false;
};

bool ContainerWriter::Start(const OutputSpec& spec, std::string& error) {
    finalPath_ = spec.path;
    partialPath_ = PartialNameFor(spec.path);
    if (avformat_alloc_output_context2(&format_, nullptr, nullptr, spec.path.c_str()) < 0 || !format_) {
        error = "no container for " + spec.path;
        return false;
    }
    if (!AddVideo(spec, error)) return false;
    if (spec.audio.present && !AddAudio(spec, error)) return false;
    int r = avio_open(&format_->pb, partialPath_.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) {
        error = "cannot write " + spec.path + ": " + AvErrorText(r);
        return false;
    }
    r = avformat_write_header(format_, nullptr);
    if (r < 0) {
        error = "cannot start " + spec.path + ": " + AvErrorText(r);
        return false;
    }
    return true;
}

bool ContainerWriter::AddVideo(const OutputSpec& spec, std::string& error) {
    bool h264 = spec.kind == OutputKind::kH264;
    const AVCodec* codec =
        h264 ? avcodec_find_encoder_by_name("libx264") : avcodec_find_encoder(AV_CODEC_ID_FFV1);
    if (!codec) {
        error = h264 ? "no H.264 encoder (libx264) in the FFmpeg libraries" : "no FFV1 encoder";
        return false;
    }
    if (h264 && (spec.width % 2 || spec.height % 2)) {
        error = "H.264 needs an even width and height, not " + std::to_string(spec.width) + "x" +
                std::to_string(spec.height) + " (use --size or --lossless)";
        return false;
    }
    video_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = video_.get();
    c->width = spec.width;
    c->height = spec.height;
    c->pix_fmt = h264 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA;
    c->framerate = {spec.frameRate.num, spec.frameRate.den};
    c->time_base = av_inv_q(c->framerate);
    c->thread_count = 0;
    if (h264) av_opt_set_int(c->priv_data, "crf", spec.crf, 0);
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) {
        error = "cannot open the video encoder: " + AvErrorText(r);
        return false;
    }
    videoStream_ = avformat_new_stream(format_, nullptr);
    if (!videoStream_ || avcodec_parameters_from_context(videoStream_->codecpar, c) < 0) {
        error = "cannot add the video stream";
        return false;
    }
    videoStream_->time_base = c->time_base;
    videoStream_->avg_frame_rate = c->framerate;
    return true;
}

AVFrame* ContainerWriter::TakePicture() {
    constexpr size_t kMaxPictures = 16;
    for (const FramePtr& p : pictures_)
        if (av_frame_is_writable(p.get())) return p.get();
    if (pictures_.size() >= kMaxPictures) // the encoder holds them all: copy the oldest
        return av_frame_make_writable(pictures_.front().get()) < 0 ? nullptr : pictures_.front().get();
    FramePtr picture = MakePictureFrame(video_->pix_fmt, video_->width, video_->height);
    if (!picture) return nullptr;
    pictures_.push_back(std::move(picture));
    return pictures_.back().get();
}

bool ContainerWriter::AddAudio(const OutputSpec& spec, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        error = "no AAC encoder";
        return false;
    }
    audio_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = audio_.get();
    channels_ = spec.audio.channels;
    av_channel_layout_default(&c->ch_layout, channels_);
    c->sample_rate = spec.audio.sampleRate;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->bit_rate = 96000 * channels_;
    c->time_base = {1, spec.audio.sampleRate};
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) {
        error = "cannot open the audio encoder: " + AvErrorText(r);
        return false;
    }
    audioStream_ = avformat_new_stream(format_, nullptr);
    if (!audioStream_ || avcodec_parameters_from_context(audioStream_->codecpar, c) < 0) {
        error = "cannot add the audio stream";
        return false;
    }
    audioStream_->time_base = c->time_base;
    return true;
}

// Encodes a frame (or flushes, with null) and writes the packets that come out. Packets
// get their duration before their timestamps are rescaled: the H.264 encoder leaves it 0,
// and an MP4 edit list would then cut the last frame.
bool ContainerWriter::Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame,
                           std::string& error) {
    int r = avcodec_send_frame(codec, frame);
    if (r < 0 && !(frame == nullptr && r == AVERROR_EOF)) {
        error = "cannot encode: " + AvErrorText(r);
        return false;
    }
    for (;;) {
        r = avcodec_receive_packet(codec, packet_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) {
            error = "cannot encode: " + AvErrorText(r);
            return false;
        }
        if (packet_->duration <= 0)
            packet_->duration = codec->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : codec->frame_size;
        av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        r = av_interleaved_write_frame(format_, packet_.get());
        if (r < 0) {
            error = "cannot write " + finalPath_ + ": " + AvErrorText(r);
            return false;
        }
    }
}

bool ContainerWriter::SendAudio(bool flushAll, std::string& error) {
    int frameSize = audio_->frame_size > 0 ? audio_->frame_size : 1024;
    size_t perFrame = size_t(frameSize) * size_t(channels_);
    while (pendingAudio_.size() >= perFrame || (flushAll && !pendingAudio_.empty())) {
        int samples = int(std::min(perFrame, pendingAudio_.size()) / size_t(channels_));
        FramePtr frame(av_frame_alloc());
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->nb_samples = samples;
        frame->sample_rate = audio_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            error = "no memory for audio";
            return false;
        }
        for (int ch = 0; ch < channels_; ++ch) {
            float* plane = reinterpret_cast<float*>(frame->extended_data[ch]);
            for (int i = 0; i < samples; ++i)
                plane[i] = pendingAudio_[size_t(i) * size_t(channels_) + size_t(ch)];
        }
        pendingAudio_.erase(pendingAudio_.begin(), pendingAudio_.begin() + long(samples) * channels_);
        frame->pts = nextAudioPts_;
        nextAudioPts_ += samples;
        if (!Send(audio_.get(), audioStream_, frame.get(), error)) return false;
    }
    return true;
}

bool ContainerWriter::WriteFrame(const ArgbImage& frame, const std::vector<float>& audio,
                                 std::string& error) {
    AVFrame* picture = TakePicture();
    if (!picture || !converter_.Convert(frame, *picture)) {
        error = "cannot convert a rendered frame";
        return false;
    }
    picture->pts = nextVideoPts_++;
    if (!Send(video_.get(), videoStream_, picture, error)) return false;
    if (!audio_) return true;
    pendingAudio_.insert(pendingAudio_.end(), audio.begin(), audio.end());
    return SendAudio(false, error);
}

bool ContainerWriter::Finish(std::string& error) {
    if (!Send(video_.get(), videoStream_, nullptr, error)) return false;
    if (audio_ && (!SendAudio(true, error) || !Send(audio_.get(), audioStream_, nullptr, error)))
        return false;
    int r = av_write_trailer(format_);
    if (r < 0) {
        error = "cannot finish " + finalPath_ + ": " + AvErrorText(r);
        return false;
    }
    r = avio_closep(&format_->pb);
    if (r < 0) {
        error = "cannot write " + finalPath_ + ": " + AvErrorText(r);
        return false;
    }
    if (!MoveIntoPlace(partialPath_, finalPath_, error)) return false;
    finished_ = true;
    return true;
}

void ContainerWriter::Close() {
    if (!format_) return;
    if (format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
    format_ = nullptr;
}

ContainerWriter::~ContainerWriter() {
    Close();
    if (!finished_ && !partialPath_.empty()) std::remove(partialPath_.c_str());
}

// ---- Numbered PNG files ----

class PngSequenceWriter final : public VideoWriter {
  public:
    ~PngSequenceWriter() override {
        if (finished_) return;
        for (const auto& [partial, final] : files_)
            std::remove(partial.c_str());
    }
    bool Start(const OutputSpec& spec, std::string& error) {
        pattern_ = spec.path;
        // Fail now, not after the render, when the folder cannot take the files.
        std::string probe = PartialNameFor(NameOf(1));
        if (!WriteWholeFile(probe, {}, error)) {
            error = "cannot write into the folder of " + spec.path;
            return false;
        }
        std::remove(probe.c_str());
        return true;
    }
    bool WriteFrame(const ArgbImage& frame, const std::vector<float>&, std::string& error) override {
        std::vector<uint8_t> bytes;
        if (!EncodePng(frame, bytes, error)) return false;
        std::string final = NameOf(int(files_.size()) + 1);
        files_.emplace_back(PartialNameFor(final), final);
        return WriteWholeFile(files_.back().first, bytes, error);
    }
    bool Finish(std::string& error) override {
        for (const auto& [partial, final] : files_)
            if (!MoveIntoPlace(partial, final, error)) return false;
        finished_ = true;
        return true;
    }

  private:
    std::string NameOf(int number) const {
        char name[4096];
        av_get_frame_filename2(name, sizeof name, pattern_.c_str(), number, 0);
        return name;
    }
    std::string pattern_;
    std::vector<std::pair<std::string, std::string>> files_; // partial, final
    bool finished_ = false;
};

} // namespace

std::string PartialNameFor(const std::string& path) {
    static std::atomic<int> counter{0};
    fs::path p(path);
    std::string name = "." + p.filename().string() + ".partial-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter++);
    return (p.parent_path() / name).string();
}

std::optional<OutputKind> OutputKindFor(const std::string& path, bool lossless, std::string& error) {
    std::string ext = Lower(fs::path(path).extension().string());
    if (IsNumberPattern(path)) {
        if (ext == ".png") return OutputKind::kPngSequence;
        error = "numbered outputs are PNG files, such as out_%04d.png: " + path;
        return std::nullopt;
    }
    if (ext == ".nut") return OutputKind::kFFV1;
    if (ext == ".mkv") return lossless ? OutputKind::kFFV1 : OutputKind::kH264;
    if (ext == ".mp4" || ext == ".mov") {
        if (!lossless) return OutputKind::kH264;
        error = "--lossless writes .mkv or .nut, not " + ext;
        return std::nullopt;
    }
    if (ext == ".png") {
        error = "a frame sequence needs a number pattern, such as out_%04d.png: " + path;
        return std::nullopt;
    }
    error = "unknown kind of output '" + path +
            "' (use .mp4, .mov, .mkv, .nut or a pattern such as out_%04d.png)";
    return std::nullopt;
}

std::unique_ptr<VideoWriter> VideoWriter::Open(const OutputSpec& spec, std::string& error) {
    if (spec.kind == OutputKind::kPngSequence) {
        auto writer = std::make_unique<PngSequenceWriter>();
        if (!writer->Start(spec, error)) return {};
        return writer;
    }
    auto writer = std::make_unique<ContainerWriter>();
    if (!writer->Start(spec, error)) return {};
    return writer;
}

bool WritePngFile(const std::string& path, const ArgbImage& image, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!EncodePng(image, bytes, error)) return false;
    std::string partial = PartialNameFor(path);
    if (!WriteWholeFile(partial, bytes, error)) {
        std::remove(partial.c_str());
        error = "cannot write " + path;
        return false;
    }
    if (!MoveIntoPlace(partial, path, error)) {
        std::remove(partial.c_str());
        return false;
    }
    return true;
}

} // namespace hosts::video
