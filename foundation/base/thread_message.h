// Message numbers and the record of the thread message queues.
#pragma once

#include <cstdint>

namespace base {

constexpr uint32_t kMsgQuit = 0x0012;   // WM_QUIT (18)
constexpr uint32_t kMsgTimer = 0x0113;  // WM_TIMER; wParam = the timer id

// One thread message: the number and its two parameters.
struct ThreadMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

}  // namespace base
