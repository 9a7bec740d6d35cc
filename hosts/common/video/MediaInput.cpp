#include "video/MediaInput.h"

#include "video/ArgbConverter.h"
#include "video/FFmpegUtil.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <deque>
#include <utility>

namespace hosts::video {

namespace {

// Decoded frames kept for nearby requests, and how far ahead decoding forward beats a seek.
constexpr size_t kCachedFrames = 8;
constexpr int kForwardSpan = 12;

int lgDecodeThreads = 0; // SetDecodeThreads

InputPtr OpenContainer(const std::string& path, std::string& error) {
    AVFormatContext* raw = nullptr;
    int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (r < 0) {
        error = "cannot open " + path + ": " + AvErrorText(r);
        return {};
    }
    InputPtr format(raw);
    r = avformat_find_stream_info(raw, nullptr);
    if (r < 0) {
        error = "cannot read " + path + ": " + AvErrorText(r);
        return {};
    }
    return format;
}

CodecPtr OpenDecoder(const AVStream* stream, const std::string& path, std::string& error) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        error = "no decoder for the " + std::string(avcodec_get_name(stream->codecpar->codec_id)) +
                " stream of " + path;
        return {};
    }
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) {
        error = "cannot set up the decoder for " + path;
        return {};
    }
    ctx->thread_count = lgDecodeThreads;
    ctx->pkt_timebase = stream->time_base;
    int r = avcodec_open2(ctx.get(), codec, nullptr);
    if (r < 0) {
        error = "cannot open the decoder for " + path + ": " + AvErrorText(r);
        return {};
    }
    return ctx;
}

} // namespace

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void SetDecodeThreads(int threads) {
    lgDecodeThreads = threads;
}

void SetMediaLogging(bool verbose) {
    av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_ERROR);
}

struct MediaInput::State {
    std::string path;
    ClipInfo info;
    InputPtr format;
    CodecPtr decoder;
    int videoStream = -1;
    // Timestamps of the frames in presentation order, and of the keyframes; without usable
    // timestamps frames are counted from the start instead and a seek rewinds the file.
    std::vector<int64_t> framePts;
    std::vector<int64_t> keyPts;
    bool timestamped = true;
    // The decoder's position: the index of the frame it gave last (-1: unknown, after a seek).
    int lastDecoded = -1;
    bool atEnd = false;   // every packet has been sent; the decoder gives what it still holds
    bool drained = false; // and it has given its last frame
    int seeks = 0;
    std::deque<std::pair<int, FramePtr>> cache;
    PacketPtr packet{av_packet_alloc()};
    ArgbConverter converter;

    bool IndexPackets(std::string& error);
    bool Rewind(std::string& error);
    bool SeekTo(int index, std::string& error);
    FramePtr DecodeNext(std::string& error);
    int IndexOf(const AVFrame& frame) const;
    const AVFrame* Fetch(int index, std::string& error);
    bool ShouldDecodeForward(int index) const;
};

bool MediaInput::State::IndexPackets(std::string& error) {
    std::vector<int64_t> keys;
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == videoStream && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (ts == AV_NOPTS_VALUE) timestamped = false;
            framePts.push_back(ts);
            if (packet->flags & AV_PKT_FLAG_KEY) keys.push_back(int64_t(framePts.size() - 1));
        }
        av_packet_unref(packet.get());
    }
    if (framePts.empty()) {
        error = "no video frames in " + path;
        return false;
    }
    if (timestamped) {
        for (int64_t k : keys)
            keyPts.push_back(framePts[size_t(k)]);
        std::sort(framePts.begin(), framePts.end());
        std::sort(keyPts.begin(), keyPts.end());
        if (std::adjacent_find(framePts.begin(), framePts.end()) != framePts.end()) timestamped = false;
    }
    if (!timestamped) {
        // Frames are known only by their order; a seek rewinds to the start.
        for (size_t i = 0; i < framePts.size(); ++i)
            framePts[i] = int64_t(i);
        keyPts = {0};
    }
    if (keyPts.empty()) keyPts.push_back(framePts.front());
    info.frameCount = int(framePts.size());
    return Rewind(error);
}

