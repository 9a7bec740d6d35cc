// Renders in segments, as separate processes and through `umbrawash join`, against the
// render in one process; and the join's refusals. Outputs are read back with ffmpeg.
#include "MediaFiles.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using mediafiles::TempDir;
using testpaths::RunUmbrawash;

namespace {

// Clips with sound: bgra FFV1 and FLAC.
constexpr const char* kLossless = "-pix_fmt bgra -c:v ffv1 -c:a flac";

// Every decoded frame of every stream with its timestamp and checksum.
std::string FrameChecksums(const std::string& path, const std::string& streams = "") {
    return mediafiles::Run("ffmpeg -nostdin -v error -i '" + path + "' " + streams + " -f framemd5 -").out;
}

// The video frames' presentation times, one a line.
std::string FrameTimes(const std::string& path) {
    const std::string probe =
        "ffprobe -v error -select_streams v -show_entries frame=pts -of default=nw=1:nk=1 '";
    return mediafiles::Run(probe + path + "'").out;
}

int64_t ModifiedNs(const std::string& path) {
    return std::filesystem::last_write_time(path).time_since_epoch().count();
}

TEST(SegmentCli, SegmentsJoinIntoTheOneProcessRenderFrameByFrame) {
    TempDir dir;
    const std::string in = dir / "in.mkv";
    ASSERT_TRUE(mediafiles::MakeClip(in, 12, kLossless));
    const std::string clip = "'" + in + "' ", fades = " --fade-in 3 --fade-out 3 --quiet";
    ASSERT_EQ(
        RunUmbrawash("render " + clip + "'" + (dir / "one.mkv") + "' --lossless --jobs 1" + fades).status, 0);
    // Three processes, their progress counted as one render's.
    auto jobs = mediafiles::Run(testpaths::Umbrawash() + " render " + clip + "'" + (dir / "three.mkv") +
                                "' --lossless --jobs 3 --report-progress 1" + fades);
    ASSERT_EQ(jobs.status, 0) << jobs.out;
    EXPECT_EQ(jobs.out.substr(jobs.out.rfind('\n', jobs.out.size() - 2) + 1), "12\n");
    std::filesystem::create_directory(dir / "pieces");
    for (int k = 1; k <= 4; ++k) {
        auto run = RunUmbrawash("render " + clip + "'" + (dir / "pieces/") + std::to_string(k) +
                                ".mkv' --segment " + std::to_string(k) + "/4 --lossless" + fades);
        ASSERT_EQ(run.status, 0) << run.out;
    }
    auto join = RunUmbrawash("join '" + (dir / "pieces") + "' '" + (dir / "joined.mkv") + "' --quiet");
    ASSERT_EQ(join.status, 0) << join.out;
    // Lossless: every frame, its timestamp and the audio are those of the one-process render.
    const std::string one = FrameChecksums(dir / "one.mkv");
    EXPECT_NE(one.find("0,         11,"), std::string::npos) << one;
    EXPECT_EQ(FrameChecksums(dir / "three.mkv"), one);
    EXPECT_EQ(FrameChecksums(dir / "joined.mkv"), one);

    // H.264: the same frames at the same times, a key frame where each segment starts.
    ASSERT_EQ(RunUmbrawash("render " + clip + "'" + (dir / "one.mp4") + "' --jobs 1" + fades).status, 0);
    ASSERT_EQ(RunUmbrawash("render " + clip + "'" + (dir / "three.mp4") + "' --jobs 3" + fades).status, 0);
    const std::string times = FrameTimes(dir / "one.mp4");
    EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), 12);
    EXPECT_EQ(FrameTimes(dir / "three.mp4"), times);
    auto keys =
        mediafiles::Run("ffprobe -v error -select_streams v -show_entries packet=pts,flags -of csv=p=0 '" +
                        (dir / "three.mp4") + "' | grep K | cut -d, -f1")
            .out;
    EXPECT_EQ(keys, "0\n2048\n4096\n") << "key frames at frames 0, 4 and 8 (time base 1/12800)";
    EXPECT_EQ(FrameChecksums(dir / "three.mp4", "-vn"), FrameChecksums(dir / "one.mp4", "-vn"));
}

