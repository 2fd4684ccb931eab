// The two messages of the main window whose parameters own a heap object,
// and how the object is freed when the message is never delivered (its
// window is gone). The receiver owns and deletes the object otherwise.
//
//   1225  lParam = DriverDownloadProgress*   (connection manager, driver download)
//   1238  wParam = ScreenBitmap*             (screenshot taken into memory)
#pragma once

#include <cstdint>
#include <vector>

#include "app/core/message_ids.h"

// One report of the driver download callback.
struct DriverDownloadProgress {
  int32_t status = 0;     // 4 downloading, 6 finished, 7 failed, other values possible
  uint32_t value = 0;
  uint64_t first = 0;
  uint64_t second = 0;
};

// A screenshot in memory: rows from the top, pixels 0xAARRGGBB.
struct ScreenBitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Frees what an undelivered message carries; nothing for the other numbers.
inline void FreeMessagePayload(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == msg::kDriverDownloadProgress) delete reinterpret_cast<DriverDownloadProgress*>(lParam);
  if (message == msg::kScreenshotInMemory) delete reinterpret_cast<ScreenBitmap*>(wParam);
}

// Whether a message carries a heap object.
inline bool MessageOwnsPayload(uint32_t message) {
  return message == msg::kDriverDownloadProgress || message == msg::kScreenshotInMemory;
}
