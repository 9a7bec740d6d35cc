#include "MediaFiles.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace mediafiles {

RunResult Run(const std::string& line, bool withStderr) {
    // The commands run outside any debugging allocator preloaded into the tests.
    std::string full = "unset LD_PRELOAD; " + line + (withStderr ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(full.c_str(), "r");
    RunResult result;
    if (!pipe) return result;
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
        result.out.append(buf.data(), n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TempDir::TempDir() {
    std::string pattern = "/tmp/umbrawash-media-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Ffmpeg(const std::string& args) {
    return Run("ffmpeg -nostdin -v error -y " + args).status == 0;
}

bool MakeClip(const std::string& path, int frames, const std::string& options, const std::string& pattern) {
    return Ffmpeg("-f lavfi -i " + pattern + "=s=64x48:r=25 -f lavfi -i sine=f=440:r=44100 -frames:v " +
                  std::to_string(frames) + " -t " + std::to_string(frames / 25.0 + 0.2) + " " + options +
                  " '" + path + "'");
}

std::vector<std::uint8_t> DecodeArgb(const std::string& path) {
    std::string out = Run("ffmpeg -nostdin -v error -i '" + path + "' -f rawvideo -pix_fmt argb -").out;
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

int CountFrames(const std::string& path) {
    RunResult r =
        Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
            "-of csv=p=0 '" +
            path + "'");
    return r.status == 0 ? std::atoi(r.out.c_str()) : -1;
}

} // namespace mediafiles
