// What a piece of a render in segments records about itself, so that the join can check
// that pieces belong together and make a whole: the clip it came from, the render's
// options, the effect's settings, the encoder, and its segment with its frames.
#pragma once

#include "RenderOptions.h"
#include "video/FrameSource.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace cli {

struct PieceRecord {
    nlohmann::ordered_json clip;   // the input and its identity
    nlohmann::ordered_json render; // start, frames, fades, proxy, size, frame rate
    nlohmann::ordered_json settings;
    std::string encoder;
    std::string audio; // "clip": the join encodes the clip's audio at full level; "none"
    SegmentRec segment;
    int first = 0, count = 0; // the frames of the clip it holds

    std::string ToText() const;
    static std::optional<PieceRecord> FromText(const std::string& text);
    // What keeps this piece and `other` from being parts of one render, or empty.
    std::string Mismatch(const PieceRecord& other) const;
};

// The frames of segment K of N of a clip of `frames` frames: first, count.
std::pair<int, int> SegmentRange(SegmentRec segment, int frames);

// The identity of the clip: its file (absolute path, size and modification time) or the
// built-in clip, with its frame count and rate.
nlohmann::ordered_json ClipIdentity(const std::optional<std::string>& input,
                                    const hosts::video::ClipInfo& info);

// What the job renders besides the effect: start, frames, fades, proxy, size, frame rate.
nlohmann::ordered_json RenderIdentity(const RenderJob& job, int frameCount, int width, int height,
                                      hosts::video::Rational rate);

// The frame rate a record's render holds.
hosts::video::Rational RecordRate(const PieceRecord& record);

} // namespace cli
