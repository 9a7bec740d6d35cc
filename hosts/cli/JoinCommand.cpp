// `umbrawash join`: checks that pieces are the segments of one render, all of them once,
// then copies their video into the output's container without encoding it again and
// encodes the clip's audio once over the whole clip.
#include "JoinCommand.h"

#include "CommandLine.h"
#include "Pieces.h"
#include "Progress.h"
#include "RenderSupport.h"
#include "video/EncodeBehind.h"
#include "video/MediaInput.h"
#include "video/PieceFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace cli {

const char* const kJoinUsage =
    "usage: umbrawash join PIECE... OUTPUT [--quiet] [--verbose]\n"
    "       umbrawash join DIR OUTPUT [--quiet] [--verbose]\n"
    "\n"
    "Joins the pieces of a render in segments (`umbrawash render IN PIECE.mkv --segment K/N`)\n"
    "into OUTPUT, without encoding the video again: the frames are those of the pieces, bit\n"
    "for bit. The clip's audio is encoded once, over the whole clip, from the clip the pieces\n"
    "name (it must be where it was and unchanged). OUTPUT's extension chooses the container,\n"
    "as for `umbrawash render`; the pieces' encoder must go into it. With DIR, the pieces are\n"
    "the .mkv files in it (hidden files, such as unfinished pieces, are not).\n"
    "\n"
    "The pieces must be the segments 1/N..N/N of one render, each once: from the same clip,\n"
    "with the same options, effect settings and encoder. Anything else is refused with the\n"
    "piece named, and a set with segments missing is refused with the missing ones named.\n"
    "OUTPUT appears only when complete.\n"
    "\n"
    "  --quiet     no progress line\n"
    "  --verbose   let the FFmpeg libraries report more than errors\n"
    "\n"
    "Exit status: 0 done, 1 a piece was refused or the output failed, 2 usage, 130 interrupted.\n"
    "\n"
    "examples:\n"
    "  umbrawash join pieces/ film-inverted.mp4\n"
    "  umbrawash join part1.mkv part2.mkv part3.mkv clip.mkv\n";

namespace {

struct PieceRec {
    std::string path;
    PieceRecord record;
    hosts::video::PieceFileInfo file;
};

int Fail(const std::string& who, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", who.c_str(), why.c_str());
    return kExitFailure;
}

std::string FramesText(int first, int count) {
    return "frames " + std::to_string(first) + ".." + std::to_string(first + count - 1);
}

std::string SegmentText(const PieceRecord& r) {
    return "segment " + std::to_string(r.segment.k) + "/" + std::to_string(r.segment.n);
}

// Reads a piece and checks it against itself: its record, its frames and its first frame.
bool ReadPiece(const std::string& path, PieceRec& piece, std::string& error) {
    using namespace hosts::video;
    piece.path = path;
    if (!ReadPieceFile(path, piece.file, error)) return false;
    auto record = PieceRecord::FromText(piece.file.record);
    if (!record) {
        error = path + " is not a piece of an umbrawash render";
        return false;
    }
    piece.record = *record;
    if (record->segment.k < 1 || record->segment.k > record->segment.n || record->count < 1 ||
        std::pair(record->first, record->count) !=
            SegmentRange(record->segment, record->render.value("frames", 0))) {
        error = path + " is a damaged piece: its record does not add up";
        return false;
    }
    // The frames shown must be 0..count-1 of the piece, each once.
    std::vector<int64_t> frames;
    for (double t : piece.file.times)
        frames.push_back(FrameOfTime(t, RecordRate(*record)));
    std::sort(frames.begin(), frames.end());
    bool exact = int(frames.size()) == record->count;
    for (size_t i = 0; exact && i < frames.size(); ++i)
        exact = frames[i] == int64_t(i);
    if (!exact) {
        error = path + " holds " + std::to_string(frames.size()) + " frames, not the " +
                std::to_string(record->count) + " of its " + SegmentText(*record) + " (" +
                FramesText(record->first, record->count) + ")";
        return false;
    }
    if (!piece.file.startsWithKey) {
        error = path + " does not start with a key frame";
        return false;
    }
    return true;
}

// Checks that the pieces are all segments of one render, each once, and puts them in order.
bool CheckSet(std::vector<PieceRec>& pieces, std::string& error) {
    const PieceRec& one = pieces.front();
    std::map<int, const PieceRec*> byK;
    for (const PieceRec& p : pieces) {
        std::string mismatch = p.record.Mismatch(one.record);
        if (mismatch.empty() && (p.file.codec != one.file.codec || p.file.extradata != one.file.extradata))
            mismatch = "an encoder set up otherwise";
        if (!mismatch.empty()) {
            error = p.path + " is from " + mismatch + " than " + one.path;
            return false;
        }
        if (p.record.segment.n != one.record.segment.n) {
            error = p.path + " (" + SegmentText(p.record) + ", " +
                    FramesText(p.record.first, p.record.count) + ") overlaps the segments of " + one.path +
                    " (" + SegmentText(one.record) + ")";
            return false;
        }
        auto [at, fresh] = byK.emplace(p.record.segment.k, &p);
        if (!fresh) {
            error = p.path + " and " + at->second->path + " are both " + SegmentText(p.record);
            return false;
        }
    }
    std::string missing;
    int n = one.record.segment.n, frames = one.record.render.value("frames", 0);
    for (int k = 1; k <= n; ++k)
        if (!byK.count(k)) {
            auto [first, count] = SegmentRange({k, n}, frames);
            missing += (missing.empty() ? "" : ", ") + std::to_string(k) + "/" + std::to_string(n) + " (" +
                       FramesText(first, count) + ")";
        }
    if (!missing.empty()) {
        error = "the set is incomplete: segment" +
                std::string(missing.find(',') == std::string::npos ? " " : "s ") + missing + " missing";
        return false;
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const PieceRec& a, const PieceRec& b) { return a.record.segment.k < b.record.segment.k; });
    return true;
}

