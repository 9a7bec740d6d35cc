// The effect's records: relative geometry and the configuration record.
#pragma once

#include "toolbox/MacTypes.h"
#include "toolbox/Quartz.h"

// A rectangle relative to a frame: 0.0 is the frame's left or top edge, 1.0 its right or
// bottom edge. Note the field order, which is not Rect's.
struct RelRect {
    double left;
    double right;
    double top;
    double bottom;
};

struct RelPoint {
    double horiz;
    double vert;
};

// A fixed array whose elements are numbered 1..N, as the record's sliders and colours are.
template <typename T, int N>
struct OneBasedArray {
    T items[N];
    static constexpr int count = N;
    T& operator[](int i) { return items[i - 1]; }
    const T& operator[](int i) const { return items[i - 1]; }
};

constexpr int kNumSliders = 6;
constexpr int kNumColors = 6;

// Video standards of the dialog's preview.
enum : SInt16 { kMediaNTSC = 1, kMediaPAL = 2, kMediaHD = 3 };

// The effect configuration. One fixed-size block without pointers into other records;
// the two images belong to the record that holds them.
struct PluginDataRec {
    RelRect startRel; // the effect rectangle: the one rendering uses and the dialog edits
    RelRect endRel;   // kept, copied and stored; nothing draws with it
    OneBasedArray<SInt16, kNumSliders> sliders; // 1..3: red, green, blue amounts in percent
    OneBasedArray<RGBColor, kNumColors> colors; // the dialog's colour boxes
    RGBColor frameStartColor;                   // outline of the rectangle in the dialog
    RGBColor frameEndColor;
    SInt16 mediaType; // kMediaNTSC, kMediaPAL or kMediaHD
    SInt16 method;
    CGImageRef theOriginalImage; // never shared: a copy of the record gets NULL
    CGImageRef theRendered;      // a copy of the record gets its own copy
    Boolean keepProps;
};
typedef PluginDataRec* PluginDataPtr;
