#include "video/VideoWriter.h"

#include "video/Encoding.h"
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

// ---- Containers ----

class ContainerWriter final : public VideoWriter {
  public:
    ~ContainerWriter() override;
    // inMemory: write into memory and drop it at the end (a check of the combination).
    bool Start(const OutputSpec& spec, bool inMemory, std::string& error);
    bool WriteFrame(const ArgbImage& frame, const std::vector<float>& audio, std::string& error) override;
    bool Finish(std::string& error) override;

  private:
    bool AddVideo(const OutputSpec& spec, std::string& error);
    AVFrame* TakePicture();
    void Close();

    std::string finalPath_, partialPath_;
    AVFormatContext* format_ = nullptr;
    CodecPtr video_;
    AudioTrack audio_;
    AVStream* videoStream_ = nullptr;
    // The encoder may keep a reference to the pictures it was given; each frame is converted
    // into one it has let go of, so that no picture is copied or allocated afresh per frame.
    std::vector<FramePtr> pictures_;
    PictureConverter converter_;
    PacketPtr packet_{av_packet_alloc()};
    int64_t nextVideoPts_ = 0;
    bool inMemory_ = false;
    bool finished_ = false;
};

bool ContainerWriter::Start(const OutputSpec& spec, bool inMemory, std::string& error) {
    finalPath_ = spec.path;
    inMemory_ = inMemory;
    if (!inMemory) partialPath_ = PartialNameFor(spec.path);
    const std::string& muxer = spec.muxer.empty() ? spec.encoder.muxer : spec.muxer;
    if (avformat_alloc_output_context2(&format_, nullptr, muxer.c_str(), spec.path.c_str()) < 0 || !format_) {
        error = "no " + muxer + " container for " + spec.path;
        return false;
    }
    for (const auto& [key, value] : spec.tags)
        av_dict_set(&format_->metadata, key.c_str(), value.c_str(), 0);
    if (!AddVideo(spec, error)) return false;
    if (spec.audio.present &&
        !audio_.Open(format_, spec.encoder.audio, spec.encoder.audioRate, spec.audio, error))
        return false;
    int r = inMemory ? avio_open_dyn_buf(&format_->pb)
                     : avio_open(&format_->pb, partialPath_.c_str(), AVIO_FLAG_WRITE);
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
    video_ = OpenVideoEncoder(spec.encoder, spec.width, spec.height, spec.frameRate,
                              format_->oformat->flags & AVFMT_GLOBALHEADER, error);
    if (!video_) return false;
    AVCodecContext* c = video_.get();
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

bool ContainerWriter::WriteFrame(const ArgbImage& frame, const std::vector<float>& audio,
                                 std::string& error) {
    AVFrame* picture = TakePicture();
    if (!picture || !converter_.Convert(frame, *picture)) {
        error = "cannot convert a rendered frame";
        return false;
    }
    picture->pts = nextVideoPts_++;
    if (!EncodeInto(format_, video_.get(), videoStream_, picture, packet_.get(), error)) return false;
    return !audio_.IsOpen() || audio_.Write(audio, error);
}

bool ContainerWriter::Finish(std::string& error) {
    if (!EncodeInto(format_, video_.get(), videoStream_, nullptr, packet_.get(), error)) return false;
    if (audio_.IsOpen() && !audio_.Finish(error)) return false;
    int r = av_write_trailer(format_);
    if (r < 0) {
        error = "cannot finish " + finalPath_ + ": " + AvErrorText(r);
        return false;
    }
    if (inMemory_) {
        uint8_t* bytes = nullptr;
        avio_close_dyn_buf(format_->pb, &bytes);
        format_->pb = nullptr;
        av_free(bytes);
        finished_ = true;
        return true;
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
    if (format_->pb && inMemory_) {
        uint8_t* bytes = nullptr;
        avio_close_dyn_buf(format_->pb, &bytes);
        av_free(bytes);
        format_->pb = nullptr;
    }
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

std::optional<OutputKind> OutputKindFor(const std::string& path, std::string& error) {
    std::string ext = Lower(fs::path(path).extension().string());
    if (IsNumberPattern(path)) {
        if (ext == ".png") return OutputKind::kPngSequence;
        error = "numbered outputs are PNG files, such as out_%04d.png: " + path;
        return std::nullopt;
    }
    if (ext == ".png") {
        error = "a frame sequence needs a number pattern, such as out_%04d.png: " + path;
        return std::nullopt;
    }
    return OutputKind::kVideoFile;
}

std::unique_ptr<VideoWriter> VideoWriter::Open(const OutputSpec& spec, std::string& error) {
    if (spec.kind == OutputKind::kPngSequence) {
        auto writer = std::make_unique<PngSequenceWriter>();
        if (!writer->Start(spec, error)) return {};
        return writer;
    }
    auto writer = std::make_unique<ContainerWriter>();
    if (!writer->Start(spec, false, error)) return {};
    return writer;
}

bool VideoWriter::Check(const OutputSpec& spec, std::string& error) {
    if (spec.kind == OutputKind::kPngSequence) return true;
    LibraryMessages messages;
    ContainerWriter writer;
    ArgbImage black;
    black.Allocate(spec.width, spec.height);
    std::fill(black.pixels.begin(), black.pixels.end(), 0);
    std::vector<float> silence;
    if (spec.audio.present)
        silence.assign(
            size_t(spec.audio.sampleRate * spec.frameRate.den / std::max(spec.frameRate.num, 1) + 1) *
                size_t(spec.audio.channels),
            0.0f);
    if (writer.Start(spec, true, error) && writer.WriteFrame(black, silence, error) && writer.Finish(error))
        return true;
    const std::string& muxer = spec.muxer.empty() ? spec.encoder.muxer : spec.muxer;
    std::string said = messages.First();
    error = spec.encoder.Describe() + " cannot be written into " + muxer + " (" + spec.path +
            "): " + (said.empty() ? error : said);
    std::vector<std::string> others = EncodersFor(spec.encoder.extension);
    others.erase(std::remove(others.begin(), others.end(), spec.encoder.video), others.end());
    if (!others.empty())
        error += "; other encoders for " + spec.encoder.extension + " files: " + JoinNames(others);
    return false;
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