bool MediaInput::State::Rewind(std::string& error) {
    format = OpenContainer(path, error);
    if (!format) return false;
    if (decoder) avcodec_flush_buffers(decoder.get());
    lastDecoded = -1;
    atEnd = false;
    drained = false;
    return true;
}

bool MediaInput::State::SeekTo(int index, std::string& error) {
    ++seeks;
    if (!timestamped) return Rewind(error);
    int64_t target = framePts[size_t(index)];
    auto key = std::upper_bound(keyPts.begin(), keyPts.end(), target);
    int64_t keyTs = key == keyPts.begin() ? keyPts.front() : *(key - 1);
    if (av_seek_frame(format.get(), videoStream, keyTs, AVSEEK_FLAG_BACKWARD) < 0 && !Rewind(error))
        return false;
    avcodec_flush_buffers(decoder.get());
    lastDecoded = -1;
    atEnd = false;
    drained = false;
    return true;
}

FramePtr MediaInput::State::DecodeNext(std::string& error) {
    FramePtr frame(av_frame_alloc());
    for (;;) {
        int r = avcodec_receive_frame(decoder.get(), frame.get());
        if (r == 0) return frame;
        if (r == AVERROR_EOF) {
            drained = true;
            return {};
        }
        if (r != AVERROR(EAGAIN)) {
            error = "cannot decode " + path + ": " + AvErrorText(r);
            return {};
        }
        if (atEnd) return {};
        if (av_read_frame(format.get(), packet.get()) < 0) {
            atEnd = true;
            avcodec_send_packet(decoder.get(), nullptr);
            continue;
        }
        // A damaged packet loses its frame, not the clip: the frame is then reported missing.
        if (packet->stream_index == videoStream) avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
    }
}

int MediaInput::State::IndexOf(const AVFrame& frame) const {
    if (timestamped) {
        int64_t ts = frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
        auto it = std::lower_bound(framePts.begin(), framePts.end(), ts);
        if (ts != AV_NOPTS_VALUE && it != framePts.end() && *it == ts) return int(it - framePts.begin());
        return lastDecoded >= 0 ? lastDecoded + 1 : -1;
    }
    return lastDecoded + 1;
}

bool MediaInput::State::ShouldDecodeForward(int index) const {
    // After the last packet the decoder still holds the frames it delays (reordering, frame
    // threads): those come by decoding forward, not by seeking back to the keyframe.
    if (lastDecoded < 0 || drained || index <= lastDecoded) return false;
    if (index - lastDecoded <= kForwardSpan) return true;
    // No keyframe between the decoder's position and the target: a seek would land behind us.
    auto nextKey = std::upper_bound(keyPts.begin(), keyPts.end(), framePts[size_t(lastDecoded)]);
    return nextKey == keyPts.end() || *nextKey > framePts[size_t(index)];
}

const AVFrame* MediaInput::State::Fetch(int index, std::string& error) {
    for (const auto& [i, f] : cache)
        if (i == index) return f.get();
    if (!ShouldDecodeForward(index) && !SeekTo(index, error)) return nullptr;
    for (;;) {
        FramePtr frame = DecodeNext(error);
        if (!frame) {
            if (error.empty())
                error = "frame " + std::to_string(index) + " of " + path + " cannot be decoded";
            return nullptr;
        }
        int got = IndexOf(*frame);
        if (got < 0) continue;
        lastDecoded = got;
        if (cache.size() >= kCachedFrames) cache.pop_front();
        cache.emplace_back(got, std::move(frame));
        if (got == index) return cache.back().second.get();
        if (got > index) {
            error = "frame " + std::to_string(index) + " of " + path + " cannot be decoded";
            return nullptr;
        }
    }
}

MediaInput::MediaInput(std::unique_ptr<State> state) : state_(std::move(state)) {}
MediaInput::~MediaInput() = default;

