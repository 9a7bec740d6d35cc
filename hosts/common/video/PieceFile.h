// Pieces of a render made in segments, and their join. A piece is a Matroska file with one
// video stream and a record of what it holds in a tag of the container. The join copies the
// pieces' video packets one after the other into the output's container, without encoding
// them again, and encodes the clip's audio once over the whole clip beside them.
#pragma once

#include "video/FrameSource.h"
#include "video/OutputFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hosts::video {

// The container tag that holds a piece's record.
constexpr const char* kPieceTag = "UMBRAWASH_PIECE";

struct PieceFileInfo {
    std::string record;         // the tag's text; empty when the file has none
    std::vector<double> times;  // the video packets' presentation times in seconds, in file order
    bool startsWithKey = false; // the first packet is a key frame
    std::string codec;          // the video codec's name
    std::vector<uint8_t> extradata;
    int width = 0, height = 0;
};

// Reads a piece's tag and its packets' times (without decoding them).
bool ReadPieceFile(const std::string& path, PieceFileInfo& info, std::string& error);

// The frame of a presentation time at frameRate.
int64_t FrameOfTime(double seconds, Rational frameRate);

// Appends the clip's audio of frame `frame` (counted from the clip's start) to samples.
using FrameAudioFn = std::function<bool(int frame, std::vector<float>& samples, std::string& error)>;

class JoinWriter {
  public:
    JoinWriter();
    ~JoinWriter(); // an unfinished output is removed
    // Starts the output at path in the container of `settings`, its video stream copied from
    // `firstPiece`, with the audio of `audio` (when present) encoded as `settings` say.
    bool Open(const std::string& path, const EncoderSettings& settings, const std::string& firstPiece,
              Rational frameRate, const AudioInfo& audio, std::string& error);
    // Copies the packets of a piece whose first frame is frame `first` of the clip; the
    // clip's audio follows the frames written. Packets are decoded `reorder` frames before
    // they are shown at most (the same for every piece, so that decoding times rise).
    bool AddPiece(const std::string& path, int first, int reorder, const FrameAudioFn& audioOfFrame,
                  std::string& error);
    // Writes the rest of the audio, up to `frames` frames, and moves the output into place.
    bool Finish(int frames, const FrameAudioFn& audioOfFrame, std::string& error);

    struct State;

  private:
    std::unique_ptr<State> state_;
};

} // namespace hosts::video
