#include "platform/clock.h"

#include <time.h>

namespace platform {

namespace {
constexpr int64_t kNanosPerSecond = 1000000000;

timespec Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts;
}
}  // namespace

uint64_t MonotonicMs() {
  timespec ts = Now();
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int64_t PerformanceCounter() {
  timespec ts = Now();
  return static_cast<int64_t>(ts.tv_sec) * kNanosPerSecond + ts.tv_nsec;
}

int64_t PerformanceFrequency() { return kNanosPerSecond; }

}  // namespace platform
