#include "video/OutputFormat.h"

#include "video/FFmpegUtil.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace hosts::video {

namespace {

struct ContainerRec {
    const char* extension;
    const char* muxer;
    const char* defaultVideo;
    const char* audio;
    int audioRate; // 0: the clip's own
};

// The containers written, with the video encoder an output gets when none is asked for
// (today's H.264 and FFV1; for the others the container's usual one) and the audio encoder
// that suits them. MXF holds PCM audio at 48 kHz only.
const ContainerRec kContainers[] = {
    {".mp4", "mp4", "libx264", "aac", 0},      {".mov", "mov", "libx264", "aac", 0},
    {".mkv", "matroska", "libx264", "aac", 0}, {".webm", "webm", "libvpx-vp9", "libopus", 0},
    {".avi", "avi", "mpeg4", "libmp3lame", 0}, {".mxf", "mxf", "mpeg2video", "pcm_s16le", 48000},
    {".nut", "nut", "ffv1", "aac", 0},
};

struct KnownEncoderRec {
    const char* name;
    const char* containers; // the extensions it goes into, each followed by a space
};

// Encoders and the containers they are known to go into, written and read back (a test
// checks every pair). An encoder not listed here is tried as it is.
const KnownEncoderRec kKnownEncoders[] = {
    {"libx264", ".mp4 .mov .mkv .avi .mxf .nut "}, {"libx265", ".mp4 .mov .mkv .nut "},
    {"libvpx-vp9", ".mp4 .mkv .webm .nut "},       {"ffv1", ".mkv .mov .avi .nut "},
    {"prores_ks", ".mov .mkv .avi .nut "},         {"dnxhd", ".mov .mkv .avi .mxf .nut "},
    {"mpeg4", ".mp4 .mov .mkv .avi .nut "},        {"mpeg2video", ".mp4 .mov .mkv .avi .mxf .nut "},
};

// Where an encoder's constant quality stops meaning anything (the option allows more).
const struct {
    const char* name;
    double maxCrf;
    double defaultCrf;
} kCrfScales[] = {{"libx264", 51, 18}, {"libx265", 51, 28}, {"libvpx-vp9", 63, 31}, {"libaom-av1", 63, 32}};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

const ContainerRec* ContainerOf(const std::string& extension) {
    for (const auto& c : kContainers)
        if (extension == c.extension) return &c;
    return nullptr;
}

const KnownEncoderRec* KnownEncoder(const std::string& name) {
    for (const auto& e : kKnownEncoders)
        if (name == e.name) return &e;
    return nullptr;
}

// The encoder's own option `name`, or null.
const AVOption* EncoderOption(const AVCodec* codec, const char* name) {
    if (!codec->priv_class) return nullptr;
    return av_opt_find2(const_cast<AVClass**>(&codec->priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ,
                        nullptr);
}

bool IsLosslessOnly(const AVCodec* codec) {
    const AVCodecDescriptor* d = avcodec_descriptor_get(codec->id);
    return d && (d->props & AV_CODEC_PROP_LOSSLESS) && !(d->props & AV_CODEC_PROP_LOSSY);
}

std::vector<std::string> PixelFormatsOf(const AVCodec* codec) {
    std::vector<std::string> names;
    for (const AVPixelFormat* p = codec->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
        names.push_back(av_get_pix_fmt_name(*p));
    return names;
}

// The pixel format: the one asked for, when the encoder takes it; FFV1 keeps the alpha
// channel in bgra; otherwise 4:2:0 when the encoder takes it (what players expect), else
// the encoder's first.
bool ChoosePixelFormat(const AVCodec* codec, const std::string& asked, EncoderSettings& settings,
                       std::string& error) {
    std::vector<std::string> formats = PixelFormatsOf(codec);
    auto takes = [&](const std::string& f) {
        return formats.empty() || std::find(formats.begin(), formats.end(), f) != formats.end();
    };
    if (!asked.empty()) {
        if (av_get_pix_fmt(asked.c_str()) == AV_PIX_FMT_NONE || !takes(asked)) {
            error = "--pix-fmt " + asked + ": " + settings.video + " takes " + JoinNames(formats);
            return false;
        }
        settings.pixFmt = asked;
    } else if (settings.video == "ffv1") {
        settings.pixFmt = "bgra";
    } else if (takes("yuv420p") && settings.video != "dnxhd") {
        settings.pixFmt = "yuv420p";
    } else if (!formats.empty()) {
        settings.pixFmt = formats.front();
    } else {
        settings.pixFmt = "yuv420p";
    }
    return true;
}

// Constant quality, bitrate or a fixed quantizer, as the encoder has them.
bool ChooseQuality(const AVCodec* codec, const EncoderRequest& request, EncoderSettings& settings,
                   std::string& error) {
    const std::string& name = settings.video;
    if (IsLosslessOnly(codec) && (request.crf || request.bitrate)) {
        error = name + " is lossless and has no " + (request.crf ? "--crf" : "--bitrate");
        return false;
    }
    const AVOption* crf = EncoderOption(codec, "crf");
    double maxCrf = crf ? crf->max : 0, defaultCrf = -1;
    for (const auto& scale : kCrfScales)
        if (name == scale.name) maxCrf = scale.maxCrf, defaultCrf = scale.defaultCrf;
    if (request.crf) {
        if (!crf) {
            error = name + " has no constant quality (--crf); give it a --bitrate";
            return false;
        }
        if (*request.crf < 0 || *request.crf > maxCrf) {
            error = "--crf for " + name + " is 0.." + std::to_string(int(maxCrf));
            return false;
        }
    }
    settings.bitrate = request.bitrate;
    if (request.crf)
        settings.crf = request.crf;
    else if (crf && !request.bitrate && defaultCrf >= 0)
        settings.crf = defaultCrf;
    bool quantizer = codec->id == AV_CODEC_ID_MPEG4 || codec->id == AV_CODEC_ID_MPEG2VIDEO ||
                     codec->id == AV_CODEC_ID_MPEG1VIDEO || codec->id == AV_CODEC_ID_MJPEG;
    if (quantizer && !request.bitrate) settings.qscale = 3;
    // DNxHD's own profile takes a few sizes and bitrates only; DNxHR HQ takes any size.
    if (name == "dnxhd") settings.profile = "dnxhr_hq";
    return true;
}

std::string NumberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

std::string EncoderSettings::Describe() const {
    std::string text = video + " " + pixFmt;
    if (crf) text += " crf " + NumberText(*crf);
    if (bitrate) text += " bitrate " + std::to_string(*bitrate);
    if (qscale) text += " qscale " + std::to_string(*qscale);
    if (!profile.empty()) text += " profile " + profile;
    return text;
}

std::optional<EncoderSettings> ChooseEncoder(const std::string& path, const EncoderRequest& request,
                                             std::string& error) {
    std::string extension = Lower(std::filesystem::path(path).extension().string());
    const ContainerRec* container = ContainerOf(extension);
    if (!container) {
        error = "unknown kind of output '" + path + "' (use " + JoinNames(ContainerExtensions()) +
                " or a pattern such as out_%04d.png)";
        return std::nullopt;
    }
    if (request.lossless && !request.codec.empty() && request.codec != "ffv1") {
        error = "--lossless writes FFV1; it does not go with --codec " + request.codec;
        return std::nullopt;
    }
    EncoderSettings settings;
    settings.extension = extension;
    settings.muxer = container->muxer;
    settings.audio = container->audio;
    settings.audioRate = container->audioRate;
    settings.video = request.lossless        ? "ffv1"
                     : request.codec.empty() ? container->defaultVideo
                                             : request.codec;
    const AVCodec* codec = avcodec_find_encoder_by_name(settings.video.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) {
        error = "no video encoder '" + settings.video +
                "' in the FFmpeg libraries (`ffmpeg -encoders` lists them)";
        return std::nullopt;
    }
    std::vector<std::string> goesInto = ContainersFor(settings.video);
    if (!goesInto.empty() && std::find(goesInto.begin(), goesInto.end(), extension) == goesInto.end()) {
        error = settings.video + " does not go into " + extension + " files; " + extension + " files take " +
                JoinNames(EncodersFor(extension)) + "; " + settings.video + " goes into " +
                JoinNames(goesInto);
        return std::nullopt;
    }
    if (!ChoosePixelFormat(codec, request.pixFmt, settings, error) ||
        !ChooseQuality(codec, request, settings, error))
        return std::nullopt;
    return settings;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::vector<std::string> ContainerExtensions() {
    std::vector<std::string> extensions;
    for (const auto& c : kContainers)
        extensions.push_back(c.extension);
    return extensions;
}

std::vector<std::string> EncodersFor(const std::string& extension) {
    std::vector<std::string> names;
    for (const auto& e : kKnownEncoders)
        if (std::strstr(e.containers, (extension + " ").c_str()) && avcodec_find_encoder_by_name(e.name))
            names.push_back(e.name);
    return names;
}

std::vector<std::string> ContainersFor(const std::string& encoder) {
    std::vector<std::string> extensions;
    if (const KnownEncoderRec* known = KnownEncoder(encoder))
        for (const auto& c : kContainers)
            if (std::strstr(known->containers, (std::string(c.extension) + " ").c_str()))
                extensions.push_back(c.extension);
    return extensions;
}

std::optional<int64_t> ParseBitrate(const std::string& text) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0) return std::nullopt;
    int64_t value = std::stoll(text.substr(0, digits));
    std::string unit = digits == std::string::npos ? "" : text.substr(digits);
    if (unit == "k" || unit == "K")
        value *= 1000;
    else if (unit == "M" || unit == "m")
        value *= 1000000;
    else if (!unit.empty())
        return std::nullopt;
    if (value < 1000 || value > 10000000000LL) return std::nullopt;
    return value;
}

} // namespace hosts::video
