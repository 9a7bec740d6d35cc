// The encoders and containers the writer offers: every pair of the known table written and
// read back (its streams by ffprobe, its frames by the ffmpeg command), and the
// choices and refusals made from the options alone.
#include "video/OutputFormat.h"
#include "MediaFiles.h"
#include "video/VideoWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <cmath>

using namespace hosts::video;

namespace {

constexpr int kW = 256, kH = 144, kFrames = 8; // DNxHR takes nothing smaller than 256x120
constexpr int kMark = 32;                      // the corner that tells the frames apart

int MarkOf(int frame) {
    return 20 + 19 * frame;
}

// Frame f: a grey gradient moving to the left, and a corner whose grey is the frame's own.
void DrawFrame(int f, ArgbImage& frame) {
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t grey = x < kMark && y < kMark ? uint8_t(MarkOf(f)) : uint8_t((x + 6 * f) % 256);
            uint8_t* p = frame.Row(y) + 4 * x;
            p[0] = 255, p[1] = p[2] = p[3] = grey;
        }
}

// The frames whose corner, read back, is not their own grey (give or take the encoding).
int FramesOutOfPlace(const std::vector<uint8_t>& argb) {
    int wrong = 0;
    for (size_t f = 0; f < argb.size() / (size_t(kW) * kH * 4); ++f) {
        long sum = 0;
        for (int y = 0; y < kMark; ++y)
            for (int x = 0; x < kMark; ++x)
                sum += argb[((f * kH + size_t(y)) * kW + size_t(x)) * 4 + 2];
        wrong += std::abs(int(sum / (kMark * kMark)) - MarkOf(int(f))) > 8;
    }
    return wrong;
}

TEST(OutputFormat, EveryKnownEncoderAndContainerPairWritesAFileThatReadsBack) {
    mediafiles::TempDir dir;
    const AudioInfo audio{true, 44100, 2};
    int pairs = 0;
    for (const std::string& ext : ContainerExtensions())
        for (const std::string& encoder : EncodersFor(ext)) {
            std::string path = dir / (encoder + ext), error;
            auto settings = ChooseEncoder(path, {encoder, {}, {}, {}, false}, error);
            ASSERT_TRUE(settings) << error;
            OutputSpec spec{path, OutputKind::kVideoFile, *settings, kW, kH, {25, 1}, audio, {}, {}};
            ASSERT_TRUE(VideoWriter::Check(spec, error)) << error;
            auto writer = VideoWriter::Open(spec, error);
            ASSERT_TRUE(writer) << error;
            ArgbImage frame;
            frame.Allocate(kW, kH);
            std::vector<float> tone(44100 / 25 * 2);
            for (size_t i = 0; i < tone.size(); ++i)
                tone[i] = float(0.3 * std::sin(double(i / 2) * 0.06));
            for (int f = 0; f < kFrames; ++f) {
                DrawFrame(f, frame);
                ASSERT_TRUE(writer->WriteFrame(frame, tone, error)) << path << ": " << error;
            }
            ASSERT_TRUE(writer->Finish(error)) << path << ": " << error;
            // The video codec and an audio stream (one the container takes, or writing would
            // have failed), and every decoded frame as it comes, none repeated to fill gaps.
            const std::string codecs =
                mediafiles::Run("ffprobe -v error -show_entries stream=codec_name -of default=nw=1:nk=1 '" +
                                path + "'")
                    .out;
            const std::string codec = avcodec_get_name(avcodec_find_encoder_by_name(encoder.c_str())->id);
            EXPECT_EQ(codecs.rfind(codec + "\n", 0), 0u) << path << "\n" << codecs;
            EXPECT_EQ(std::count(codecs.begin(), codecs.end(), '\n'), 2) << path << "\n" << codecs;
            auto decoded = mediafiles::Run("ffmpeg -nostdin -v error -i '" + path +
                                           "' -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt argb -")
                               .out;
            EXPECT_EQ(decoded.size(), size_t(kFrames) * kW * kH * 4) << path;
            EXPECT_EQ(FramesOutOfPlace({decoded.begin(), decoded.end()}), 0) << path;
            ++pairs;
        }
    EXPECT_EQ(pairs, 37);
}

TEST(OutputFormat, DefaultsFollowTheContainerAndRefusalsSayWhatWouldWork) {
    struct Case {
        std::string path;
        EncoderRequest request;
        std::string chosen; // Describe(), or the start of the error
    };
    const Case cases[] = {
        {"a.mp4", {}, "libx264 yuv420p crf 18"},
        {"a.MOV", {}, "libx264 yuv420p crf 18"},
        {"a.mkv", {}, "libx264 yuv420p crf 18"},
        {"a.webm", {}, "libvpx-vp9 yuv420p crf 31"},
        {"a.avi", {}, "mpeg4 yuv420p qscale 3"},
        {"a.mxf", {}, "mpeg2video yuv420p qscale 3"},
        {"a.nut", {}, "ffv1 bgra"},
        {"a.mkv", {"", "", {}, {}, true}, "ffv1 bgra"},
        {"a.mov", {"prores_ks", "", {}, {}, false}, "prores_ks yuv422p10le"},
        {"a.mxf", {"dnxhd", "", {}, {}, false}, "dnxhd yuv422p profile dnxhr_hq"},
        {"a.mkv", {"libx265", "yuv444p", 22.5, {}, false}, "libx265 yuv444p crf 22.5"},
        {"a.mp4", {"libx264", "", {}, 2500000, false}, "libx264 yuv420p bitrate 2500000"},
        {"a.mp4",
         {"prores_ks", "", {}, {}, false},
         "prores_ks does not go into .mp4 files; .mp4 files take libx264, libx265, libvpx-vp9"},
        {"a.mp4", {"mpeg4", "", 20.0, {}, false}, "mpeg4 has no constant quality (--crf)"},
        {"a.mp4", {"libx264", "", 52.0, {}, false}, "--crf for libx264 is 0..51"},
        {"a.mkv", {"ffv1", "", {}, 800000, false}, "ffv1 is lossless and has no --bitrate"},
        {"a.mp4", {"libx264", "rgb48", {}, {}, false}, "--pix-fmt rgb48: libx264 takes yuv420p"},
        {"a.mp4", {"nosuchcodec", "", {}, {}, false}, "no video encoder 'nosuchcodec'"},
        {"a.mp4", {"aac", "", {}, {}, false}, "no video encoder 'aac'"},
        {"a.flv", {}, "unknown kind of output 'a.flv' (use .mp4, .mov, .mkv, .webm, .avi, .mxf, .nut"},
        {"a.mkv", {"libx264", "", {}, {}, true}, "--lossless writes FFV1"},
    };
    for (const Case& c : cases) {
        std::string error;
        auto settings = ChooseEncoder(c.path, c.request, error);
        std::string got = settings ? settings->Describe() : error;
        EXPECT_EQ(got.substr(0, c.chosen.size()), c.chosen) << c.path << " " << c.request.codec;
    }
}

} // namespace
