#pragma once
// Time limits inside tests. A cross build's tests run under qemu-user, several
// times slower than natively: a wait for something that does come is given
// EZX_TEST_TIME_FACTOR times as long there (set by the build: 1 natively).
// Only the limit grows; a test that passes takes as long as before.

#ifndef EZX_TEST_TIME_FACTOR
#define EZX_TEST_TIME_FACTOR 1
#endif

constexpr int scaledTimeout(int milliseconds)
{
    return milliseconds * EZX_TEST_TIME_FACTOR;
}
