// rescompile: builds a resource file of string lists from a readable text source, with the
// toolbox's own resource writer, so the format has one implementation.
//
//   rescompile SOURCE OUTPUT
//
// SOURCE: "STR# <id> <name>" starts a list; each following indented line is one text of it.
// Blank lines and lines whose first non-blank character is '#' are skipped. Texts are
// UTF-8 and are stored in Mac Roman. OUTPUT is replaced.
#include "toolbox/Files.h"
#include "toolbox/Resources.h"
#include "toolbox/TextUtils.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct StringList {
    SInt16 id = 0;
    std::string name;
    std::vector<std::string> texts; // Mac Roman
};

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::optional<std::vector<StringList>> ReadSource(const char* path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "rescompile: cannot read %s\n", path);
        return std::nullopt;
    }
    std::vector<StringList> lists;
    std::map<SInt16, int> seen;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string text = Trim(line);
        if (text.empty() || text[0] == '#') continue;
        auto fail = [&](const std::string& why) {
            std::fprintf(stderr, "%s:%d: %s\n", path, number, why.c_str());
            return std::nullopt;
        };
        if (line[0] != ' ' && line[0] != '\t') {
            char name[256] = "";
            long id = 0;
            if (std::sscanf(text.c_str(), "STR# %ld %255[^\n]", &id, name) < 1 || text.rfind("STR# ", 0) != 0)
                return fail("expected \"STR# <id> <name>\"");
            if (id < -32768 || id > 32767) return fail("list id out of range: " + std::to_string(id));
            if (seen.count(SInt16(id))) return fail("list " + std::to_string(id) + " defined twice");
            seen[SInt16(id)] = number;
            lists.push_back({SInt16(id), toolbox::Utf8ToMacRoman(Trim(name)), {}});
            continue;
        }
        if (lists.empty()) return fail("a text before any \"STR#\" line");
        std::string macRoman = toolbox::Utf8ToMacRoman(text);
        if (macRoman.size() > 255) return fail("text longer than 255 characters");
        if (lists.back().texts.size() == 0x7FFF) return fail("too many texts in one list");
        lists.back().texts.push_back(macRoman);
    }
    return lists;
}

Handle ListData(const StringList& list) {
    std::vector<UInt8> bytes = {UInt8(list.texts.size() >> 8), UInt8(list.texts.size())};
    for (const auto& t : list.texts) {
        bytes.push_back(UInt8(t.size()));
        bytes.insert(bytes.end(), t.begin(), t.end());
    }
    Handle h = NewHandle(Size(bytes.size()));
    if (h) std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: rescompile SOURCE OUTPUT\n", stderr);
        return 2;
    }
    auto lists = ReadSource(argv[1]);
    if (!lists) return 1;
    std::remove(argv[2]);
    FSSpec spec;
    OSErr err = toolbox::FSSpecFromPath(argv[2], &spec);
    if (err == fnfErr) {
        FSpCreateResFile(&spec, FourCC("RSED"), FourCC("rsrc"), smSystemScript);
        err = ResError();
    }
    SInt16 refNum = err == noErr ? FSpOpenResFile(&spec, fsRdWrPerm) : -1;
    if (refNum == -1) {
        std::fprintf(stderr, "rescompile: cannot create %s (error %d)\n", argv[2],
                     err != noErr ? err : ResError());
        return 1;
    }
    for (const auto& list : *lists) {
        Str255 name;
        toolbox::SetPascal(name, list.name);
        AddResource(ListData(list), FourCC("STR#"), list.id, name);
        if (ResError() != noErr) break;
    }
    err = ResError();
    CloseResFile(refNum);
    if (err == noErr) err = ResError();
    if (err != noErr) {
        std::fprintf(stderr, "rescompile: cannot write %s (error %d)\n", argv[2], err);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
