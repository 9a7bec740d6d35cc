#include "video/Encoding.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <mutex>

namespace hosts::video {

namespace {

std::mutex lgMessagesLock;
std::string lgLastMessage;

// Keeps the first error message, which names the cause; later ones tend to report its
// consequences.
void KeepMessage(void* object, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    char line[1024];
    int prefix = 0;
    av_log_format_line2(object, level, format, args, line, sizeof line, &prefix);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const AVClass* owner = object ? *static_cast<const AVClass* const*>(object) : nullptr;
    if (owner && owner->item_name) text = std::string(owner->item_name(object)) + ": " + text;
    std::lock_guard<std::mutex> guard(lgMessagesLock);
    if (lgLastMessage.empty()) lgLastMessage = text;
}

// Why a frame size does not suit a pixel format with subsampled colour, or nothing.
std::string SizeProblem(const EncoderSettings& s, int width, int height) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(av_get_pix_fmt(s.pixFmt.c_str()));
    if (!d) return "unknown pixel format " + s.pixFmt;
    int stepW = 1 << d->log2_chroma_w, stepH = 1 << d->log2_chroma_h;
    if (width % stepW == 0 && height % stepH == 0) return {};
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (stepW == 2 && stepH <= 2)
        return s.video + " in " + s.pixFmt + " needs an even width" + (stepH == 2 ? " and height" : "") +
               ", not " + size + " (use --size, or --lossless)";
    return s.video + " in " + s.pixFmt + " needs a width divisible by " + std::to_string(stepW) +
           " and a height divisible by " + std::to_string(stepH) + ", not " + size + " (use --size)";
}

} // namespace

LibraryMessages::LibraryMessages() {
    {
        std::lock_guard<std::mutex> guard(lgMessagesLock);
        lgLastMessage.clear();
    }
    av_log_set_callback(KeepMessage);
}

LibraryMessages::~LibraryMessages() {
    av_log_set_callback(av_log_default_callback);
}

std::string LibraryMessages::First() const {
    std::lock_guard<std::mutex> guard(lgMessagesLock);
    return lgLastMessage;
}

CodecPtr OpenVideoEncoder(const EncoderSettings& s, int width, int height, Rational frameRate,
                          bool globalHeader, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(s.video.c_str());
    if (!codec) {
        error = "no video encoder " + s.video + " in the FFmpeg libraries";
        return {};
    }
    error = SizeProblem(s, width, height);
    if (!error.empty()) return {};
    CodecPtr c(avcodec_alloc_context3(codec));
    c->width = width;
    c->height = height;
    c->pix_fmt = av_get_pix_fmt(s.pixFmt.c_str());
    c->framerate = {frameRate.num, frameRate.den};
    c->time_base = av_inv_q(c->framerate);
    c->thread_count = 0;
    // Constant quality replaces the default bitrate; a fixed quantizer overrides it.
    if (s.bitrate)
        c->bit_rate = *s.bitrate;
    else if (s.crf)
        c->bit_rate = 0;
    if (s.crf) av_opt_set_double(c->priv_data, "crf", *s.crf, 0);
    if (s.qscale) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * *s.qscale;
    }
    if (!s.profile.empty()) av_opt_set(c->priv_data, "profile", s.profile.c_str(), 0);
    if (s.video == "libx265") av_opt_set(c->priv_data, "x265-params", "log-level=error", 0);
    if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c.get(), codec, nullptr);
    if (r < 0) {
        error = "cannot open the video encoder " + s.Describe() + ": " + AvErrorText(r);
        return {};
    }
    return c;
}

bool WritePacket(AVFormatContext* format, AVStream* stream, AVPacket* packet, AVRational from,
                 std::string& error) {
    av_packet_rescale_ts(packet, from, stream->time_base);
    packet->stream_index = stream->index;
    int r = av_interleaved_write_frame(format, packet);
    if (r < 0) {
        error = "cannot write " + std::string(format->url) + ": " + AvErrorText(r);
        return false;
    }
    return true;
}

// Packets get their duration before their timestamps are rescaled: the H.264 encoder
// leaves it 0, and an MP4 edit list would then cut the last frame.
bool EncodeInto(AVFormatContext* format, AVCodecContext* codec, AVStream* stream, const AVFrame* frame,
                AVPacket* packet, std::string& error) {
    int r = avcodec_send_frame(codec, frame);
    if (r < 0 && !(frame == nullptr && r == AVERROR_EOF)) {
        error = "cannot encode: " + AvErrorText(r);
        return false;
    }
    for (;;) {
        r = avcodec_receive_packet(codec, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) {
            error = "cannot encode: " + AvErrorText(r);
            return false;
        }
        if (packet->duration <= 0)
            packet->duration = codec->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : codec->frame_size;
        if (!WritePacket(format, stream, packet, codec->time_base, error)) return false;
    }
}

// ---- Audio ----

namespace {

int ChooseRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates) return wanted;
    for (const int* r = codec->supported_samplerates; *r; ++r)
        if (*r == wanted) return wanted;
    for (const int* r = codec->supported_samplerates; *r; ++r)
        if (*r == 48000) return 48000;
    return codec->supported_samplerates[0];
}

AVSampleFormat ChooseSampleFormat(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP) return *f;
    return codec->sample_fmts[0];
}

