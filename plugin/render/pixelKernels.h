// The inner loops of the inversion effect. Each amount turns into a per-channel table of
// the formula's results; kernels are chosen once per pass from the tables and the processor:
// an XOR of the colour bytes when every channel is kept or inverted (the default amounts),
// 64-entry byte permutes on processors with AVX-512 VBMI, plain table lookups otherwise.
// Every kernel writes exactly what the formula gives (see the kernel tests).
#pragma once

#include "toolbox/MacTypes.h"

#include <vector>

// Prepared once per pass: the channel tables and, when they allow it, the XOR form.
struct EffectSetupRec {
    alignas(64) UInt8 red[256];
    alignas(64) UInt8 green[256];
    alignas(64) UInt8 blue[256];
    bool isXor;     // every table is the identity or the inverse
    UInt32 xorMask; // then: pixel ^ xorMask, alpha set
};

// Processes count pixels; src and dst may be the same address, not otherwise overlapping.
typedef void (*EffectKernelProc)(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& setup);

// trunc(c × S + (255 − c) × I) in double precision with S = 1 − amount / 100, I = 1 − S,
// saturated to 0..255.
UInt8 InvertChannel(UInt8 c, SInt16 amount);

void PrepareEffect(EffectSetupRec& setup, SInt16 redAmount, SInt16 greenAmount, SInt16 blueAmount);

// The fastest kernel for this setup on this processor.
EffectKernelProc ChooseEffectKernel(const EffectSetupRec& setup);

// Every kernel usable for this setup on this processor, by name (for tests and benchmarks).
struct NamedKernelRec {
    const char* name;
    EffectKernelProc proc;
};
std::vector<NamedKernelRec> AvailableEffectKernels(const EffectSetupRec& setup);
