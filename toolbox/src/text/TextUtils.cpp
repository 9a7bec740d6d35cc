// Short strings, decimal text and the Mac Roman encoding.
#include "toolbox/TextUtils.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// Unicode code points of Mac Roman 0x80..0xFF; 0x00..0x7F are ASCII.
constexpr std::array<char32_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i], advancing i; malformed bytes give U+FFFD.
char32_t NextCodePoint(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i++);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || i + size_t(extra) > s.size()) return 0xFFFD;
    char32_t c = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if ((byte(i) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (byte(i++) & 0x3F);
    }
    return c;
}

// Mac Roman of a UTF-8 text; characters without a Mac Roman form become '?' and make the
// result false.
bool ToMacRoman(std::string_view utf8, std::string& out) {
    bool exact = true;
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = NextCodePoint(utf8, i);
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        auto it = std::find(kMacRomanHigh.begin(), kMacRomanHigh.end(), c);
        exact = exact && it != kMacRomanHigh.end();
        out += it == kMacRomanHigh.end() ? '?' : char(0x80 + (it - kMacRomanHigh.begin()));
    }
    return exact;
}

} // namespace

namespace toolbox {

std::string MacRomanToUtf8(std::string_view macRoman) {
    std::string out;
    out.reserve(macRoman.size());
    for (char ch : macRoman) {
        auto b = static_cast<unsigned char>(ch);
        AppendUtf8(out, b < 0x80 ? char32_t(b) : kMacRomanHigh[b - 0x80]);
    }
    return out;
}

std::string Utf8ToMacRoman(std::string_view utf8) {
    std::string out;
    ToMacRoman(utf8, out);
    return out;
}

bool Utf8ToMacRomanExactly(std::string_view utf8, std::string& macRoman) {
    return ToMacRoman(utf8, macRoman);
}

std::string_view PascalView(ConstStr255Param s) {
    if (!s) return {};
    return {reinterpret_cast<const char*>(s + 1), s[0]};
}

void SetPascal(Str255 dst, std::string_view bytes) {
    size_t n = std::min<size_t>(bytes.size(), 255);
    dst[0] = static_cast<unsigned char>(n);
    std::memmove(dst + 1, bytes.data(), n);
}

} // namespace toolbox

extern "C" {

void NumToString(long theNum, Str255 theString) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%ld", theNum);
    toolbox::SetPascal(theString, std::string_view(text, size_t(n)));
}

void StringToNum(ConstStr255Param theString, long* theNum) {
    // The platform reads an optional sign and then digits, ignoring what follows. A number
    // beyond the range of long is pinned to the end of the range on its side.
    std::string_view s = toolbox::PascalView(theString);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    const unsigned long limit = negative ? 0UL - (unsigned long)LONG_MIN : (unsigned long)LONG_MAX;
    unsigned long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        unsigned digit = unsigned(s[i] - '0');
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    if (!negative)
        *theNum = long(value);
    else
        *theNum = value == limit ? LONG_MIN : -long(value);
}

void CopyCStringToPascal(const char* src, Str255 dst) {
    toolbox::SetPascal(dst, src ? src : "");
}

} // extern "C"