// The clip's channel layout when the encoder takes it, else stereo.
AVChannelLayout ChooseLayout(const AVCodec* codec, int channels) {
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    if (!codec->ch_layouts) return layout;
    for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels; ++l)
        if (av_channel_layout_compare(l, &layout) == 0) return layout;
    av_channel_layout_default(&layout, 2);
    return layout;
}

constexpr int kChunk = 1024; // samples per frame for encoders that take any number

} // namespace

bool AudioTrack::Open(AVFormatContext* format, const std::string& name, int rate, const AudioInfo& clip,
                      std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec) {
        error = "no audio encoder " + name + " in the FFmpeg libraries";
        return false;
    }
    format_ = format;
    clipChannels_ = clip.channels;
    codec_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = codec_.get();
    c->ch_layout = ChooseLayout(codec, clip.channels);
    c->sample_rate = ChooseRate(codec, rate ? rate : clip.sampleRate);
    c->sample_fmt = ChooseSampleFormat(codec);
    const AVCodecDescriptor* d = avcodec_descriptor_get(codec->id);
    if (d && (d->props & AV_CODEC_PROP_LOSSY))
        c->bit_rate = std::min(96000 * c->ch_layout.nb_channels, 320000);
    c->time_base = {1, c->sample_rate};
    if (format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) {
        error = "cannot open the audio encoder " + name + ": " + AvErrorText(r);
        return false;
    }
    stream_ = avformat_new_stream(format, nullptr);
    if (!stream_ || avcodec_parameters_from_context(stream_->codecpar, c) < 0) {
        error = "cannot add the audio stream";
        return false;
    }
    stream_->time_base = c->time_base;
    return MakeConverter(clip, error);
}

// The converter from the clip's interleaved float samples, and the frame it fills.
bool AudioTrack::MakeConverter(const AudioInfo& clip, std::string& error) {
    AVCodecContext* c = codec_.get();
    AVChannelLayout in;
    av_channel_layout_default(&in, clip.channels);
    SwrContext* swr = nullptr;
    if (swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &in, AV_SAMPLE_FMT_FLT,
                            clip.sampleRate, 0, nullptr) < 0 ||
        swr_init(swr) < 0) {
        swr_free(&swr);
        error = "cannot convert the audio for " + std::string(c->codec->name);
        return false;
    }
    resampler_.reset(swr);
    pending_.reset(av_frame_alloc());
    pending_->format = c->sample_fmt;
    pending_->sample_rate = c->sample_rate;
    pending_->nb_samples = c->frame_size > 0 ? c->frame_size : kChunk;
    av_channel_layout_copy(&pending_->ch_layout, &c->ch_layout);
    if (av_frame_get_buffer(pending_.get(), 0) < 0) {
        error = "no memory for audio";
        return false;
    }
    return true;
}

// Converts count samples per channel into pending_ (samples null: what the converter still
// holds, at the end), sending each frame that fills.
bool AudioTrack::Convert(const float* samples, int count, std::string& error) {
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
    const auto format = AVSampleFormat(pending_->format);
    const int channels = pending_->ch_layout.nb_channels;
    const size_t bytes = size_t(av_get_bytes_per_sample(format));
    const bool planar = av_sample_fmt_is_planar(format);
    for (;;) {
        if (av_frame_make_writable(pending_.get()) < 0) {
            error = "no memory for audio";
            return false;
        }
        uint8_t* out[AV_NUM_DATA_POINTERS] = {};
        for (int p = 0; p < (planar ? channels : 1); ++p)
            out[p] =
                pending_->extended_data[p] + size_t(pendingCount_) * bytes * (planar ? 1 : size_t(channels));
        int room = pending_->nb_samples - pendingCount_;
        // Input that does not fit stays in the converter for the next round.
        int got = swr_convert(resampler_.get(), out, room, samples ? in : nullptr, count);
        if (got < 0) {
            error = "cannot convert the audio";
            return false;
        }
        count = 0;
        pendingCount_ += got;
        if (pendingCount_ == pending_->nb_samples && !Send(false, error)) return false;
        if (got < room) return true;
    }
}

// Encodes the pending samples; the last frame is padded with silence for encoders that
// take whole frames only.
bool AudioTrack::Send(bool last, std::string& error) {
    if (pendingCount_ == 0) return true;
    int full = pending_->nb_samples;
    bool padded =
        last && codec_->frame_size > 0 && !(codec_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    if (padded)
        av_samples_set_silence(pending_->extended_data, pendingCount_, full - pendingCount_,
                               pending_->ch_layout.nb_channels, AVSampleFormat(pending_->format));
    pending_->nb_samples = padded ? full : pendingCount_;
    pending_->pts = nextPts_;
    nextPts_ += pending_->nb_samples;
    bool ok = EncodeInto(format_, codec_.get(), stream_, pending_.get(), packet_.get(), error);
    pending_->nb_samples = full;
    pendingCount_ = 0;
    return ok;
}

bool AudioTrack::Write(const std::vector<float>& samples, std::string& error) {
    return samples.empty() || Convert(samples.data(), int(samples.size() / size_t(clipChannels_)), error);
}

bool AudioTrack::Finish(std::string& error) {
    return Convert(nullptr, 0, error) && Send(true, error) &&
           EncodeInto(format_, codec_.get(), stream_, nullptr, packet_.get(), error);
}

} // namespace hosts::video