std::unique_ptr<MediaInput> MediaInput::Open(const std::string& path, std::string& error) {
    auto s = std::make_unique<State>();
    s->path = path;
    s->format = OpenContainer(path, error);
    if (!s->format) return {};
    s->videoStream = av_find_best_stream(s->format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s->videoStream < 0) {
        error = "no video in " + path;
        return {};
    }
    const AVStream* stream = s->format->streams[s->videoStream];
    s->decoder = OpenDecoder(stream, path, error);
    if (!s->decoder) return {};
    ClipInfo& info = s->info;
    info.width = s->decoder->width;
    info.height = s->decoder->height;
    if (info.width <= 0 || info.height <= 0) {
        error = "the video of " + path + " has no picture size";
        return {};
    }
    AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) info.frameRate = {rate.num, rate.den};
    int audio = av_find_best_stream(s->format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio >= 0) {
        const AVCodecParameters* par = s->format->streams[audio]->codecpar;
        if (par->sample_rate > 0 && par->ch_layout.nb_channels > 0)
            info.audio = {true, par->sample_rate, std::min(par->ch_layout.nb_channels, 2)};
    }
    if (!s->IndexPackets(error)) return {};
    return std::unique_ptr<MediaInput>(new MediaInput(std::move(s)));
}

const ClipInfo& MediaInput::Info() const {
    return state_->info;
}

int MediaInput::Seeks() const {
    return state_->seeks;
}

bool MediaInput::ReadFrame(int index, int width, int height, ScaleQuality quality, ArgbImage& out,
                           std::string& error) {
    State& s = *state_;
    if (index < 0 || index >= s.info.frameCount) {
        error = "frame " + std::to_string(index) + " is outside " + s.path;
        return false;
    }
    const AVFrame* frame = s.Fetch(index, error);
    if (!frame) return false;
    int flags = quality == ScaleQuality::kFast ? SWS_FAST_BILINEAR : SWS_BICUBIC;
    out.Allocate(width, height);
    if (!s.converter.Convert(*frame, width, height, flags, out)) {
        const char* format = av_get_pix_fmt_name(AVPixelFormat(frame->format));
        error =
            "cannot convert the pictures of " + s.path + " (" + (format ? format : "unknown format") + ")";
        return false;
    }
    return true;
}

// ---- Audio ----

namespace {

class MediaAudio final : public AudioSource {
  public:
    bool Open(const std::string& path, double startSeconds, const AudioInfo& info, std::string& error);
    bool ReadSamples(int count, std::vector<float>& out, std::string& error) override;

  private:
    bool DecodeMore(std::string& error);
    void TakeFrame(const AVFrame& frame);

    InputPtr format_;
    CodecPtr decoder_;
    ResamplerPtr resampler_;
    PacketPtr packet_{av_packet_alloc()};
    FramePtr frame_{av_frame_alloc()};
    int stream_ = -1;
    int channels_ = 0;
    int rate_ = 0;
    double start_ = 0.0;
    bool first_ = true;
    bool ended_ = false;
    std::deque<float> pending_;
};

bool MediaAudio::Open(const std::string& path, double startSeconds, const AudioInfo& info,
                      std::string& error) {
    format_ = OpenContainer(path, error);
    if (!format_) return false;
    stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream_ < 0) {
        error = "no audio in " + path;
        return false;
    }
    decoder_ = OpenDecoder(format_->streams[stream_], path, error);
    if (!decoder_) return false;
    channels_ = info.channels;
    rate_ = info.sampleRate;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels_);
    SwrContext* swr = nullptr;
    if (swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, rate_, &decoder_->ch_layout,
                            decoder_->sample_fmt, decoder_->sample_rate, 0, nullptr) < 0 ||
        swr_init(swr) < 0) {
        swr_free(&swr);
        error = "cannot convert the audio of " + path;
        return false;
    }
    resampler_.reset(swr);
    start_ = startSeconds;
    if (startSeconds > 0.0)
        av_seek_frame(format_.get(), -1, int64_t(startSeconds * AV_TIME_BASE), AVSEEK_FLAG_BACKWARD);
    return true;
}

