#include "video/EncodeBehind.h"

#include <algorithm>
#include <cstring>

namespace hosts::video {

namespace {

void FillOpaqueBlack(ArgbImage& image) {
    const std::uint8_t black[4] = {255, 0, 0, 0};
    std::uint32_t pixel;
    std::memcpy(&pixel, black, 4);
    for (int y = 0; y < image.height; ++y)
        std::fill_n(reinterpret_cast<std::uint32_t*>(image.Row(y)), image.width, pixel);
}

} // namespace

EncodeBehind::EncodeBehind(std::unique_ptr<VideoWriter> writer, std::unique_ptr<AudioSource> audio,
                           const AudioInfo& audioInfo, Rational frameRate, int queueDepth)
    : writer_(std::move(writer)), audio_(std::move(audio)), audioInfo_(audioInfo), frameRate_(frameRate),
      depth_(size_t(std::max(queueDepth, 1))) {
    worker_ = std::thread([this] { Run(); });
}

EncodeBehind::~EncodeBehind() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing_ = true;
        failed_ = true; // abandon what is queued
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

std::unique_ptr<ArgbImage> EncodeBehind::TakeBuffer(int width, int height) {
    std::unique_ptr<ArgbImage> buffer;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!free_.empty()) {
            buffer = std::move(free_.back());
            free_.pop_back();
        }
    }
    if (buffer && buffer->width == width && buffer->height == height) return buffer;
    if (!buffer) buffer = std::make_unique<ArgbImage>();
    buffer->Allocate(width, height);
    FillOpaqueBlack(*buffer);
    return buffer;
}

bool EncodeBehind::Push(std::unique_ptr<ArgbImage> frame, int audioLevel, std::string& error) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return failed_ || queue_.size() < depth_; });
    if (failed_) {
        error = error_;
        return false;
    }
    queue_.push_back({std::move(frame), audioLevel});
    changed_.notify_all();
    return true;
}

bool EncodeBehind::Finish(std::string& error) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    worker_.join();
    if (failed_) {
        error = error_;
        return false;
    }
    if (!writer_->Finish(error)) return false;
    return true;
}

bool ReadFrameAudio(AudioSource& audio, const AudioInfo& info, Rational frameRate, int64_t index, int level,
                    std::vector<float>& out, std::string& error) {
    // The samples from the start of this frame to the start of the next.
    int64_t rate = info.sampleRate;
    int64_t first = index * rate * frameRate.den / frameRate.num;
    int64_t next = (index + 1) * rate * frameRate.den / frameRate.num;
    size_t from = out.size();
    if (!audio.ReadSamples(int(next - first), out, error)) return false;
    float gain = level < 0 ? 0.0f : float(level) / 256.0f;
    for (size_t i = from; i < out.size(); ++i)
        out[i] = std::clamp(out[i] * gain, -1.0f, 1.0f);
    return true;
}

bool EncodeBehind::WriteItem(Item& item, std::string& error) {
    std::vector<float> samples;
    if (audio_ &&
        !ReadFrameAudio(*audio_, audioInfo_, frameRate_, framesWritten_, item.audioLevel, samples, error))
        return false;
    ++framesWritten_;
    return writer_->WriteFrame(*item.frame, samples, error);
}

void EncodeBehind::Run() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return closing_ || !queue_.empty(); });
        if (failed_ || queue_.empty()) return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        guard.unlock();
        std::string error;
        bool ok = WriteItem(item, error);
        guard.lock();
        free_.push_back(std::move(item.frame));
        if (!ok) {
            failed_ = true;
            error_ = error;
        }
        changed_.notify_all();
        if (failed_) return;
    }
}

} // namespace hosts::video
