#pragma once
#include <cstdint>

// Milliseconds on a monotonic clock, wrapping around at 2^32 like the
// system tick counter of Windows; differences of two readings taken as a
// signed 32-bit number stay right across the wrap.
uint32_t tickCount();
