// `umbrawash render` and `umbrawash placeholder` run as a user runs them, on small real
// files made with the ffmpeg command; outputs are decoded with ffmpeg and compared with
// values computed here from the inputs.
#include "EffectOracle.h"
#include "MediaFiles.h"
#include "ResourceFileBytes.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using mediafiles::TempDir;

namespace {

constexpr int kW = 64, kH = 48;
constexpr size_t kFrameBytes = size_t(kW) * kH * 4;

mediafiles::RunResult Umbrawash(const std::string& args) {
    return mediafiles::Run(testpaths::Umbrawash() + " " + args, true);
}

// 20 frames of moving test pattern in bgra FFV1, with an alpha that varies across the frame.
std::string MakeLosslessInput(const TempDir& dir, int frames = 20) {
    std::string path = dir / "in.mkv";
    EXPECT_TRUE(mediafiles::Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v " + std::to_string(frames) +
                                   " -vf \"format=bgra,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='100+2*X'\" "
                                   "-c:v ffv1 '" +
                                   path + "'"));
    return path;
}

// The only files left in dir are these.
void ExpectOnlyFiles(const TempDir& dir, std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.Files(), names);
}

TEST(RenderCli, DefaultConfigurationInvertsExactlyOnTheLosslessPaths) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir);
    auto input = mediafiles::DecodeArgb(in);
    ASSERT_EQ(input.size(), 20 * kFrameBytes);
    ASSERT_TRUE(mediafiles::Ffmpeg("-i '" + in + "' '" + (dir / "in_%03d.png") + "'"));

    struct Case {
        std::string input, output, flags, decodeAs;
    };
    for (const Case& c : {Case{in, dir / "out.mkv", "--lossless", dir / "out.mkv"},
                          Case{in, dir / "out.nut", "--lossless", dir / "out.nut"},
                          Case{dir / "in_%03d.png", dir / "out_%03d.png", "", dir / "out_%03d.png"}}) {
        auto run = Umbrawash("render '" + c.input + "' '" + c.output + "' " + c.flags);
        ASSERT_EQ(run.status, 0) << run.out;
        auto out = mediafiles::DecodeArgb(c.decodeAs);
        ASSERT_EQ(out.size(), input.size()) << c.output;
        size_t wrong = 0;
        for (size_t i = 0; i < input.size(); i += 4) {
            wrong += out[i] != 255;
            for (int ch = 1; ch < 4; ++ch)
                wrong += out[i + ch] != 255 - input[i + ch];
        }
        EXPECT_EQ(wrong, 0u) << c.output;
    }
    EXPECT_TRUE(std::ifstream(dir / "out_001.png").good());
    EXPECT_TRUE(std::ifstream(dir / "out_020.png").good());
    EXPECT_FALSE(std::ifstream(dir / "out_021.png").good());
}