// The clip's audio for the join, read from the clip the pieces name; null without audio,
// with the reason in error. A clip that is not the one the pieces were made from fails.
bool OpenClipAudio(const PieceRecord& record, std::unique_ptr<hosts::video::AudioSource>& audio,
                   hosts::video::AudioInfo& info, std::string& error) {
    using namespace hosts::video;
    std::optional<std::string> input;
    if (record.clip.value("input", "") != "built-in") input = record.clip.value("input", "");
    auto clip = OpenClip(input, error);
    if (!clip) return false;
    if (ClipIdentity(input, clip->frames->Info()) != record.clip) {
        error = *input + " has changed since the pieces were rendered";
        return false;
    }
    info = clip->frames->Info().audio;
    audio = clip->OpenAudio(record.render.value("start", 0), error);
    return true;
}

// The largest number of frames that a piece's packets are decoded before they are shown.
int ReorderOf(const std::vector<PieceRec>& pieces) {
    int reorder = 0;
    for (const PieceRec& p : pieces)
        for (size_t i = 0; i < p.file.times.size(); ++i)
            reorder = std::max<int>(
                reorder, int(int64_t(i) - hosts::video::FrameOfTime(p.file.times[i], RecordRate(p.record))));
    return reorder;
}

} // namespace

int JoinPieces(const std::vector<std::string>& paths, const std::string& output, bool quiet,
               const std::string& who) {
    using namespace hosts::video;
    std::string error;
    std::vector<PieceRec> pieces(paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        if (!ReadPiece(paths[i], pieces[i], error)) return Fail(who, error);
    if (!CheckSet(pieces, error)) return Fail(who, error);
    const PieceRecord& record = pieces.front().record;
    std::string encoderName = record.encoder.substr(0, record.encoder.find(' '));
    auto settings = ChooseEncoder(output, {encoderName, {}, {}, {}, false}, error);
    if (!settings) return Fail(who, error);

    AudioInfo audioInfo;
    std::unique_ptr<AudioSource> audio;
    if (record.audio == "clip") {
        if (!OpenClipAudio(record, audio, audioInfo, error))
            return Fail(who, "cannot read the clip's audio: " + error);
        // As a render in one process does, a clip whose audio cannot be read is joined without.
        if (!audio && !error.empty())
            std::fprintf(stderr, "%s: leaving the audio out: %s\n", who.c_str(), error.c_str());
    }
    Rational rate = RecordRate(record);
    FrameAudioFn audioOfFrame = [&](int frame, std::vector<float>& samples, std::string& why) {
        return ReadFrameAudio(*audio, audioInfo, rate, frame, 256, samples, why);
    };
    CatchInterrupts();
    JoinWriter writer;
    if (!writer.Open(output, *settings, pieces.front().path, rate, audio ? audioInfo : AudioInfo{}, error))
        return Fail(who, error);
    int reorder = ReorderOf(pieces);
    Progress progress(int(pieces.size()), !quiet);
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (Interrupted()) {
            std::fprintf(stderr, "%s: interrupted; no output written\n", who.c_str());
            return kExitInterrupted;
        }
        if (!writer.AddPiece(pieces[i].path, pieces[i].record.first, reorder, audioOfFrame, error))
            return Fail(who, error);
        progress.Update(int(i + 1));
    }
    progress.Finish();
    if (!writer.Finish(record.render.value("frames", 0), audioOfFrame, error)) return Fail(who, error);
    return kExitOK;
}

int RunJoin(const std::vector<std::string>& args) {
    std::string error;
    auto parsed = ParseArgs(args, {{"--help", "--quiet", "--verbose"}, {}}, error);
    if (!parsed) return UsageError("join", error);
    if (parsed->Has("--help")) {
        std::fputs(kJoinUsage, stdout);
        return kExitOK;
    }
    auto pieces = parsed->positional;
    if (pieces.size() < 2) return UsageError("join", "needs the pieces (or their folder) and OUTPUT");
    std::string output = pieces.back();
    pieces.pop_back();
    std::error_code ec;
    if (pieces.size() == 1 && fs::is_directory(pieces[0], ec)) {
        std::string dir = pieces[0];
        pieces.clear();
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name[0] != '.' && entry.path().extension() == ".mkv")
                pieces.push_back(entry.path().string());
        }
        if (pieces.empty()) return Fail("umbrawash join", "no pieces (.mkv files) in " + dir);
        std::sort(pieces.begin(), pieces.end());
    }
    hosts::video::SetMediaLogging(parsed->Has("--verbose"));
    return JoinPieces(pieces, output, parsed->Has("--quiet"), "umbrawash join");
}

} // namespace cli
