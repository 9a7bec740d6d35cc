// Real media files for tests, made and read with the installed ffmpeg command, so that
// what the tests expect does not come from the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mediafiles {

struct RunResult {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out; // standard output (and standard error when asked)
};

// Runs a shell command line.
RunResult Run(const std::string& line, bool withStderr = false);

// A fresh empty folder under /tmp, removed by the destructor.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the files in it, hidden ones included, sorted.
    std::vector<std::string> Files() const;

  private:
    std::string path_;
};

// A file's whole content; empty when it cannot be read.
std::string ReadAll(const std::string& path);

// ffmpeg with the given arguments (quiet, overwriting); true when it succeeded.
bool Ffmpeg(const std::string& args);

// A clip of 64 x 48 pixels at 25 frames a second: `frames` frames of the lavfi source
// `pattern` and a tone, written with the given output options; true when ffmpeg succeeded.
bool MakeClip(const std::string& path, int frames, const std::string& options,
              const std::string& pattern = "testsrc2");

// All frames of a video (or image sequence) as 32-bit A,R,G,B pixels, frame after frame.
std::vector<std::uint8_t> DecodeArgb(const std::string& path);

// Frames of the first video stream, counted by decoding.
int CountFrames(const std::string& path);

} // namespace mediafiles