// Bytes of out that differ from what the effect makes of input, frame by frame.
size_t WrongBytes(const std::vector<uint8_t>& input, const std::vector<uint8_t>& out,
                  const oracle::EffectRec& e) {
    if (out.size() != input.size()) return input.size();
    std::vector<uint8_t> want = input;
    for (size_t f = 0; f < want.size() / kFrameBytes; ++f)
        oracle::Apply(e, want.data() + f * kFrameBytes, kW, kH, long(kW) * 4, 1);
    size_t wrong = 0;
    for (size_t i = 0; i < want.size(); ++i)
        wrong += out[i] != want[i];
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

TEST(RenderCli, EachRenderUsesItsOwnSettingsAndLeavesTheSavedOnesByteIdentical) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir, 4);
    const std::string saved = std::string(std::getenv("XDG_CONFIG_HOME")) + "/zorlt-Prefs";
    const std::string other = dir / "other-prefs";
    ASSERT_EQ(Umbrawash("settings set --red 40 --green 0 --blue 60 --rect 0,0.5,1,1").status, 0);
    ASSERT_TRUE(std::filesystem::copy_file(saved, other));
    ASSERT_EQ(Umbrawash("settings set --red 25 --green 30 --blue 100 --rect 0.25,0.25,0.75,0.75").status, 0);
    auto input = mediafiles::DecodeArgb(in);
    struct Case {
        std::string flags;
        oracle::EffectRec effect;
    };
    const Case cases[] = {
        {"", {25, 30, 100, 0.25, 0.25, 0.75, 0.75}},
        {"--red 4 --blue 8", {4, 30, 8, 0.25, 0.25, 0.75, 0.75}},
        {"--rect 0,0,0.5,1 --green 20", {25, 20, 100, 0.0, 0.0, 0.5, 1.0}},
        {"--settings '" + other + "'", {40, 0, 60, 0.0, 0.5, 1.0, 1.0}},
        {"--settings '" + other + "' --red 100", {100, 0, 60, 0.0, 0.5, 1.0, 1.0}},
    };
    const auto savedBytes = testsupport::ReadFileBytes(saved);
    // Two renders at a time, each with settings of its own.
    for (size_t c = 0; c < std::size(cases); c += 2) {
        std::string line;
        for (size_t k = c; k < std::min(c + 2, std::size(cases)); ++k)
            line += testpaths::Umbrawash() + " render '" + in + "' '" + (dir / std::to_string(k)) +
                    ".mkv' --lossless --quiet " + cases[k].flags + " & ";
        ASSERT_EQ(mediafiles::Run(line + "wait").status, 0) << line;
    }
    EXPECT_EQ(testsupport::ReadFileBytes(saved), savedBytes);
    for (size_t k = 0; k < std::size(cases); ++k) {
        auto out = mediafiles::DecodeArgb(dir / std::to_string(k) + ".mkv");
        EXPECT_EQ(WrongBytes(input, out, cases[k].effect), 0u) << cases[k].flags;
    }
    // A saved record the plug-in rejects stays as it is too; the render uses the defaults.
    testsupport::WriteFileBytes(saved, ForeignSettings(saved));
    const auto foreign = testsupport::ReadFileBytes(saved);
    ASSERT_EQ(Umbrawash("render '" + in + "' '" + (dir / "defaults.mkv") + "' --lossless").status, 0);
    EXPECT_EQ(WrongBytes(input, mediafiles::DecodeArgb(dir / "defaults.mkv"), oracle::EffectRec{}), 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(saved), foreign);
    EXPECT_EQ(
        Umbrawash("render '" + in + "' '" + (dir / "x.mkv") + "' --settings '" + (dir / "none") + "'").status,
        1);
    EXPECT_EQ(Umbrawash("settings reset").status, 0);
}

TEST(RenderCli, FadesInAndOutInOneRunGiveTheirOpacities) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir);
    auto run =
        Umbrawash("render '" + in + "' '" + (dir / "out.mkv") + "' --lossless --fade-in 6 --fade-out 6");
    ASSERT_EQ(run.status, 0) << run.out;
    auto input = mediafiles::DecodeArgb(in), out = mediafiles::DecodeArgb(dir / "out.mkv");
    ASSERT_EQ(out.size(), input.size());
    const int n = 20, fade = 6;
    for (int r = 0; r < n; ++r) {
        // Frames before the fade-in's end and after the fade-out's start show the unprocessed
        // frame laid over the inverted one.
        int opacity = -1;
        if (r < fade) opacity = int((1.0 - double(r) / fade) * 255.0);
        if (r > n - fade) opacity = int((1.0 - double(n - r) / fade) * 255.0);
        size_t wrong = 0;
        for (size_t i = size_t(r) * kFrameBytes; i < size_t(r + 1) * kFrameBytes; ++i) {
            int src = input[i];
            int effected = i % 4 == 0 ? 255 : 255 - src;
            int expected = opacity < 0 ? effected : (src * opacity + effected * (255 - opacity) + 127) / 255;
            wrong += out[i] != expected;
        }
        EXPECT_EQ(wrong, 0u) << "frame " << r << " opacity " << opacity;
    }
}

