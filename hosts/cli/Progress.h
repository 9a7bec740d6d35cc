// A progress line on standard error: frames done, frames per second and time left. It
// appears only on a terminal, and only once the work has taken more than a moment. The
// count can also go to a file descriptor, one line per frame, for a process that watches.
#pragma once

#include <chrono>

namespace cli {

class Progress {
  public:
    Progress(int total, bool enabled, int reportFd = -1);
    void Update(int done);
    void Finish(); // ends the line when one was shown

  private:
    using Clock = std::chrono::steady_clock;
    int total_;
    bool enabled_;
    bool shown_ = false;
    int reportFd_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDraw_{};
};

} // namespace cli
