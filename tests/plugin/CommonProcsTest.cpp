#include "util/commonprocs.h"

#include "PaddedBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

std::string Text(const PString& s) {
    return std::string(s.View());
}

TEST(String2Real, ParsesItsOwnSmallGrammarInAFixedOrderOfArithmetic) {
    struct Case {
        const char* text;
        double expected;
    } cases[] = {{"", 0.0},       {"abc", 0.0}, {"12,5", 12.5},         {"-3.25", -(3 + 2 * 0.1 + 5 * 0.01)},
                 {"-.5", -0.5},   {"1e5", 1.0}, {"1.2.3", 1 + 2 * 0.1}, {"+5", 0.0},
                 {"0.3", 3 * 0.1}};
    for (const Case& c : cases) {
        double value = 99;
        String2Real(PString(c.text), value);
        EXPECT_EQ(value, c.expected) << c.text;
    }
    EXPECT_NE(3 * 0.1, 0.3); // the point of the fixed order
}

TEST(Real2String, WritesFourTruncatedDecimalsAndKeepsTheSignBelowOne) {
    struct Case {
        double value;
        const char* expected;
    } cases[] = {{3.0, "3"},        {0.05, "0.0500"},     {2.3, "2.2999"}, {5.0001, "5"},
                 {-0.5, "-0.5000"}, {-0.0001, "-0.0001"}, {NAN, "0"},      {1e12, "2147483647"}};
    for (const Case& c : cases)
        EXPECT_EQ(Text(Real2String(c.value)), c.expected) << c.value;
}

// Commands, numbers and C strings: short texts are padded, long ones cut.
TEST(Commands, TextsAndCodesConvertAndShortTextsArePaddedWithSpaces) {
    EXPECT_EQ(String2Command(PString("Infos")), FourCC("Info"));
    Str255 shortWithJunk = "\x02okXY"; // the bytes past the length are not read
    EXPECT_EQ(String2Command(shortWithJunk), FourCC("ok  "));
    EXPECT_EQ(Text(Command2String(FourCC("not!"))), "not!");
    EXPECT_EQ(Text(Num2Text(-42)), "-42");
    Str255 s = "\x03"
               "abc";
    ZeroDelimitString(s);
    EXPECT_STREQ(reinterpret_cast<char*>(s + 1), "abc");
    for (int length : {254, 255}) {
        std::memset(s + 1, 'x', 255);
        s[0] = UInt8(length);
        ZeroDelimitString(s);
        EXPECT_EQ(std::strlen(reinterpret_cast<char*>(s + 1)), 254u) << length;
    }
}

TEST(Strings, PlatformStringsRoundTripInMacRoman) {
    PString text("caf\x8E"); // café
    CFStringRef cf = MakeCFString(text);
    EXPECT_EQ(toolbox::CFStringToUtf8(cf), "café");
    EXPECT_EQ(CF2PString(cf), text);
    CFRelease(cf);
    EXPECT_EQ(CF2PString(nullptr).Length(), 0);
    // Characters Mac Roman cannot hold: nothing, rather than a text with '?' in their place.
    for (const char* utf8 : {"\xE6\x97\xA5\xE6\x9C\xAC.png", "caf\xC3"}) { // 日本.png; a cut sequence
        cf = CFStringCreateWithCString(nullptr, utf8, kCFStringEncodingUTF8);
        EXPECT_EQ(CF2PString(cf).Length(), 0) << utf8;
        CFRelease(cf);
    }
}

Rect R(SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) {
    return Rect{top, left, bottom, right};
}

TEST(Rectangles, ProportionalFitsRoundHalfUpCentringAndVerifying) {
    EXPECT_EQ(KeepPropsWithFixedHorizontal(R(0, 5, 100, 5), R(1, 2, 3, 4)), R(1, 2, 3, 4));
    EXPECT_EQ(KeepPropsWithFixedVertical(R(0, 0, 100, 200), R(10, 10, 60, 11)), R(10, 10, 60, 110));
    EXPECT_EQ(KeepPropsWithFixedVertical(R(5, 0, 5, 100), R(1, 2, 3, 4)), R(1, 2, 3, 4));
    // 3 x 2 to a width of 5: 3.33.. rounds to 3; to a width of 7: 4.67 rounds to 5.
    EXPECT_EQ(KeepPropsWithFixedHorizontal(R(0, 0, 2, 3), R(0, 0, 1, 5)).bottom, 3);
    EXPECT_EQ(KeepPropsWithFixedHorizontal(R(0, 0, 2, 3), R(0, 0, 1, 7)).bottom, 5);
    EXPECT_EQ(CalcProportionalRectForFrame(R(0, 0, 480, 640), R(0, 0, 320, 320)), R(0, 0, 240, 320));
    EXPECT_EQ(CalcProportionalRectForFrame(R(0, 0, 390, 400), R(0, 0, 300, 400)), R(0, 0, 390, 400));
    EXPECT_EQ(CalcProportionalRectForFrame(R(0, 0, 200, 100), R(10, 10, 110, 60)), R(0, 0, 100, 50));
    Rect r = R(100, 100, 104, 103);
    CenterRectInRect(r, R(-10, -10, 10, 10));
    EXPECT_EQ(r, R(-2, -1, 2, 2));
    r = R(10, 20, 0, 5);
    VerifyRect(r);
    EXPECT_EQ(r, R(0, 5, 10, 20));
}

// The first and last column with ink (not white) in rows 10..29, or (-1, -1).
std::pair<int, int> Span(PaddedBuffer& b) {
    int first = -1, last = -1;
    for (int h = 0; h < b.width(); ++h)
        for (int v = 10; v < 30; ++v)
            if (b.At(h, v).red != 255 || b.At(h, v).green != 255 || b.At(h, v).blue != 255) {
                if (first < 0) first = h;
                last = h;
            }
    return {first, last};
}

TEST(JustifiedText, TheBackgroundBoxFitsTheTextAtEachJustification) {
    const PixRec white{255, 255, 255, 255};
    PaddedBuffer canvas(200, 40, white);
    SavedGWorldRec saved;
    SetGWorld(canvas.gw(), nullptr);
    const PString text("Wash");
    const Rect box = R(10, 20, 30, 180);
    const int len = StringWidth(text), centred = 20 + 160 / 2 - len / 2 - 1;
    const std::pair<SInt16, std::pair<int, int>> cases[] = {{kJustifyLeft, {20, 21 + len}},
                                                            {kJustifyCenter, {centred, centred + 1 + len}},
                                                            {kJustifyRight, {178 - len, 179}},
                                                            {7, {20, 179}}}; // unknown: the whole box
    for (const auto& [justification, span] : cases) {
        canvas.Fill(white);
        PaintJustifiedRect(box, justification, text);
        EXPECT_EQ(Span(canvas), span) << justification;
    }
    DrawJustifiedTextInBox(box, kJustifyRight, 12.0, text);
    Point pen;
    GetPen(&pen);
    // Baseline: bottom - height/2 + size/2 - trunc(size * 0.2).
    EXPECT_EQ(pen.v, 30 - 10 + 6 - 2);
    EXPECT_EQ(pen.h, 180 - 1);
}

} // namespace