TEST(RenderCli, H264OutputsKeepEveryFrameAndTheAudioExceptInProxyRenders) {
    TempDir dir;
    std::string in = dir / "in.mp4";
    ASSERT_TRUE(
        mediafiles::Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -f lavfi -i sine=f=440:r=44100 -frames:v 30 "
                           "-t 1.2 -c:v libx264 -pix_fmt yuv420p -c:a aac '" +
                           in + "'"));
    ASSERT_EQ(mediafiles::CountFrames(in), 30);
    for (const char* name : {"out.mp4", "out.mov", "out.mkv"}) {
        auto run = Umbrawash("render '" + in + "' '" + (dir / name) + "'");
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(mediafiles::CountFrames(dir / name), 30) << name;
        EXPECT_EQ(mediafiles::CountAudioStreams(dir / name), 1) << name;
    }
    // The audio is the clip's, not silence.
    auto volume =
        mediafiles::Run("ffmpeg -nostdin -i '" + (dir / "out.mp4") + "' -af volumedetect -f null -", true);
    auto at = volume.out.find("mean_volume: ");
    ASSERT_NE(at, std::string::npos) << volume.out;
    EXPECT_GT(std::stod(volume.out.substr(at + 13)), -40.0);

    auto proxy = Umbrawash("render '" + in + "' '" + (dir / "proxy.mp4") + "' --proxy --start 5 --frames 10");
    ASSERT_EQ(proxy.status, 0) << proxy.out;
    EXPECT_EQ(mediafiles::CountFrames(dir / "proxy.mp4"), 10);
    EXPECT_EQ(mediafiles::CountAudioStreams(dir / "proxy.mp4"), 0);
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
            " render --frames 4 --red 100 --green 100 --blue 100 --rect 0,0,1,1 --jobs " + jobs;
        auto run = mediafiles::Run(demo, true);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(mediafiles::CountFrames(dir / "out/demo.mp4"), 4);
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
        EXPECT_EQ(mediafiles::CountFrames(dir / "out/demo.mp4"), 4) << jobs;
    }
}

TEST(RenderCli, AnyEncoderFromTheCommandLineAndImpossibleOnesFailBeforeAnyFrame) {
    TempDir dir;
    std::string in = dir / "in.mkv";
    ASSERT_TRUE(
        mediafiles::Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -f lavfi -i sine=r=44100 -frames:v 4 -t 0.3 "
                           "-c:v ffv1 -c:a flac '" +
                           in + "'"));
    struct Case {
        std::string output, flags, streams;
    };
    for (const Case& c :
         {Case{"out.mov", "--codec prores_ks --pix-fmt yuv444p10le", "prores,yuv444p10le\naac\n"},
          Case{"out.webm", "--crf 40", "vp9,yuv420p\nopus\n"}}) {
        auto run = Umbrawash("render '" + in + "' '" + (dir / c.output) + "' " + c.flags);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(mediafiles::Run("ffprobe -v error -show_entries stream=codec_name,pix_fmt -of csv=p=0 '" +
                                  (dir / c.output) + "'")
                      .out,
                  c.streams);
        std::filesystem::remove(dir / c.output);
    }
    struct Refusal {
        std::string output, flags;
        int status;
        std::string says;
    };
    for (const Refusal& c :
         {Refusal{"out.webm", "--codec libx264", 2,
                  "libx264 does not go into .webm files; .webm files take libvpx-vp9"},
          // DNxHR's smallest frame is larger than the clip's: found by the one-frame check.
          Refusal{"out.mov", "--codec dnxhd --jobs 1", 1, "dnxhd yuv422p profile dnxhr_hq cannot be written"},
          Refusal{"out.mov", "--codec dnxhd --jobs 2", 1, "at least 256x120"}}) {
        auto run = mediafiles::Run(testpaths::Umbrawash() + " render '" + in + "' '" + (dir / c.output) +
                                       "' " + c.flags + " --report-progress 1",
                                   true);
        EXPECT_EQ(run.status, c.status) << c.flags;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        // No frame was rendered: no line of progress.
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_FALSE(!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
                << run.out;
    }
    ExpectOnlyFiles(dir, {"in.mkv"});
}