void MediaAudio::TakeFrame(const AVFrame& frame) {
    int capacity = swr_get_out_samples(resampler_.get(), frame.nb_samples);
    if (capacity <= 0) return;
    std::vector<float> converted(size_t(capacity) * size_t(channels_));
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(converted.data())};
    int got = swr_convert(resampler_.get(), out, capacity, const_cast<const uint8_t**>(frame.extended_data),
                          frame.nb_samples);
    if (got <= 0) return;
    size_t skip = 0;
    if (first_) {
        // Line the first samples up with the clip's first frame: drop what lies before it,
        // pad with silence when the audio starts later.
        first_ = false;
        const AVRational tb = format_->streams[stream_]->time_base;
        int64_t ts = frame.best_effort_timestamp;
        double at = ts == AV_NOPTS_VALUE ? start_ : double(ts) * av_q2d(tb);
        long offset = std::lround((start_ - at) * rate_);
        if (offset > 0)
            skip = size_t(std::min<long>(offset, got)) * size_t(channels_);
        else
            pending_.insert(pending_.end(), size_t(-offset) * size_t(channels_), 0.0f);
    }
    pending_.insert(pending_.end(), converted.begin() + long(skip),
                    converted.begin() + long(size_t(got) * size_t(channels_)));
}

bool MediaAudio::DecodeMore(std::string& error) {
    for (;;) {
        int r = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (r == 0) {
            TakeFrame(*frame_);
            av_frame_unref(frame_.get());
            return true;
        }
        if (r == AVERROR_EOF) {
            ended_ = true;
            return true;
        }
        if (r != AVERROR(EAGAIN)) {
            error = "cannot decode the audio: " + AvErrorText(r);
            return false;
        }
        if (av_read_frame(format_.get(), packet_.get()) < 0) {
            avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index == stream_) avcodec_send_packet(decoder_.get(), packet_.get());
        av_packet_unref(packet_.get());
    }
}

bool MediaAudio::ReadSamples(int count, std::vector<float>& out, std::string& error) {
    size_t wanted = size_t(count) * size_t(channels_);
    while (pending_.size() < wanted && !ended_)
        if (!DecodeMore(error)) return false;
    size_t have = std::min(wanted, pending_.size());
    out.insert(out.end(), pending_.begin(), pending_.begin() + long(have));
    pending_.erase(pending_.begin(), pending_.begin() + long(have));
    out.insert(out.end(), wanted - have, 0.0f);
    return true;
}

} // namespace

std::unique_ptr<AudioSource> MediaInput::OpenAudio(int firstFrame, std::string& error) const {
    const State& s = *state_;
    if (!s.info.audio.present) return {};
    double start = 0.0;
    if (s.timestamped && firstFrame >= 0 && firstFrame < s.info.frameCount)
        start = double(s.framePts[size_t(firstFrame)]) * av_q2d(s.format->streams[s.videoStream]->time_base);
    else
        start = firstFrame / s.info.frameRate.ToDouble();
    auto audio = std::make_unique<MediaAudio>();
    if (!audio->Open(s.path, start, s.info.audio, error)) return {};
    return audio;
}

// ---- Images ----

long RowBytesForWidth(int width) {
    long tight = long(width) * 4;
    long aligned = (tight + 15) / 16 * 16;
    return aligned <= 0x3FFF ? aligned : tight;
}

void ArgbImage::Allocate(int w, int h) {
    width = w;
    height = h;
    rowBytes = RowBytesForWidth(w);
    // FFmpeg's scaler reads and writes whole vector blocks past the end of short rows, so the
    // last row is followed by slack it may touch.
    pixels.resize(size_t(rowBytes) * size_t(h) + kScalerSlack);
}

} // namespace hosts::video
