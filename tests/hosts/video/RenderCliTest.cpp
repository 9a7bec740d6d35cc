// `umbrawash render` and `umbrawash placeholder` run as a user runs them, on small real
// files made with the ffmpeg command; outputs are decoded with ffmpeg and compared with
// what the effect makes of the inputs.
#include "EffectOracle.h"
#include "MediaFiles.h"
#include "ResourceFileBytes.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using mediafiles::TempDir;
using testpaths::RunUmbrawash;

namespace {

constexpr int kW = 64, kH = 48;
constexpr size_t kFrameBytes = size_t(kW) * kH * 4;

// Frames of moving test pattern in bgra FFV1, with an alpha that varies across the frame, and
// no sound.
std::string MakeLosslessInput(const TempDir& dir, int frames) {
    EXPECT_TRUE(mediafiles::MakeClip(dir / "in.mkv", frames,
                                     "-vf \"format=bgra,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='100+2*X'\" "
                                     "-c:v ffv1 -an"));
    return dir / "in.mkv";
}

// Bytes of out that differ from what a render of the clip `input` makes with the effect e
// and the fades: inside a fade the host's Blit lays the unprocessed frame over the effect.
size_t WrongBytes(const std::vector<uint8_t>& input, const std::vector<uint8_t>& out,
                  const oracle::EffectRec& e, int fadeIn = 0, int fadeOut = 0) {
    if (out.size() != input.size()) return input.size() + 1;
    const int frames = int(input.size() / kFrameBytes);
    size_t wrong = 0;
    for (int f = 0; f < frames; ++f) {
        const uint8_t* src = input.data() + size_t(f) * kFrameBytes;
        std::vector<uint8_t> want(src, src + kFrameBytes);
        oracle::Apply(e, want.data(), kW, kH, long(kW) * 4, 1);
        int opacity = oracle::FadeOpacity(f, frames, fadeIn, fadeOut);
        for (size_t i = 0; i < kFrameBytes; ++i) {
            int expected = opacity < 0 ? want[i] : oracle::Blend(src[i], want[i], opacity);
            wrong += out[size_t(f) * kFrameBytes + i] != expected;
        }
    }
    return wrong;
}

// The saved settings file with its record's version changed to 2: the plug-in does not
// read it and, left alone, writes its defaults over it.
std::vector<UInt8> ForeignSettings(const std::string& path) {
    auto bytes = testsupport::ReadFileBytes(path);
    size_t data =
        size_t(bytes.at(0)) << 24 | size_t(bytes.at(1)) << 16 | size_t(bytes.at(2)) << 8 | bytes.at(3);
    bytes.at(data + 4 + 4) = 2; // after the entry's length: sizeInBytes, then version
    return bytes;
}

// Every lossless output kind, renders at the same time each with settings of its own, fades
// in and out in one run, and the placeholder; the saved settings stay byte for byte as they
// were, also when they hold a record the plug-in rejects.
TEST(RenderCli, EachRenderIsExactWithItsOwnSettingsAndLeavesTheSavedOnesByteIdentical) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir, 8);
    ASSERT_TRUE(mediafiles::Ffmpeg("-i '" + in + "' '" + (dir / "in_%03d.png") + "'"));
    const std::string saved = std::string(std::getenv("XDG_CONFIG_HOME")) + "/zorlt-Prefs";
    const std::string other = dir / "other-prefs";
    ASSERT_EQ(RunUmbrawash("settings set --red 40 --green 0 --blue 60 --rect 0,0.5,1,1").status, 0);
    ASSERT_TRUE(std::filesystem::copy_file(saved, other));
    ASSERT_EQ(RunUmbrawash("settings set --red 25 --green 30 --blue 100 --rect 0.25,0.25,0.75,0.75").status,
              0);
    const auto savedBytes = testsupport::ReadFileBytes(saved);
    const auto input = mediafiles::DecodeArgb(in);
    // Numbered PNG files are rendered from numbered PNG files, the rest from the FFV1 clip
    // (.nut is FFV1 by default).
    struct Case {
        std::string output, flags;
        oracle::EffectRec effect;
        int fade = 0;
    };
    const std::string withOther = " --settings '" + other + "'";
    const Case cases[] = {
        {"saved.mkv", "--lossless", {25, 30, 100, 0.25, 0.25, 0.75, 0.75}},
        {"faded.nut", "--red 4 --blue 8 --fade-in 3 --fade-out 3", {4, 30, 8, 0.25, 0.25, 0.75, 0.75}, 3},
        {"rect_%03d.png", "--rect 0,0,0.5,1 --green 20", {25, 20, 100, 0.0, 0.0, 0.5, 1.0}},
        {"other-red.mkv", "--lossless --red 100" + withOther, {100, 0, 60, 0.0, 0.5, 1.0, 1.0}},
    };
    std::string line;
    for (const Case& c : cases)
        line += testpaths::Umbrawash() + " render '" +
                (c.output.ends_with(".png") ? dir / "in_%03d.png" : in) + "' '" + (dir / c.output) +
                "' --quiet " + c.flags + " & ";
    mediafiles::Run(line + "wait");
    for (const Case& c : cases)
        EXPECT_EQ(WrongBytes(input, mediafiles::DecodeArgb(dir / c.output), c.effect, c.fade, c.fade), 0u)
            << c.flags;
    EXPECT_EQ(testsupport::ReadFileBytes(saved), savedBytes);

    ASSERT_EQ(RunUmbrawash("placeholder '" + in + "' '" + (dir / "thumb.png") + "' --thumb 7").status, 0);
    const std::vector<uint8_t> frame7(input.end() - long(kFrameBytes), input.end());
    EXPECT_EQ(WrongBytes(frame7, mediafiles::DecodeArgb(dir / "thumb.png"), cases[0].effect), 0u);

    // A saved record the plug-in rejects stays as it is too; the render uses the defaults.
    testsupport::WriteFileBytes(saved, ForeignSettings(saved));
    const auto foreign = testsupport::ReadFileBytes(saved);
    ASSERT_EQ(RunUmbrawash("render '" + in + "' '" + (dir / "defaults.mkv") + "' --lossless").status, 0);
    EXPECT_EQ(WrongBytes(input, mediafiles::DecodeArgb(dir / "defaults.mkv"), oracle::EffectRec{}), 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(saved), foreign);
    EXPECT_EQ(RunUmbrawash("settings reset").status, 0);
}

