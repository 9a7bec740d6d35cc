#include "Pieces.h"

#include <filesystem>
#include <sys/stat.h>

namespace cli {

namespace {
constexpr int kRecordVersion = 1;
} // namespace

std::string PieceRecord::ToText() const {
    nlohmann::ordered_json j = {{"version", kRecordVersion},
                                {"clip", clip},
                                {"render", render},
                                {"settings", settings},
                                {"encoder", encoder},
                                {"audio", audio},
                                {"segment", std::to_string(segment.k) + "/" + std::to_string(segment.n)},
                                {"first", first},
                                {"count", count}};
    return j.dump();
}

std::optional<PieceRecord> PieceRecord::FromText(const std::string& text) {
    auto j = nlohmann::ordered_json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object() || j.value("version", 0) != kRecordVersion) return std::nullopt;
    try {
        PieceRecord r;
        r.clip = j.at("clip");
        r.render = j.at("render");
        r.settings = j.at("settings");
        r.encoder = j.at("encoder").get<std::string>();
        r.audio = j.at("audio").get<std::string>();
        std::string segment = j.at("segment").get<std::string>();
        if (std::sscanf(segment.c_str(), "%d/%d", &r.segment.k, &r.segment.n) != 2) return std::nullopt;
        r.first = j.at("first").get<int>();
        r.count = j.at("count").get<int>();
        if (!r.render.contains("rate")) return std::nullopt;
        return r;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::string PieceRecord::Mismatch(const PieceRecord& other) const {
    if (clip != other.clip) return "another clip (" + clip.dump() + ", not " + other.clip.dump() + ")";
    if (render != other.render)
        return "another render (" + render.dump() + ", not " + other.render.dump() + ")";
    if (settings != other.settings) return "other settings of the effect";
    if (encoder != other.encoder) return "another encoder (" + encoder + ", not " + other.encoder + ")";
    if (audio != other.audio) return "other audio";
    return {};
}

std::pair<int, int> SegmentRange(SegmentRec segment, int frames) {
    int first = int(int64_t(segment.k - 1) * frames / segment.n);
    int end = int(int64_t(segment.k) * frames / segment.n);
    return {first, end - first};
}

nlohmann::ordered_json ClipIdentity(const std::optional<std::string>& input,
                                    const hosts::video::ClipInfo& info) {
    nlohmann::ordered_json id;
    if (input) {
        std::error_code ec;
        auto absolute = std::filesystem::absolute(*input, ec);
        id["input"] = ec ? *input : absolute.lexically_normal().string();
        struct stat s {};
        // An image sequence names no one file; its frames stand for it.
        if (stat(input->c_str(), &s) == 0) {
            id["bytes"] = int64_t(s.st_size);
            id["modified"] = std::to_string(s.st_mtim.tv_sec) + "." + std::to_string(s.st_mtim.tv_nsec);
        }
    } else {
        id["input"] = "built-in";
    }
    id["frames"] = info.frameCount;
    id["size"] = std::to_string(info.width) + "x" + std::to_string(info.height);
    return id;
}

nlohmann::ordered_json RenderIdentity(const RenderJob& job, int frameCount, int width, int height,
                                      hosts::video::Rational rate) {
    return {{"start", job.start},
            {"frames", frameCount},
            {"fadeIn", job.fadeIn},
            {"fadeOut", job.fadeOut},
            {"proxy", job.proxy},
            {"size", std::to_string(width) + "x" + std::to_string(height)},
            {"rate", std::to_string(rate.num) + "/" + std::to_string(rate.den)}};
}

hosts::video::Rational RecordRate(const PieceRecord& record) {
    hosts::video::Rational rate;
    std::string text = record.render.value("rate", "");
    if (std::sscanf(text.c_str(), "%d/%d", &rate.num, &rate.den) != 2 || rate.num <= 0 || rate.den <= 0)
        return {25, 1};
    return rate;
}

} // namespace cli
