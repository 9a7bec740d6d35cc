// Reading real files: frame-accurate random access over an H.264 file with B-frames and
// keyframes every 8 frames, the decode-ahead thread, and the frame callbacks over them.
#include "video/MediaInput.h"
#include "MediaFiles.h"
#include "video/DecodeAhead.h"
#include "video/GeneratedClip.h"
#include "video/VideoHost.h"

#include "common/HostProcs.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace hosts::video;

namespace {

// 40 frames whose grey level rises with the frame number (H.264 at qp 1: at qp 0, lossless,
// x264 makes no B-frames).
std::string MakeNumberedClip(const mediafiles::TempDir& dir) {
    std::string path = dir / "numbered.mp4";
    EXPECT_TRUE(
        mediafiles::Ffmpeg("-f lavfi -i color=gray:s=64x48:r=25:d=1.6 -vf \"geq=lum='4*N+40':cb=128:cr=128\" "
                           "-c:v libx264 -g 8 -bf 2 -qp 1 -pix_fmt yuv420p '" +
                           path + "'"));
    return path;
}

// The visible pixels, without the padding at the rows' ends.
std::vector<std::uint8_t> Visible(const ArgbImage& img) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < img.height; ++y)
        out.insert(out.end(), img.Row(y), img.Row(y) + 4 * img.width);
    return out;
}

int GreyOf(const ArgbImage& img) {
    return img.Row(img.height / 2)[4 * (img.width / 2) + 1];
}

TEST(MediaInput, RandomAccessGivesTheSameFramesAsReadingInOrder) {
    mediafiles::TempDir dir;
    std::string path = MakeNumberedClip(dir);
    std::string error;
    auto inOrder = MediaInput::Open(path, error);
    ASSERT_TRUE(inOrder) << error;
    ASSERT_EQ(inOrder->Info().frameCount, 40);
    std::vector<ArgbImage> reference(40);
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(inOrder->ReadFrame(i, 64, 48, ScaleQuality::kHigh, reference[size_t(i)], error)) << error;
        if (i > 0) {
            EXPECT_GT(GreyOf(reference[size_t(i)]), GreyOf(reference[size_t(i - 1)])) << i;
        }
    }
    // Reading in order positions the decoder once, at the start: the frames it still holds
    // after the last packet come without seeking back.
    EXPECT_EQ(inOrder->Seeks(), 1);
    // Read out of order through the decode-ahead thread, at two sizes that it keeps apart.
    auto random = MediaInput::Open(path, error);
    ASSERT_TRUE(random) << error;
    auto ahead = std::make_unique<DecodeAhead>(*random, 3);
    for (int i : {39, 0, 20, 21, 5, 38, 13, 13, 1, 31, 30, 8, 7, 39}) {
        std::shared_ptr<const ArgbImage> full, half;
        ASSERT_TRUE(ahead->Get(i, 64, 48, ScaleQuality::kHigh, full, error)) << error;
        ASSERT_TRUE(ahead->Get(i, 32, 24, ScaleQuality::kHigh, half, error)) << error;
        EXPECT_EQ(Visible(*full), Visible(reference[size_t(i)])) << "frame " << i;
        EXPECT_EQ(half->width * half->height, 32 * 24) << "frame " << i;
        EXPECT_NEAR(GreyOf(*half), GreyOf(*full), 2) << "frame " << i;
    }
    ahead.reset();
    ArgbImage img;
    EXPECT_FALSE(random->ReadFrame(40, 64, 48, ScaleQuality::kHigh, img, error));
    EXPECT_FALSE(random->ReadFrame(-1, 64, 48, ScaleQuality::kHigh, img, error));
}

// Colours come out as FFmpeg's own conversion makes them (within its rounding), from 4:2:0
// (converted through BGRA in bands of rows, the last one shorter) and 4:4:4 (directly).
TEST(MediaInput, ConvertsColoursAsFFmpegDoes) {
    mediafiles::TempDir dir;
    for (const char* format : {"yuv420p", "yuv444p"}) {
        std::string path = dir / (std::string(format) + ".mkv");
        ASSERT_TRUE(mediafiles::Ffmpeg("-f lavfi -i testsrc2=s=64x50 -frames:v 1 -c:v ffv1 -pix_fmt " +
                                       std::string(format) + " '" + path + "'"));
        std::vector<std::uint8_t> want = mediafiles::DecodeArgb(path);
        std::string error;
        auto input = MediaInput::Open(path, error);
        ASSERT_TRUE(input) << error;
        ArgbImage img;
        ASSERT_TRUE(input->ReadFrame(0, 64, 50, ScaleQuality::kHigh, img, error)) << error;
        const std::vector<std::uint8_t> got = Visible(img);
        auto near = [](int g, int w) { return std::abs(g - w) <= 2; };
        EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin(), want.end(), near)) << format;
    }
}

TEST(VideoHost, FrameCallbacksCheckTheirArgumentsAndRecordMixedAudio) {
    GeneratedClip clip(10);
    DecodeAhead ahead(clip, 2);
    VideoHost host(ahead, clip.Info());
    HYProcs procs = hosts::MakeDefaultProcs();
    host.InstallCallbacks(procs);
    void* inst = host.Instance();
    GWorldPtr frame = nullptr;
    SInt16 volume = 0;
    void* cookie = nullptr;
    auto get = [&](SInt32 index, SInt16 width) {
        return procs.GetFrame(inst, index, &frame, width, 48, kDVLowQuality, &volume, &cookie);
    };
    EXPECT_EQ(get(10, 72), kPluginCantGetNeededFrame);
    EXPECT_EQ(get(-1, 72), kPluginCantGetNeededFrame);
    EXPECT_EQ(get(0, 0), kPluginBadParams);
    ASSERT_EQ(get(4, 72), kPluginOK);
    Rect bounds;
    GetPortBounds(frame, &bounds);
    EXPECT_EQ(bounds.right, 72);
    EXPECT_EQ(bounds.bottom, 48);
    EXPECT_EQ(host.FramesHeld(), 1u);

    int stranger = 0;
    EXPECT_EQ(procs.MixAudio(inst, &stranger, 256), kPluginBadParams);
    EXPECT_EQ(procs.MixAudio(inst, cookie, 256), kPluginOK);
    EXPECT_EQ(host.TakeMixLevel(4), 256);
    EXPECT_EQ(host.TakeMixLevel(4), -1);

    EXPECT_EQ(procs.ReleaseFrame(inst, &stranger), kPluginBadParams);
    EXPECT_EQ(procs.ReleaseFrame(inst, nullptr), kPluginOK);
    EXPECT_EQ(procs.ReleaseFrame(inst, cookie), kPluginOK);
    EXPECT_EQ(procs.ReleaseFrame(inst, cookie), kPluginBadParams); // released twice
    EXPECT_EQ(host.FramesHeld(), 0u);

    HYPluginFilterInfo* info = nullptr;
    host.filterInfo.fadeInFrames = 7;
    ASSERT_EQ(procs.GetFilterInfo(inst, &info), kPluginOK);
    EXPECT_EQ(info->fadeInFrames, 7);
    HYPluginFilterInfo other{};
    EXPECT_EQ(procs.ReleaseFilterInfo(inst, &other), kPluginBadParams);
    EXPECT_EQ(procs.ReleaseFilterInfo(inst, info), kPluginOK);
}

} // namespace
