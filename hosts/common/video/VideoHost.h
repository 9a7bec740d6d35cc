// The frame and audio callbacks of a host that plays real video to the plug-in: frames of
// a clip in any order and at any size, the clip's filter settings, and a record of which
// frames' audio the plug-in mixed. The instance handed to the plug-in is the VideoHost.
#pragma once

#include "HYPlugin.h"
#include "video/DecodeAhead.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace hosts::video {

class VideoHost {
  public:
    VideoHost(DecodeAhead& frames, const ClipInfo& clip);
    ~VideoHost(); // frees frames the plug-in never released
    VideoHost(const VideoHost&) = delete;
    VideoHost& operator=(const VideoHost&) = delete;

    // Sets GetFrame, ReleaseFrame, MixAudio, GetFilterInfo and ReleaseFilterInfo in procs.
    void InstallCallbacks(HYProcs& procs);
    void* Instance() { return this; }

    // What GetFilterInfo hands out.
    HYPluginFilterInfo filterInfo{{0.5f, 0.5f, 0.5f}, 0, 0};

    // The level at which the plug-in mixed the audio of absolute frame `index`, or -1; forgets it.
    int TakeMixLevel(int index);
    // Frames handed out and not released.
    size_t FramesHeld() const { return leases_.size(); }
    // Why the last GetFrame failed, for the user.
    const std::string& LastFrameError() const { return lastFrameError_; }

    struct Lease;
    struct Callbacks;

  private:
    DecodeAhead& frames_;
    ClipInfo clip_;
    std::set<Lease*> leases_;
    std::map<int, int> mixLevels_;
    std::string lastFrameError_;
};

} // namespace hosts::video
