#include "SegmentedRender.h"

#include "JoinCommand.h"
#include "Progress.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace cli {

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "umbrawash render: %s\n", why.c_str());
    return kExitFailure;
}

// The fd on which a segment process reports its progress.
constexpr int kProgressFd = 3;

struct SegmentProcess {
    pid_t pid = -1;
    int progressFd = -1; // read end; -1 once closed
    int done = 0;        // frames done
    int status = -1;     // exit status once it ended
    std::string buffered;
};

// A folder beside the output for the pieces, removed with everything in it at the end.
struct PiecesFolder {
    std::string path;
    ~PiecesFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

std::string ProgramPath() {
    std::error_code ec;
    auto self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? "umbrawash" : self.string();
}

// The arguments of segment k: the job's own options, with what the job chose by default
// made explicit so that every segment renders exactly the same.
std::vector<std::string> SegmentArguments(const RenderJob& job, const RenderSettings& settings,
                                          const hosts::video::OutputSpec& spec, int frameCount, int k, int n,
                                          const std::string& piece, const std::string& still) {
    std::vector<std::string> args = {ProgramPath(), "render"};
    if (job.input) args.push_back(*job.input);
    args.insert(args.end(), {piece,
                             "--segment",
                             std::to_string(k) + "/" + std::to_string(n),
                             "--settings",
                             settings.File(),
                             "--quiet",
                             "--report-progress",
                             std::to_string(kProgressFd),
                             "--codec",
                             spec.encoder.video,
                             "--pix-fmt",
                             spec.encoder.pixFmt,
                             "--start",
                             std::to_string(job.start),
                             "--frames",
                             std::to_string(frameCount),
                             "--fade-in",
                             std::to_string(job.fadeIn),
                             "--fade-out",
                             std::to_string(job.fadeOut)});
    // The segments share the cores out among them rather than each taking them all.
    int threads = job.threads > 0 ? job.threads : std::max(1, UsableCores() / n);
    args.insert(args.end(), {"--threads", std::to_string(threads)});
    if (!still.empty()) args.insert(args.end(), {"--still", still});
    for (const std::string& option : SegmentOptions(job.args))
        args.push_back(option);
    return args;
}

// Starts a segment process with its progress on kProgressFd; it ends when this process does.
bool Start(const std::vector<std::string>& args, SegmentProcess& process, std::string& error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = "cannot make a pipe for a segment process";
        return false;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        error = "cannot start a segment process";
        return false;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(kExitInterrupted);
        dup2(fds[1], kProgressFd);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    process.pid = pid;
    process.progressFd = fds[0];
    return true;
}

// Reads what a process reported; closes its pipe at the end of it.
void ReadProgress(SegmentProcess& p) {
    char buffer[256];
    ssize_t n = read(p.progressFd, buffer, sizeof buffer);
    if (n <= 0) {
        close(p.progressFd);
        p.progressFd = -1;
        return;
    }
    p.buffered.append(buffer, size_t(n));
    size_t end;
    while ((end = p.buffered.find('\n')) != std::string::npos) {
        p.done = std::atoi(p.buffered.substr(0, end).c_str());
        p.buffered.erase(0, end + 1);
    }
}

void StopAll(std::vector<SegmentProcess>& processes) {
    for (auto& p : processes)
        if (p.status < 0) kill(p.pid, SIGTERM);
    for (auto& p : processes) {
        if (p.progressFd >= 0) close(p.progressFd);
        int status = 0;
        if (p.status < 0) waitpid(p.pid, &status, 0);
    }
}

// Waits for the processes while showing their frames as one render. Returns the exit
// status of the first process that failed, or kExitOK.
int Watch(std::vector<SegmentProcess>& processes, Progress& progress, int& failed) {
    for (;;) {
        std::vector<pollfd> fds;
        for (auto& p : processes)
            if (p.progressFd >= 0) fds.push_back({p.progressFd, POLLIN, 0});
        if (Interrupted()) return kExitInterrupted;
        if (!fds.empty()) poll(fds.data(), fds.size(), 100);
        int done = 0;
        for (size_t i = 0; i < processes.size(); ++i) {
            SegmentProcess& p = processes[i];
            if (p.progressFd >= 0) {
                pollfd probe{p.progressFd, POLLIN, 0};
                if (poll(&probe, 1, 0) > 0) ReadProgress(p);
            }
            int status = 0;
            if (p.status < 0 && p.progressFd < 0 && waitpid(p.pid, &status, 0) == p.pid) {
                p.status = WIFEXITED(status) ? WEXITSTATUS(status) : kExitInterrupted;
                if (p.status != kExitOK) {
                    failed = int(i);
                    return p.status;
                }
            }
            done += p.done;
        }
        progress.Update(done);
        if (std::all_of(processes.begin(), processes.end(),
                        [](const SegmentProcess& p) { return p.status >= 0; }))
            return kExitOK;
    }
}

// Waits for the segments, showing their progress as that of one render; stops them all when
// one fails or the command is interrupted.
int WaitForSegments(const RenderJob& job, std::vector<SegmentProcess>& running, int frameCount) {
    Progress progress(frameCount, !job.quiet, job.progressFd);
    int failed = -1;
    int status = Watch(running, progress, failed);
    progress.Finish();
    if (status == kExitOK) return status;
    StopAll(running);
    if (status == kExitInterrupted) {
        Fail("interrupted; no output written");
        return status;
    }
    Fail("segment " + std::to_string(failed + 1) + "/" + std::to_string(running.size()) +
         " failed; no output written");
    return status;
}

// Moves the still the segment processes wrote into place, after the video.
int PlaceStill(const RenderJob& job, const std::string& made) {
    std::error_code ec;
    if (fs::exists(made, ec)) {
        fs::copy_file(made, job.stillPath + ".partial", fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::rename(job.stillPath + ".partial", job.stillPath, ec);
        if (!ec) return kExitOK;
        fs::remove(job.stillPath + ".partial");
    }
    return Fail("no before/after still " + job.stillPath + " (" +
                (ec ? ec.message() : std::string("its segment did not make it")) + "); the video " +
                job.output + " is complete");
}

} // namespace

int RenderInSegments(const RenderJob& job, const RenderSettings& settings, const OpenedClip& clip,
                     hosts::video::OutputSpec spec, int frameCount, int processes) {
    using namespace hosts::video;
    std::string error;
    const ClipInfo& info = clip.frames->Info();
    spec.width = job.size ? job.size->first : info.width;
    spec.height = job.size ? job.size->second : info.height;
    spec.frameRate = info.frameRate;
    if (!job.proxy && info.audio.present) spec.audio = info.audio;
    // The output's encoders and container, before anything is rendered.
    if (!VideoWriter::Check(spec, error)) return Fail(error);
    std::error_code ec;
    if (job.demo) fs::create_directories(fs::path(job.output).parent_path(), ec);
    // Ctrl-C from here on removes the folder of the pieces: it is caught before the folder exists.
    CatchInterrupts();
    PiecesFolder folder{PartialNameFor(job.output) + "-pieces"};
    if (!fs::create_directory(folder.path, ec))
        return Fail("cannot write beside " + job.output + ": " + ec.message());
    std::string still = job.stillPath.empty() ? "" : folder.path + "/still.png";
    std::vector<std::string> pieces;
    std::vector<SegmentProcess> running;
    for (int k = 1; k <= processes; ++k) {
        pieces.push_back(folder.path + "/" + std::to_string(k) + ".mkv");
        running.emplace_back();
        auto args = SegmentArguments(job, settings, spec, frameCount, k, processes, pieces.back(), still);
        if (!Start(args, running.back(), error)) {
            running.pop_back();
            StopAll(running);
            return Fail(error);
        }
    }
    int status = WaitForSegments(job, running, frameCount);
    if (status != kExitOK) return status;
    status = JoinPieces(pieces, job.output, true, "umbrawash render");
    if (status != kExitOK) return status;
    if (!job.quiet && isatty(STDERR_FILENO))
        std::fprintf(stderr, "umbrawash render: %d frames of %s to %s in %d processes\n", frameCount,
                     clip.name.c_str(), job.output.c_str(), processes);
    return job.stillPath.empty() ? kExitOK : PlaceStill(job, still);
}

} // namespace cli
