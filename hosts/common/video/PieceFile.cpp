#include "video/PieceFile.h"

#include "video/Encoding.h"
#include "video/VideoWriter.h"

extern "C" {
#include <libavcodec/bsf.h>
}

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace hosts::video {

namespace {

struct BsfFreer {
    void operator()(AVBSFContext* b) const { av_bsf_free(&b); }
};
using BsfPtr = std::unique_ptr<AVBSFContext, BsfFreer>;

// Opens a piece and finds its video stream.
InputPtr OpenPiece(const std::string& path, int& stream, std::string& error) {
    AVFormatContext* raw = nullptr;
    int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (r < 0) {
        error = "cannot open " + path + ": " + AvErrorText(r);
        return {};
    }
    InputPtr format(raw);
    stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        error = path + " holds no video";
        return {};
    }
    return format;
}

// H.264 and HEVC streams keep their headers apart in the pieces' container; containers
// without such headers need them in the stream itself.
const char* HeaderFilterFor(const AVCodecParameters& par, const AVOutputFormat& output) {
    bool separate = par.extradata_size > 0 && par.extradata[0] == 1;
    if (!separate || (output.flags & AVFMT_GLOBALHEADER)) return nullptr;
    if (par.codec_id == AV_CODEC_ID_H264) return "h264_mp4toannexb";
    if (par.codec_id == AV_CODEC_ID_HEVC) return "hevc_mp4toannexb";
    return nullptr;
}

} // namespace

int64_t FrameOfTime(double seconds, Rational frameRate) {
    double frame = seconds * frameRate.ToDouble();
    // A time no clip reaches counts as a frame before any clip.
    return std::abs(frame) < 1e15 ? std::llround(frame) : INT64_MIN;
}

bool ReadPieceFile(const std::string& path, PieceFileInfo& info, std::string& error) {
    int stream = -1;
    InputPtr format = OpenPiece(path, stream, error);
    if (!format) return false;
    if (const AVDictionaryEntry* tag = av_dict_get(format->metadata, kPieceTag, nullptr, 0))
        info.record = tag->value;
    const AVCodecParameters* par = format->streams[stream]->codecpar;
    info.codec = avcodec_get_name(par->codec_id);
    info.extradata.assign(par->extradata, par->extradata + par->extradata_size);
    info.width = par->width;
    info.height = par->height;
    const AVRational tb = format->streams[stream]->time_base;
    PacketPtr packet(av_packet_alloc());
    int r;
    while ((r = av_read_frame(format.get(), packet.get())) >= 0) {
        if (packet->stream_index == stream) {
            if (packet->pts == AV_NOPTS_VALUE) {
                error = path + " holds a frame without a time";
                return false;
            }
            if (info.times.empty()) info.startsWithKey = packet->flags & AV_PKT_FLAG_KEY;
            info.times.push_back(double(packet->pts) * av_q2d(tb));
        }
        av_packet_unref(packet.get());
    }
    if (r != AVERROR_EOF) {
        error = "cannot read " + path + ": " + AvErrorText(r);
        return false;
    }
    return true;
}

struct JoinWriter::State {
    std::string finalPath, partialPath;
    AVFormatContext* out = nullptr;
    AVStream* video = nullptr;
    AudioTrack audio;
    BsfPtr headers;
    Rational rate;
    AVRational frameUnit{1, 1};
    int audioFrames = 0; // frames whose audio is written
    int videoFrames = 0; // frames copied
    PacketPtr packet{av_packet_alloc()};
    bool finished = false;

    ~State() {
        if (out) {
            if (out->pb) avio_closep(&out->pb);
            avformat_free_context(out);
        }
        if (!finished && !partialPath.empty()) std::remove(partialPath.c_str());
    }

    bool WriteAudio(int upTo, const FrameAudioFn& audioOfFrame, std::string& error) {
        std::vector<float> samples;
        for (; audio.IsOpen() && audioFrames < upTo; ++audioFrames) {
            samples.clear();
            if (!audioOfFrame(audioFrames, samples, error) || !audio.Write(samples, error)) return false;
        }
        return true;
    }

    // Writes a video packet, through the header filter when there is one (null: flush it).
    bool WriteVideo(AVPacket* p, std::string& error) {
        if (!headers) return WritePacket(out, video, p, frameUnit, error);
        if (av_bsf_send_packet(headers.get(), p) < 0) {
            error = "cannot convert the video's headers";
            return false;
        }
        for (;;) {
            int r = av_bsf_receive_packet(headers.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0 || !WritePacket(out, video, packet.get(), frameUnit, error)) {
                if (r < 0) error = "cannot convert the video's headers";
                return false;
            }
        }
    }

