#pragma once
// Fixed-point arithmetic of the slide flow: values with 10 fraction bits
// (1024 is 1.0) and angles in 1/1024 of a turn (256 is a quarter turn).
// Layout, projection, shading and easing all run on these integers.

#include <cstdint>

constexpr int kFixedOne = 1024;
constexpr int kSineTableSize = 65;

// T[i] = floor(1024 * sin(2*pi*(16*i + 0.5)/1024)), i = 0..64.
extern const int kSineTable[kSineTableSize];

// (a*b) >> 10 on a 64-bit product, rounding toward minus infinity, low 32 bits kept.
inline int mulFixed(int a, int b)
{
    const int64_t p = int64_t(a) * int64_t(b);
    return int(uint32_t(uint64_t(p >> 10)));
}

// About a*1024/b: (a << 20) / b truncating, then >> 10, low 32 bits kept.
// A zero divisor has no value; it gives 0 here so that no caller can trap on
// it. Callers that must tell the case apart test the divisor first.
inline int divFixed(int a, int b)
{
    if (b == 0)
        return 0;
    const int64_t q = (int64_t(a) * (int64_t(1) << 20)) / int64_t(b);
    return int(uint32_t(uint64_t(q >> 10)));
}

// Sine of an angle from the table with linear interpolation; never 0.
inline int sineFixed(int a)
{
    // Bring negative angles into range without looping over huge values:
    // adding multiples of 1024 does not change the low 10 bits.
    if (a < 0)
        a = int(uint32_t(a) & 1023u);
    a &= 1023;
    const int i = a >> 4;
    const int p = kSineTable[i];
    const int q = kSineTable[i + 1];
    return p + (q - p) * (a - 16 * i) / 16;
}

inline int cosineFixed(int a)
{
    // a + 256 computed without signed overflow; only the low 10 bits count.
    return sineFixed(int(uint32_t(a) + 256u) & 1023);
}


// 32-bit arithmetic that wraps on overflow, as the phone's processor does,
// instead of being undefined: positions far outside the frame may wrap, but
// every index taken from them is checked before use.
inline int add32(int a, int b) { return int(uint32_t(a) + uint32_t(b)); }
inline int sub32(int a, int b) { return int(uint32_t(a) - uint32_t(b)); }
inline int mul32(int a, int b) { return int(uint32_t(a) * uint32_t(b)); }
