// Monotonic time for time-outs and the function trace.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock (not the wall clock); only differences mean anything.
uint64_t MonotonicMs();

// High-resolution monotonic counter and its ticks per second.
int64_t PerformanceCounter();
int64_t PerformanceFrequency();

}  // namespace platform