TEST(SegmentCli, TheJoinRefusesPiecesThatDoNotMakeOneRenderAndNamesThem) {
    TempDir dir;
    const std::string in = dir / "in.mkv", other = dir / "other.mkv";
    ASSERT_TRUE(mediafiles::MakeClip(in, 6, kLossless) &&
                mediafiles::MakeClip(other, 6, kLossless, "smptebars"));
    auto piece = [&](const std::string& name, const std::string& input, const std::string& options) {
        auto run = RunUmbrawash("render '" + input + "' '" + (dir / name) + "' --quiet " + options);
        EXPECT_EQ(run.status, 0) << name << ": " << run.out;
        return "'" + (dir / name) + "' ";
    };
    const std::string p1 = piece("p1.mkv", in, "--segment 1/3 --lossless"),
                      p2 = piece("p2.mkv", in, "--segment 2/3 --lossless"),
                      p3 = piece("p3.mkv", in, "--segment 3/3 --lossless");
    std::filesystem::copy_file(dir / "p2.mkv", dir / "p2-again.mkv");
    struct Case {
        std::string pieces, says;
    };
    const Case cases[] = {
        {p1 + p3, "incomplete: segment 2/3 (frames 2..3) missing"},
        {p1 + piece("red.mkv", in, "--segment 2/3 --lossless --red 50") + p3,
         "red.mkv is from other settings"},
        {p1 + piece("clip.mkv", other, "--segment 2/3 --lossless") + p3, "clip.mkv is from another clip"},
        {p1 + piece("x264.mkv", in, "--segment 2/3") + p3, "x264.mkv is from another encoder"},
        {p1 + p2 + piece("half.mkv", in, "--segment 2/2 --lossless") + p3,
         "half.mkv (segment 2/2, frames 3..5) overlaps"},
        {p1 + p2 + "'" + (dir / "p2-again.mkv") + "' " + p3, "p2-again.mkv and "},
        {p1 + "'" + in + "' " + p3, "in.mkv is not a piece"},
    };
    for (const Case& c : cases) {
        auto run = RunUmbrawash("join " + c.pieces + "'" + (dir / "out.mkv") + "'");
        EXPECT_EQ(run.status, 1) << c.pieces;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mkv"));
    auto files = dir.Files();
    EXPECT_TRUE(std::none_of(files.begin(), files.end(), [](const std::string& f) { return f[0] == '.'; }));
    EXPECT_EQ(RunUmbrawash("join " + p1 + p2 + p3 + "'" + (dir / "out.mkv") + "'").status, 0);
}

// A complete piece of the same render is kept; a segment killed half-way leaves what was at
// its piece as it was, and running it again replaces that with the complete piece.
TEST(SegmentCli, ACompletePieceIsKeptAndAKilledSegmentLeavesThePieceAsItWas) {
    TempDir dir;
    // The built-in clip at full size: slow enough to be stopped half-way.
    const std::string p1 = dir / "p1.mkv", p2 = dir / "p2.mkv", frames = " --frames 24";
    ASSERT_EQ(RunUmbrawash("render '" + p1 + "' --segment 1/2 --lossless --quiet" + frames).status, 0);
    int64_t made = ModifiedNs(p1);
    auto again = RunUmbrawash("render '" + p1 + "' --segment 1/2 --lossless" + frames);
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("complete already"), std::string::npos) << again.out;
    EXPECT_EQ(ModifiedNs(p1), made);

    std::ofstream(p2) << "an earlier render";
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(progress[1], 3);
        execl(testpaths::Umbrawash().c_str(), "umbrawash", "render", p2.c_str(), "--segment", "2/2",
              "--lossless", "--quiet", "--frames", "24", "--report-progress", "3",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(progress[1]);
    char first[16];
    ASSERT_GT(read(progress[0], first, sizeof first), 0); // a frame is done
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(progress[0]);
    EXPECT_EQ(mediafiles::ReadAll(p2), "an earlier render");
    auto join = RunUmbrawash("join '" + dir.path() + "' '" + (dir / "out.mkv") + "'");
    EXPECT_EQ(join.status, 1);
    EXPECT_NE(join.out.find("cannot open " + p2), std::string::npos) << join.out;
    // Run again, only the missing piece is rendered.
    ASSERT_EQ(RunUmbrawash("render '" + p2 + "' --segment 2/2 --lossless --quiet" + frames).status, 0);
    ASSERT_EQ(RunUmbrawash("render '" + p1 + "' --segment 1/2 --lossless --quiet" + frames).status, 0);
    EXPECT_EQ(ModifiedNs(p1), made);
    EXPECT_EQ(RunUmbrawash("join '" + p1 + "' '" + p2 + "' '" + (dir / "out.mkv") + "' --quiet").status, 0);
    EXPECT_EQ(mediafiles::CountFrames(dir / "out.mkv"), 24);
}

} // namespace