// The encoders and containers that the output's name and the options choose, with every
// frame and the clip's audio (none in a proxy render).
TEST(RenderCli, EncodersKeepEveryFrameAndTheAudio) {
    TempDir dir;
    const std::string in = dir / "in.mkv";
    ASSERT_TRUE(mediafiles::MakeClip(in, 6, "-c:v ffv1 -c:a flac"));
    struct Case {
        std::string output, flags, streams;
        int frames;
    };
    const Case cases[] = {
        {"out.mp4", "", "h264,yuv420p\naac\n", 6},
        {"out.mov", "--codec prores_ks --pix-fmt yuv444p10le", "prores,yuv444p10le\naac\n", 6},
        {"proxy.mp4", "--proxy --start 2 --frames 3", "h264,yuv420p\n", 3},
    };
    for (const Case& c : cases) {
        auto run = RunUmbrawash("render '" + in + "' '" + (dir / c.output) + "' " + c.flags);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(mediafiles::Run("ffprobe -v error -show_entries stream=codec_name,pix_fmt -of csv=p=0 '" +
                                  (dir / c.output) + "'")
                      .out,
                  c.streams);
        EXPECT_EQ(mediafiles::CountFrames(dir / c.output), c.frames) << c.output;
    }
    // The audio is the clip's, not silence.
    auto volume =
        mediafiles::Run("ffmpeg -nostdin -i '" + (dir / "out.mp4") + "' -af volumedetect -f null -", true);
    auto at = volume.out.find("mean_volume: ");
    ASSERT_NE(at, std::string::npos) << volume.out;
    EXPECT_GT(std::stod(volume.out.substr(at + 13)), -40.0);
}

// Pixels of the still's halves (before | after) that are not each other's inverse, in the
// rows from y0 to y1.
size_t NotInverted(const std::vector<uint8_t>& still, int width, int y0, int y1) {
    size_t wrong = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < width / 2; ++x)
            for (int ch = 1; ch < 4; ++ch) {
                size_t left = (size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(ch);
                wrong += still[left + size_t(width / 2) * 4] != 255 - still[left];
            }
    return wrong;
}

TEST(RenderCli, TheDemoWritesALabelledStillAndKeepsItsVideoWhenTheStillCannotBeMade) {
    for (const char* jobs : {"1", "2"}) {
        TempDir dir;
        const std::string demo =
            "cd '" + dir.path() + "' && " + testpaths::Umbrawash() +
            " render --frames 2 --red 100 --green 100 --blue 100 --rect 0,0,1,1 --jobs " + jobs;
        auto run = mediafiles::Run(demo, true);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(mediafiles::CountFrames(dir / "out/demo.mp4"), 2);
        auto still = mediafiles::DecodeArgb(dir / "out/demo-before-after.png");
        ASSERT_EQ(still.size(), size_t(1440) * 480 * 4);
        // Below the labels the halves are the frame and its inverse; the labels differ.
        EXPECT_EQ(NotInverted(still, 1440, 60, 480), 0u) << jobs;
        EXPECT_GT(NotInverted(still, 1440, 0, 60), 500u) << jobs;

        // A folder where the still belongs: the still cannot be written, the video can.
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directories(dir / "out/demo-before-after.png");
        run = mediafiles::Run(demo, true);
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find("no before/after still out/demo-before-after.png"), std::string::npos)
            << run.out;
        EXPECT_EQ(mediafiles::CountFrames(dir / "out/demo.mp4"), 2) << jobs;
    }
}

