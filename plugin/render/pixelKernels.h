// The inner loops of the inversion effect. Each amount turns into a per-channel table of
// the formula's results, and, for amounts 0..100, into a linear form that vector code
// evaluates in 16-bit lanes. Kernels are chosen once per pass from the setup and the
// processor: an XOR of the colour bytes when every channel is kept or inverted (the default
// amounts), else the linear form with AVX2 or SSE2 for amounts 0..100 (on processors with
// AVX-512 VBMI only where it lists no values, see below), 64-entry byte permutes with AVX-512
// VBMI, and plain table lookups otherwise. Every kernel writes exactly what the formula gives
// (see the kernel tests).
#pragma once

#include "toolbox/MacTypes.h"

#include <vector>

// The most channel values of one amount in 0..100 where the double formula falls one below
// the exact quotient (amounts 20 and 80 have five).
constexpr int kMaxLinearExceptions = 5;

// Prepared once per pass. Per-lane arrays are in the byte order of a pixel (alpha, red,
// green, blue).
struct EffectSetupRec {
    alignas(64) UInt8 red[256];
    alignas(64) UInt8 green[256];
    alignas(64) UInt8 blue[256];
    bool isXor;     // every table is the identity or the inverse
    UInt32 xorMask; // then: pixel ^ xorMask, alpha set
    // When every amount lies in 0..100: channel = (offset + slope × c) / 100, which never
    // leaves 0..25500 before the division (alpha: 25500 / 100 = 255), less one where c is
    // listed for its lane in one of the first exceptionSlots slots.
    bool isLinear;
    SInt16 slope[4];
    SInt16 offset[4];
    int exceptionSlots;
    UInt8 exceptions[kMaxLinearExceptions][4]; // repeats a lane's values to fill the slots
    UInt8 exceptionLanes[4];                   // 0xFF for the lanes that list values
    // With more than two slots in use: one 16-byte lookup finds the listed values instead.
    // Entry (c + hashKeys[lane]) & 15 of hashTable holds c where c is listed for that lane.
    bool isHashed;
    UInt8 hashKeys[4];
    alignas(16) UInt8 hashTable[16];
};

// Processes count pixels; src and dst may be the same address, not otherwise overlapping.
typedef void (*EffectKernelProc)(const UInt8* src, UInt8* dst, SInt32 count, const EffectSetupRec& setup);

// trunc(c × S + (255 − c) × I) in double precision with S = 1 − amount / 100, I = 1 − S,
// saturated to 0..255.
UInt8 InvertChannel(UInt8 c, SInt16 amount);

void PrepareEffect(EffectSetupRec& setup, SInt16 redAmount, SInt16 greenAmount, SInt16 blueAmount);

struct NamedKernelRec {
    const char* name;
    EffectKernelProc proc;
};

// The fastest kernel for this setup on this processor, within the pinned instruction set.
NamedKernelRec ChooseEffectKernel(const EffectSetupRec& setup);

// The instruction sets this processor runs kernels of, plainest first, from "scalar", "sse2",
// "avx2", "avx512vbmi". Pinning one of them makes ChooseEffectKernel use nothing newer, so
// that tests and benchmarks reach every kernel on any processor; null unpins. Returns false,
// changing nothing, for a set this processor cannot run.
std::vector<const char*> EffectInstructionSets();
bool PinEffectInstructionSet(const char* name);