    bool AddStreams(const AVStream& in, const EncoderSettings& settings, const AudioInfo& clipAudio,
                    std::string& error) {
        video = avformat_new_stream(out, nullptr);
        if (!video) return false;
        const AVCodecParameters* par = in.codecpar;
        if (const char* name = HeaderFilterFor(*par, *out->oformat)) {
            AVBSFContext* bsf = nullptr;
            if (av_bsf_alloc(av_bsf_get_by_name(name), &bsf) < 0) return false;
            headers.reset(bsf);
            avcodec_parameters_copy(bsf->par_in, par);
            bsf->time_base_in = frameUnit;
            if (av_bsf_init(bsf) < 0) return false;
            par = bsf->par_out;
        }
        avcodec_parameters_copy(video->codecpar, par);
        video->codecpar->codec_tag = 0;
        video->time_base = frameUnit;
        video->avg_frame_rate = av_inv_q(frameUnit);
        return !clipAudio.present || audio.Open(out, settings.audio, settings.audioRate, clipAudio, error);
    }
};

JoinWriter::JoinWriter() : state_(std::make_unique<State>()) {}
JoinWriter::~JoinWriter() = default;

bool JoinWriter::Open(const std::string& path, const EncoderSettings& settings, const std::string& firstPiece,
                      Rational frameRate, const AudioInfo& audio, std::string& error) {
    State& s = *state_;
    s.finalPath = path;
    s.partialPath = PartialNameFor(path);
    s.rate = frameRate;
    s.frameUnit = {frameRate.den, frameRate.num};
    int stream = -1;
    InputPtr first = OpenPiece(firstPiece, stream, error);
    if (!first) return false;
    if (avformat_alloc_output_context2(&s.out, nullptr, settings.muxer.c_str(), path.c_str()) < 0 || !s.out) {
        error = "no " + settings.muxer + " container for " + path;
        return false;
    }
    LibraryMessages messages;
    if (!s.AddStreams(*first->streams[stream], settings, audio, error)) {
        if (error.empty()) error = "cannot set up the streams of " + path;
        return false;
    }
    int r = avio_open(&s.out->pb, s.partialPath.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) {
        error = "cannot write " + path + ": " + AvErrorText(r);
        return false;
    }
    r = avformat_write_header(s.out, nullptr);
    if (r < 0) {
        std::string said = messages.First();
        error = "cannot write " + std::string(avcodec_get_name(first->streams[stream]->codecpar->codec_id)) +
                " into " + path + ": " + (said.empty() ? AvErrorText(r) : said);
        return false;
    }
    return true;
}

bool JoinWriter::AddPiece(const std::string& path, int first, int reorder, const FrameAudioFn& audioOfFrame,
                          std::string& error) {
    State& s = *state_;
    int stream = -1;
    InputPtr in = OpenPiece(path, stream, error);
    if (!in) return false;
    const AVRational tb = in->streams[stream]->time_base;
    int r;
    for (int decoded = 0; (r = av_read_frame(in.get(), s.packet.get())) >= 0;
         av_packet_unref(s.packet.get())) {
        if (s.packet->stream_index != stream) continue;
        // Timestamps in frames of the whole clip: shown at its place in the piece, decoded in
        // file order `reorder` frames ahead.
        AVPacket* p = s.packet.get();
        p->pts = first + FrameOfTime(double(p->pts) * av_q2d(tb), s.rate);
        p->dts = first + decoded++ - reorder;
        p->duration = 1;
        p->pos = -1;
        if (!s.WriteVideo(p, error)) return false;
        ++s.videoFrames;
        if (!s.WriteAudio(s.videoFrames, audioOfFrame, error)) return false;
    }
    if (r != AVERROR_EOF) {
        error = "cannot read " + path + ": " + AvErrorText(r);
        return false;
    }
    return true;
}

bool JoinWriter::Finish(int frames, const FrameAudioFn& audioOfFrame, std::string& error) {
    State& s = *state_;
    if (!s.WriteAudio(frames, audioOfFrame, error)) return false;
    if (s.headers && !s.WriteVideo(nullptr, error)) return false;
    if (s.audio.IsOpen() && !s.audio.Finish(error)) return false;
    int r = av_write_trailer(s.out);
    if (r >= 0) r = avio_closep(&s.out->pb);
    if (r < 0) {
        error = "cannot finish " + s.finalPath + ": " + AvErrorText(r);
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(s.partialPath, s.finalPath, ec);
    if (ec) {
        error = "cannot move the output into place as " + s.finalPath + ": " + ec.message();
        return false;
    }
    s.finished = true;
    return true;
}

} // namespace hosts::video