// Bad input, a plug-in that fails half-way and bad usage: each exits with its status, names
// the cause, and leaves no output of its own and an existing output as it was. All but the
// plug-in's failures are found before any frame is rendered.
TEST(RenderCli, FailuresExitWithTheirStatusAndLeaveAnExistingOutputAsItWas) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir, 6);
    std::ofstream(dir / "text.mp4") << "not a video";
    // Frame 3 of the sequence cannot be decoded: the plug-in's GetFrame fails there.
    ASSERT_TRUE(
        mediafiles::Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 6 '" + (dir / "seq_%02d.png") + "'"));
    std::ofstream(dir / "seq_04.png", std::ios::trunc) << "damaged";
    std::ofstream(dir / "out.mkv") << "an earlier render";
    std::ofstream(dir / "shot_01.png") << "an earlier render";
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const std::string out = " '" + (dir / "out.mkv") + "'", mov = " '" + (dir / "x.mov") + "'";
    for (const Case& c : {
             Case{"render '" + (dir / "missing.mp4") + "'" + out, 1, "missing.mp4"},
             Case{"render '" + (dir / "text.mp4") + "'" + out, 1, "text.mp4"},
             Case{"render '" + in + "' '" + (dir / "no/such/dir/out.mkv") + "' --lossless", 1, "no/such/dir"},
             Case{"render '" + in + "' '" + (dir / "out.xyz") + "'", 2, "unknown kind"},
             Case{"render '" + in + "' '" + (dir / "out.mp4") + "' --lossless", 2,
                  "ffv1 goes into .mov, .mkv"},
             Case{"render '" + in + "'" + out + " --start 4 --frames 3", 1, "beyond"},
             Case{"render '" + in + "' '" + (dir / "x.webm") + "' --codec libx264 --report-progress 1", 2,
                  "libx264 does not go into .webm files; .webm files take libvpx-vp9"},
             // DNxHR's smallest frame is larger than the clip's: found by the one-frame check.
             Case{"render '" + in + "'" + mov + " --codec dnxhd --jobs 1 --report-progress 1", 1,
                  "dnxhd yuv422p profile dnxhr_hq cannot be written"},
             Case{"render '" + in + "'" + mov + " --codec dnxhd --jobs 2 --report-progress 1", 1,
                  "at least 256x120"},
             Case{"render '" + (dir / "seq_%02d.png") + "'" + out + " --lossless", 3,
                  "kPluginCantGetNeededFrame (7)"},
             Case{"render '" + (dir / "seq_%02d.png") + "'" + out + " --lossless --jobs 1", 3,
                  "kPluginCantGetNeededFrame (7)"},
             Case{"render '" + (dir / "seq_%02d.png") + "' '" + (dir / "shot_%02d.png") + "'", 3,
                  "at frame 3"},
             Case{"placeholder '" + in + "' '" + (dir / "t.png") + "' --thumb 6", 1, "frame 6 is beyond"},
             Case{"placeholder '" + in + "' '" + (dir / "t.jpg") + "'", 2, "OUTPUT must be a .png file"},
         }) {
        auto run = RunUmbrawash(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        const std::string lines = "\n" + run.out; // no line of progress: none starts with a digit
        auto progress = [](char a, char b) { return a == '\n' && b >= '0' && b <= '9'; };
        EXPECT_TRUE(c.status == 3 || std::adjacent_find(lines.begin(), lines.end(), progress) == lines.end())
            << run.out;
    }
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.mkv", "out.mkv", "seq_01.png", "seq_02.png",
                                                     "seq_03.png", "seq_04.png", "seq_05.png", "seq_06.png",
                                                     "shot_01.png", "text.mp4"}));
    EXPECT_EQ(mediafiles::ReadAll(dir / "out.mkv"), "an earlier render");
    EXPECT_EQ(mediafiles::ReadAll(dir / "shot_01.png"), "an earlier render");
}

// In one process and in segments.
TEST(RenderCli, CtrlCStopsTheRenderAndLeavesAnExistingOutputAsItWas) {
    for (const char* jobs : {"1", "2"}) {
        TempDir dir;
        std::string out = dir / "out.mkv";
        std::ofstream(out) << "an earlier render";
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl(testpaths::Umbrawash().c_str(), "umbrawash", "render", out.c_str(), "--lossless", "--quiet",
                  "--size", "720x480", "--jobs", jobs, static_cast<char*>(nullptr));
            _exit(127);
        }
        // Interrupt once the partial output (or the folder of the pieces) exists.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (dir.Files().size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(dir.Files().size(), 2u);
        kill(child, SIGINT);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << jobs << ": status " << status;
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"out.mkv"});
        EXPECT_EQ(mediafiles::ReadAll(out), "an earlier render") << jobs;
    }
}

} // namespace
