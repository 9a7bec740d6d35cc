// Encoding behind on a thread of its own: rendered frames are queued and the writer
// converts, encodes and writes them while the next frame renders. The frame's audio is
// read there too, in frame order: a frame whose audio the plug-in mixed carries its samples
// at the mixed level, any other frame carries silence.
#pragma once

#include "video/FrameSource.h"
#include "video/VideoWriter.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace hosts::video {

// Appends the samples of frame `index` of the audio, read on from where `audio` stands, at
// the level the plug-in mixed them (256: full, < 0: not mixed, silence).
bool ReadFrameAudio(AudioSource& audio, const AudioInfo& info, Rational frameRate, int64_t index, int level,
                    std::vector<float>& out, std::string& error);

class EncodeBehind {
  public:
    // audio may be null (no audio stream). Frames are numbered from 0 at `frameRate`.
    EncodeBehind(std::unique_ptr<VideoWriter> writer, std::unique_ptr<AudioSource> audio,
                 const AudioInfo& audioInfo, Rational frameRate, int queueDepth);
    ~EncodeBehind(); // stops; an unfinished output is removed
    EncodeBehind(const EncodeBehind&) = delete;
    EncodeBehind& operator=(const EncodeBehind&) = delete;

    // A buffer for the next frame: one recycled from the frames already written, which holds
    // such a frame, or a new one of opaque black. A render whose frames are drawn whole thus
    // writes each pixel once per frame, and no uninitialised memory reaches the output.
    std::unique_ptr<ArgbImage> TakeBuffer(int width, int height);
    // Queues a frame; audioLevel < 0: its audio was not mixed, 256: at full level. Returns
    // false (with the writer's error) once writing has failed.
    bool Push(std::unique_ptr<ArgbImage> frame, int audioLevel, std::string& error);
    // Writes what is queued and moves the output into place.
    bool Finish(std::string& error);

  private:
    struct Item {
        std::unique_ptr<ArgbImage> frame;
        int audioLevel;
    };
    void Run();
    bool WriteItem(Item& item, std::string& error);

    std::unique_ptr<VideoWriter> writer_;
    std::unique_ptr<AudioSource> audio_;
    AudioInfo audioInfo_;
    Rational frameRate_;
    size_t depth_;
    int64_t framesWritten_ = 0;

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    std::vector<std::unique_ptr<ArgbImage>> free_;
    bool closing_ = false;
    bool failed_ = false;
    std::string error_;
    std::thread worker_;
};

} // namespace hosts::video
