// Shared by the phone data tests: private folders for the configuration,
// the posts read back from the message sink, and a wait on them.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/adb/tests/temp_folder.h"
#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/message_payloads.h"
#include "app/core/phone_message.h"

namespace data_test {

constexpr uintptr_t kMainWnd = 0x6160;

// Waits until `done` holds; true when it did within `ms`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The text without its line breaks (requests are written one element a line).
inline std::string WithoutBreaks(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
  return text;
}

// The configuration's folders in a private temporary folder.
class PrivateFolders {
 public:
  PrivateFolders() {
    const std::string root = folder_.path();
    setenv("PHONEDECK_PROGRAM_DIR", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    (void)!system(("mkdir -p '" + root + "/tmp'").c_str());
    CConfigMgr::Instance()->Init();
    CConfigMgr::Instance()->SetMainWnd(kMainWnd);
  }
  ~PrivateFolders() {
    CConfigMgr::Instance()->SetMainWnd(0);
    unsetenv("TMPDIR");
  }
  const testing_support::TempFolder& folder() const { return folder_; }

 private:
  testing_support::TempFolder folder_;
};

// Every post since the last Clear, in order (screenshot bitmaps are freed).
class Posts {
 public:
  ~Posts() { Drain(); }
  const std::vector<PostedMessage>& All() {
    Drain();
    return all_;
  }
  void Clear() {
    Drain();
    all_.clear();
  }
  // Waits until a post matches; true when one did within `ms`.
  bool WaitFor(const std::function<bool(const PostedMessage&)>& match, int ms = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      for (const PostedMessage& m : All())
        if (match(m)) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  bool WaitFor(uint32_t message, uintptr_t wParam, int ms = 30000) {
    return WaitFor([&](const PostedMessage& m) { return m.message == message && m.wParam == wParam; }, ms);
  }
  bool WaitForMessage(uint32_t message, int ms = 30000) {
    return WaitFor([&](const PostedMessage& m) { return m.message == message; }, ms);
  }
  // The posts of one message, as (wParam, lParam).
  std::vector<std::pair<uintptr_t, intptr_t>> Of(uint32_t message) {
    std::vector<std::pair<uintptr_t, intptr_t>> out;
    for (const PostedMessage& m : All())
      if (m.message == message) out.emplace_back(m.wParam, m.lParam);
    return out;
  }

 private:
  void Drain() {
    for (const PostedMessage& m : message_sink::Take()) {
      if (m.message == msg::kScreenshotInMemory) delete reinterpret_cast<ScreenBitmap*>(m.wParam);
      if (m.message == msg::kDriverDownloadProgress) delete reinterpret_cast<DriverDownloadProgress*>(m.lParam);
      all_.push_back(m);
    }
  }
  std::vector<PostedMessage> all_;
};

}  // namespace data_test
