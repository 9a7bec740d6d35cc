// Text through FreeType with the DejaVu fonts. Glyphs are rendered once per font, size and
// character and kept; drawing blends the foreground colour over the port by each glyph
// pixel's coverage, clipped to the port. Advances are whole pixels, so the width of a text
// is the sum of its characters' advances and never depends on where it is drawn.
#include "Ports.h"

#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace toolbox {

// The fonts and their rendered glyphs (see ToolboxState.h).
struct FontCache {
    struct Glyph {
        int left = 0, top = 0, width = 0, rows = 0, advance = 0;
        std::vector<UInt8> coverage;
    };
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool faceLoaded = false;
    std::map<std::pair<int, char32_t>, Glyph> glyphs; // by size and character
    ~FontCache() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

} // namespace toolbox

namespace {

using toolbox::FontCache;
using toolbox::gToolbox;

// Text is drawn in the system font, DejaVu Sans; the families are known by name only.
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Family {
    FMFontFamily number;
    const char* name;
};
constexpr std::array<Family, 4> kFamilies{
    {{0, "System Font"}, {1, "DejaVu Sans"}, {2, "DejaVu Sans Bold"}, {3, "DejaVu Sans Mono"}}};

FontCache& Cache() {
    if (!gToolbox.fonts) {
        auto cache = std::make_shared<FontCache>();
        if (FT_Init_FreeType(&cache->library) != 0) cache->library = nullptr;
        gToolbox.fonts = cache;
    }
    return *gToolbox.fonts;
}

FT_Face Face() {
    FontCache& cache = Cache();
    if (!cache.library || cache.faceLoaded) return cache.face;
    cache.faceLoaded = true;
    if (FT_New_Face(cache.library, kFontFile, 0, &cache.face) != 0) cache.face = nullptr;
    return cache.face;
}

const FontCache::Glyph& GlyphFor(int size, char32_t c) {
    FontCache& cache = Cache();
    auto key = std::make_pair(size, c);
    auto it = cache.glyphs.find(key);
    if (it != cache.glyphs.end()) return it->second;
    FontCache::Glyph g;
    FT_Face face = Face();
    if (face && FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)) == 0 &&
        FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
        FT_GlyphSlot slot = face->glyph;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = int(slot->bitmap.width);
        g.rows = int(slot->bitmap.rows);
        g.advance = int((slot->advance.x + 32) >> 6);
        g.coverage.resize(size_t(g.width) * size_t(g.rows));
        for (int y = 0; y < g.rows; ++y)
            std::copy_n(slot->bitmap.buffer + y * slot->bitmap.pitch, g.width,
                        g.coverage.begin() + y * g.width);
    } else {
        g.advance = size / 2; // no font: keep layouts sane
    }
    return cache.glyphs.emplace(key, std::move(g)).first->second;
}

// UTF-8 to code points; bad bytes become U+FFFD.
std::u32string Decode(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + size_t(len) > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
        out.push_back(cp);
        i += size_t(len);
    }
    return out;
}

int PortSize(const GrafPort* port) {
    return port && port->textSize > 0 ? port->textSize : 12;
}

void BlendGlyph(GrafPort* port, const FontCache::Glyph& g, int originH, int originV) {
    const Rect& pr = port->portRect;
    const Rect& cr = port->clipRect;
    int top = std::max(pr.top, cr.top), bottom = std::min(pr.bottom, cr.bottom);
    int left = std::max(pr.left, cr.left), right = std::min(pr.right, cr.right);
    long rowBytes = long(port->pixMap.rowBytes) & toolbox::qd::kRowBytesMask;
    auto* base = reinterpret_cast<UInt8*>(port->pixMap.baseAddr);
    const int ink[3] = {port->fgColor.red >> 8, port->fgColor.green >> 8, port->fgColor.blue >> 8};
    for (int y = 0; y < g.rows; ++y) {
        int v = originV - g.top + y;
        if (v < top || v >= bottom) continue;
        for (int x = 0; x < g.width; ++x) {
            int h = originH + g.left + x;
            int cov = g.coverage[size_t(y * g.width + x)];
            if (h < left || h >= right || cov == 0) continue;
            UInt8* p = base + long(v - pr.top) * rowBytes + long(h - pr.left) * 4;
            p[0] = 0xFF;
            for (int k = 0; k < 3; ++k)
                p[k + 1] = UInt8((ink[k] * cov + p[k + 1] * (255 - cov) + 127) / 255);
        }
    }
}

} // namespace

namespace toolbox {

void DrawUtf8(const std::string& text) {
    GrafPort* port = gToolbox.currentPort;
    if (!port) return;
    int size = PortSize(port);
    int h = port->penLoc.h;
    for (char32_t c : Decode(text)) {
        const FontCache::Glyph& g = GlyphFor(size, c);
        BlendGlyph(port, g, h, port->penLoc.v);
        h += g.advance;
    }
    port->penLoc.h = SInt16(std::clamp(h, -32768, 32767));
}

int Utf8Width(const std::string& text) {
    GrafPort* port = gToolbox.currentPort;
    int size = PortSize(port), width = 0;
    for (char32_t c : Decode(text))
        width += GlyphFor(size, c).advance;
    return width;
}

} // namespace toolbox

extern "C" {

void TextSize(short size) {
    if (GrafPort* port = gToolbox.currentPort) port->textSize = size;
}

void DrawString(ConstStr255Param s) {
    if (s) toolbox::DrawUtf8(toolbox::MacRomanToUtf8(toolbox::PascalView(s)));
}

short StringWidth(ConstStr255Param s) {
    if (!s) return 0;
    return short(std::min(32767, toolbox::Utf8Width(toolbox::MacRomanToUtf8(toolbox::PascalView(s)))));
}

void GetFontInfo(FontInfo* info) {
    if (!info) return;
    int size = PortSize(gToolbox.currentPort);
    FT_Face face = Face();
    *info = FontInfo{SInt16(size * 3 / 4), SInt16(size / 4), SInt16(size), 0};
    if (face && FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)) == 0) {
        info->ascent = SInt16((face->size->metrics.ascender + 63) >> 6);
        info->descent = SInt16((-face->size->metrics.descender + 63) >> 6);
        info->widMax = SInt16((face->size->metrics.max_advance + 63) >> 6);
        info->leading =
            SInt16(std::max<long>(0, (face->size->metrics.height >> 6) - info->ascent - info->descent));
    }
}

FMFontFamily FMGetFontFamilyFromName(ConstStr255Param name) {
    if (!name) return kInvalidFontFamily;
    std::string_view wanted = toolbox::PascalView(name);
    for (const Family& f : kFamilies)
        if (wanted == f.name) return f.number;
    return kInvalidFontFamily;
}

} // extern "C"
