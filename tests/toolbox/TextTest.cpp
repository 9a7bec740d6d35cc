#include "toolbox/CoreFoundation.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/TextUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using toolbox::MacRomanToUtf8;
using toolbox::Utf8ToMacRoman;

TEST(Text, MacRomanRoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(Utf8ToMacRoman(MacRomanToUtf8(all)), all);
    EXPECT_EQ(MacRomanToUtf8("\x8E\xA5\xDB"), "é•€");
    EXPECT_EQ(Utf8ToMacRoman("a☃b"), "a?b");
}

TEST(Text, ShortStringsAreCutAt255AndNumbersConvert) {
    Str255 s;
    toolbox::SetPascal(s, std::string(300, 'x'));
    EXPECT_EQ(toolbox::PascalView(s), std::string(255, 'x'));

    NumToString(-2147483647L - 1, s);
    EXPECT_EQ(toolbox::PascalView(s), "-2147483648");
    struct Case {
        const char* text;
        long number;
    } cases[] = {{"-2147483648", -2147483648L},
                 {"+12abc", 12},
                 {"-", 0},
                 {"9223372036854775807", LONG_MAX},
                 {"9223372036854775808", LONG_MAX}, // pinned
                 {"-9223372036854775808", LONG_MIN},
                 {"-99999999999999999999", LONG_MIN}};
    for (const Case& c : cases) {
        toolbox::SetPascal(s, c.text);
        long n = 1;
        StringToNum(s, &n);
        EXPECT_EQ(n, c.number) << c.text;
    }
}

TEST(Text, CFStringsConvertBetweenEncodingsAndCount) {
    Str255 p;
    toolbox::SetPascal(p, "Caf\x8E");
    CFStringRef s = CFStringCreateWithPascalString(kCFAllocatorDefault, p, kCFStringEncodingMacRoman);
    EXPECT_EQ(toolbox::CFStringToUtf8(s), "Café");
    EXPECT_EQ(CFStringGetLength(s), 4);
    char utf8[16];
    ASSERT_TRUE(CFStringGetCString(s, utf8, sizeof utf8, kCFStringEncodingUTF8));
    EXPECT_STREQ(utf8, "Café");
    EXPECT_FALSE(CFStringGetCString(s, utf8, 5, kCFStringEncodingUTF8)); // needs 6 bytes
    Str255 back;
    ASSERT_TRUE(CFStringGetPascalString(s, back, sizeof back, kCFStringEncodingMacRoman));
    EXPECT_EQ(toolbox::PascalView(back), "Caf\x8E");
    CFStringRef snowman = CFStringCreateWithCString(nullptr, "a☃", kCFStringEncodingUTF8);
    EXPECT_FALSE(CFStringGetPascalString(snowman, back, sizeof back, kCFStringEncodingMacRoman));
    CFRelease(snowman);
    CFRelease(s);
    EXPECT_EQ(CFSTR("same"), CFSTR("same"));
}

TEST(Rects, ArithmeticFollowsHalfOpenRectangles) {
    Rect r;
    SetRect(&r, 10, 20, 110, 220); // left, top, right, bottom
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.left, 10);
    OffsetRect(&r, -10, -20);
    EXPECT_TRUE(PtInRect(Point{0, 0}, &r));
    EXPECT_FALSE(PtInRect(Point{200, 0}, &r)); // bottom edge is outside
    EXPECT_FALSE(PtInRect(Point{0, 100}, &r)); // right edge is outside
    InsetRect(&r, 60, 10);
    EXPECT_TRUE(EmptyRect(&r));
}
