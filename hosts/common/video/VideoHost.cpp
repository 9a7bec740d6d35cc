#include "video/VideoHost.h"

#include "toolbox/QuickDraw.h"

namespace hosts::video {

// A frame handed to the plug-in: its pixels (the host's) and the buffer around them.
struct VideoHost::Lease {
    std::shared_ptr<const ArgbImage> image;
    GWorldPtr world = nullptr;
    int index = 0;
};

struct VideoHost::Callbacks {
    static VideoHost* Host(void* instance) { return static_cast<VideoHost*>(instance); }

    static Lease* Find(VideoHost& host, void* cookie) {
        auto it = host.leases_.find(static_cast<Lease*>(cookie));
        return it == host.leases_.end() ? nullptr : *it;
    }

    static HYPluginResult GetFrame(void* instance, SInt32 frameIndex, GWorldPtr* outFrame, SInt16 width,
                                   SInt16 height, HYRefDVQuality quality, SInt16* outVolume,
                                   void** outCookie) {
        VideoHost* host = Host(instance);
        if (!host || !outFrame || !outCookie) return kPluginBadParams;
        if (frameIndex < 0 || frameIndex >= host->clip_.frameCount) {
            host->lastFrameError_ = "frame " + std::to_string(frameIndex) + " is outside the clip's " +
                                    std::to_string(host->clip_.frameCount) + " frames";
            return kPluginCantGetNeededFrame;
        }
        if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide)
            return kPluginBadParams;
        auto scale = quality == kDVLowQuality ? ScaleQuality::kFast : ScaleQuality::kHigh;
        std::shared_ptr<const ArgbImage> image;
        if (!host->frames_.Get(frameIndex, width, height, scale, image, host->lastFrameError_))
            return kPluginCantGetNeededFrame;
        auto lease = std::make_unique<Lease>();
        lease->image = image;
        lease->index = frameIndex;
        Rect bounds{0, 0, height, width};
        // The buffer wraps the decoded pixels; the plug-in reads them (it must not write them).
        if (NewGWorldFromPtr(&lease->world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                             reinterpret_cast<Ptr>(const_cast<std::uint8_t*>(image->pixels.data())),
                             image->rowBytes) != noErr ||
            !lease->world)
            return kPluginOutOfMemory;
        *outFrame = lease->world;
        if (outVolume) *outVolume = 256;
        *outCookie = lease.get();
        host->leases_.insert(lease.release());
        return kPluginOK;
    }

    static HYPluginResult ReleaseFrame(void* instance, void* cookie) {
        VideoHost* host = Host(instance);
        if (!host) return kPluginBadParams;
        if (!cookie) return kPluginOK; // no frame was fetched
        Lease* lease = Find(*host, cookie);
        if (!lease) return kPluginBadParams;
        host->leases_.erase(lease);
        DisposeGWorld(lease->world);
        delete lease;
        return kPluginOK;
    }

    static HYPluginResult MixAudio(void* instance, void* cookie, SInt32 level) {
        VideoHost* host = Host(instance);
        if (!host) return kPluginBadParams;
        Lease* lease = Find(*host, cookie);
        if (!lease) return kPluginBadParams;
        host->mixLevels_[lease->index] = std::max<SInt32>(level, 0);
        return kPluginOK;
    }

    static HYPluginResult GetFilterInfo(void* instance, HYPluginFilterInfo** outInfo) {
        VideoHost* host = Host(instance);
        if (!host || !outInfo) return kPluginBadParams;
        *outInfo = &host->filterInfo;
        return kPluginOK;
    }

    static HYPluginResult ReleaseFilterInfo(void* instance, HYPluginFilterInfo* info) {
        VideoHost* host = Host(instance);
        if (!host || info != &host->filterInfo) return kPluginBadParams;
        return kPluginOK;
    }
};

VideoHost::VideoHost(DecodeAhead& frames, const ClipInfo& clip) : frames_(frames), clip_(clip) {}

VideoHost::~VideoHost() {
    for (Lease* lease : leases_) {
        DisposeGWorld(lease->world);
        delete lease;
    }
}

void VideoHost::InstallCallbacks(HYProcs& procs) {
    procs.GetFrame = Callbacks::GetFrame;
    procs.ReleaseFrame = Callbacks::ReleaseFrame;
    procs.MixAudio = Callbacks::MixAudio;
    procs.GetFilterInfo = Callbacks::GetFilterInfo;
    procs.ReleaseFilterInfo = Callbacks::ReleaseFilterInfo;
}

int VideoHost::TakeMixLevel(int index) {
    auto it = mixLevels_.find(index);
    if (it == mixLevels_.end()) return -1;
    int level = it->second;
    mixLevels_.erase(it);
    return level;
}

} // namespace hosts::video
