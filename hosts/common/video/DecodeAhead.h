// Decoding ahead on a thread of its own: the frames after the last one asked for are read
// and scaled while the caller works on the current one. Every call into the frame source
// happens on that thread, so the source needs no locks of its own.
#pragma once

#include "video/FrameSource.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

namespace hosts::video {

class DecodeAhead {
  public:
    // Keeps up to `depth` frames ready beyond the last one asked for.
    DecodeAhead(FrameSource& source, int depth);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Frame `index` at the given size; waits for it when it is not ready yet.
    bool Get(int index, int width, int height, ScaleQuality quality, std::shared_ptr<const ArgbImage>& out,
             std::string& error);

  private:
    struct Key {
        int index, width, height;
        ScaleQuality quality;
        bool operator<(const Key& o) const {
            return std::tie(index, width, height, quality) < std::tie(o.index, o.width, o.height, o.quality);
        }
    };
    struct Result {
        std::shared_ptr<const ArgbImage> image;
        std::string error;
    };

    void Run();
    void Plan(const Key& key);
    std::shared_ptr<ArgbImage> TakeImage();

    FrameSource& source_;
    int depth_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Key> wanted_; // in order of need
    std::map<Key, Result> ready_;
    // Every image made so far; one that only this list holds is free for the next frame, so
    // that frames reuse their memory instead of faulting in fresh pages.
    std::vector<std::shared_ptr<ArgbImage>> images_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace hosts::video
