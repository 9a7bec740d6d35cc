#include "Progress.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace cli {

namespace {
constexpr auto kDelay = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
} // namespace

Progress::Progress(int total, bool enabled, int reportFd)
    : total_(total), enabled_(enabled && isatty(STDERR_FILENO)), reportFd_(reportFd) {}

void Progress::Update(int done) {
    if (reportFd_ >= 0) {
        std::string line = std::to_string(done) + "\n";
        if (write(reportFd_, line.data(), line.size()) < 0) reportFd_ = -1; // nobody listens any more
    }
    if (!enabled_ || total_ <= 0) return;
    Clock::time_point now = Clock::now();
    if (now - start_ < kDelay || (now - lastDraw_ < kRedraw && done < total_)) return;
    lastDraw_ = now;
    shown_ = true;
    double seconds = std::chrono::duration<double>(now - start_).count();
    double fps = seconds > 0 ? done / seconds : 0.0;
    int left = fps > 0 ? int((total_ - done) / fps + 0.5) : 0;
    int filled = int(double(done) / total_ * kBarWidth);
    std::string bar = std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %d/%d frames  %.1f fps  %d:%02d left ", bar.c_str(), done, total_, fps,
                 left / 60, left % 60);
    std::fflush(stderr);
}

void Progress::Finish() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
}

} // namespace cli
