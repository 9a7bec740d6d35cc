#include "video/DecodeAhead.h"

#include <algorithm>

namespace hosts::video {

DecodeAhead::DecodeAhead(FrameSource& source, int depth) : source_(source), depth_(std::max(depth, 0)) {
    worker_ = std::thread([this] { Run(); });
}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

// Wants the requested frame first, then the ones after it; forgets ready frames that are
// no longer wanted so that memory stays bounded.
void DecodeAhead::Plan(const Key& key) {
    wanted_.clear();
    int last = std::min(key.index + depth_, source_.Info().frameCount - 1);
    for (int i = key.index; i <= std::max(last, key.index); ++i)
        wanted_.push_back({i, key.width, key.height, key.quality});
    for (auto it = ready_.begin(); it != ready_.end();) {
        bool keep = std::find_if(wanted_.begin(), wanted_.end(), [&](const Key& k) {
                        return !(k < it->first) && !(it->first < k);
                    }) != wanted_.end();
        it = keep ? std::next(it) : ready_.erase(it);
    }
}

bool DecodeAhead::Get(int index, int width, int height, ScaleQuality quality,
                      std::shared_ptr<const ArgbImage>& out, std::string& error) {
    Key key{index, width, height, quality};
    std::unique_lock<std::mutex> guard(lock_);
    Plan(key);
    changed_.notify_all();
    changed_.wait(guard, [&] { return ready_.count(key) > 0; });
    Result result = std::move(ready_[key]);
    ready_.erase(key);
    // The frames ahead stay wanted; this one is done.
    wanted_.erase(wanted_.begin());
    if (!result.image) {
        error = result.error;
        return false;
    }
    out = std::move(result.image);
    return true;
}

std::shared_ptr<ArgbImage> DecodeAhead::TakeImage() {
    for (const auto& image : images_)
        if (image.use_count() == 1) return image;
    // Frames held by the caller are few; beyond a bound, stop keeping new images.
    auto image = std::make_shared<ArgbImage>();
    if (images_.size() < size_t(depth_) + 8) images_.push_back(image);
    return image;
}

void DecodeAhead::Run() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] {
            return stopping_ || std::any_of(wanted_.begin(), wanted_.end(),
                                            [&](const Key& k) { return !ready_.count(k); });
        });
        if (stopping_) return;
        Key key =
            *std::find_if(wanted_.begin(), wanted_.end(), [&](const Key& k) { return !ready_.count(k); });
        std::shared_ptr<ArgbImage> image = TakeImage();
        guard.unlock();
        Result result;
        if (source_.ReadFrame(key.index, key.width, key.height, key.quality, *image, result.error))
            result.image = std::move(image);
        guard.lock();
        // A frame that stopped being wanted meanwhile is dropped.
        bool stillWanted = std::find_if(wanted_.begin(), wanted_.end(), [&](const Key& k) {
                               return !(k < key) && !(key < k);
                           }) != wanted_.end();
        if (stillWanted) ready_[key] = std::move(result);
        changed_.notify_all();
    }
}

} // namespace hosts::video