TEST(RenderCli, PlaceholderWritesTheThumbFrameWithTheEffect) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir, 10);
    auto run = Umbrawash("placeholder '" + in + "' '" + (dir / "thumb.png") + "' --thumb 7");
    ASSERT_EQ(run.status, 0) << run.out;
    auto input = mediafiles::DecodeArgb(in), thumb = mediafiles::DecodeArgb(dir / "thumb.png");
    ASSERT_EQ(thumb.size(), kFrameBytes);
    size_t wrong = 0;
    for (size_t i = 0; i < kFrameBytes; ++i)
        wrong += thumb[i] != (i % 4 == 0 ? 255 : 255 - input[7 * kFrameBytes + i]);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(Umbrawash("placeholder '" + in + "' '" + (dir / "t2.png") + "' --thumb 10").status, 1);
    EXPECT_EQ(Umbrawash("placeholder '" + in + "' '" + (dir / "t2.jpg") + "'").status, 2);
}

TEST(RenderCli, ErrorsExitWithTheirStatusAndLeaveNoOutput) {
    TempDir dir;
    std::string in = MakeLosslessInput(dir, 6);
    std::ofstream(dir / "text.mp4") << "not a video";
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const std::string out = "'" + (dir / "out.mkv") + "'";
    for (const Case& c : {
             Case{"'" + (dir / "missing.mp4") + "' " + out, 1, "missing.mp4"},
             Case{"'" + (dir / "text.mp4") + "' " + out, 1, "text.mp4"},
             Case{"'" + in + "' '" + (dir / "no/such/dir/out.mkv") + "' --lossless", 1, "no/such/dir"},
             Case{"'" + in + "' '" + (dir / "out.xyz") + "'", 2, "unknown kind"},
             Case{"'" + in + "' '" + (dir / "out.mp4") + "' --lossless", 2, "ffv1 goes into .mov, .mkv"},
             Case{"'" + in + "' " + out + " --start 4 --frames 3", 1, "beyond"},
             Case{"'" + in + "' " + out + " --frames 0", 2, "--frames"},
             Case{"'" + in + "' " + out + " --size 64by48", 2, "--size"},
         }) {
        auto run = Umbrawash("render " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }
    ExpectOnlyFiles(dir, {"in.mkv", "text.mp4"});
}

// In segments, in one process and into numbered files: the output already there stays as it was.
TEST(RenderCli, APluginFailureIsNamedAndLeavesTheOutputThatWasThere) {
    TempDir dir;
    // Frame 3 of the sequence cannot be decoded: the plug-in's GetFrame fails there.
    ASSERT_TRUE(
        mediafiles::Ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 6 '" + (dir / "in_%02d.png") + "'"));
    std::ofstream(dir / "in_04.png", std::ios::trunc) << "damaged";
    for (auto [output, existing, options] : {std::tuple{"out.mkv", "out.mkv", " --lossless --jobs 2"},
                                             std::tuple{"out.mkv", "out.mkv", " --lossless --jobs 1"},
                                             std::tuple{"out_%02d.png", "out_01.png", ""}}) {
        std::ofstream(dir / existing) << "old";
        auto run = Umbrawash("render '" + (dir / "in_%02d.png") + "' '" + (dir / output) + "'" + options);
        EXPECT_EQ(run.status, 3) << run.out;
        EXPECT_NE(run.out.find("kPluginCantGetNeededFrame (7)"), std::string::npos) << run.out;
        EXPECT_EQ(mediafiles::ReadAll(dir / existing), "old") << output << options;
        ExpectOnlyFiles(
            dir, {"in_01.png", "in_02.png", "in_03.png", "in_04.png", "in_05.png", "in_06.png", existing});
        std::filesystem::remove(dir / existing);
    }
}

TEST(RenderCli, CtrlCStopsTheRenderAndRemovesThePartialOutput) {
    TempDir dir;
    std::string out = dir / "out.mkv";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(testpaths::Umbrawash().c_str(), "umbrawash", "render", out.c_str(), "--lossless", "--quiet",
              "--size", "720x480", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Interrupt once the partial output exists, that is, once rendering has begun.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (dir.Files().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(dir.Files().empty());
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    ExpectOnlyFiles(dir, {});
}

TEST(RenderCli, EveryCommandHasHelpWithAnExample) {
    for (const char* command : {"render", "placeholder", "join"}) {
        auto run = Umbrawash(std::string(command) + " --help");
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("usage: umbrawash " + std::string(command)), std::string::npos);
        EXPECT_NE(run.out.find("example"), std::string::npos);
    }
}

} // namespace
