// A short string held by value, so that procedures can return one and callers can join
// them: SimpleSetControlText(w, sig, 1, Num2Text(p) + "/" + Num2Text(last)). The bytes are
// Mac Roman; a join longer than 255 characters is cut to 255.
#pragma once

#include "toolbox/MacTypes.h"

#include <algorithm>
#include <cstring>
#include <string_view>

struct PString {
    Str255 s{};

    PString() = default;
    // From C text, taken byte for byte.
    PString(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }
    PString(ConstStr255Param p) {
        if (p) Assign(std::string_view(reinterpret_cast<const char*>(p + 1), p[0]));
    }
    explicit PString(std::string_view bytes) { Assign(bytes); }

    operator ConstStr255Param() const { return s; }
    unsigned char Length() const { return s[0]; }
    std::string_view View() const { return {reinterpret_cast<const char*>(s + 1), s[0]}; }
    bool operator==(const PString& o) const { return View() == o.View(); }

  private:
    void Assign(std::string_view bytes) {
        size_t n = std::min<size_t>(bytes.size(), 255);
        s[0] = static_cast<unsigned char>(n);
        std::memcpy(s + 1, bytes.data(), n);
    }
};

inline PString operator+(const PString& a, const PString& b) {
    char joined[510];
    std::memcpy(joined, a.s + 1, a.Length());
    std::memcpy(joined + a.Length(), b.s + 1, b.Length());
    return PString(std::string_view(joined, size_t(a.Length()) + b.Length()));
}
