// base::ManualEvent: a manual-reset event (set stays set until Reset).
// Thread safety: any thread may set, reset and wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace base {

class ManualEvent {
 public:
  ManualEvent() = default;
  ManualEvent(const ManualEvent&) = delete;
  ManualEvent& operator=(const ManualEvent&) = delete;

  void Set() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      signalled_ = true;
    }
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    signalled_ = false;
  }
  bool IsSet() {
    std::lock_guard<std::mutex> hold(mutex_);
    return signalled_;
  }
  // True when the event is (or becomes) set within `ms` milliseconds;
  // 0xFFFFFFFF waits without a limit.
  bool Wait(uint32_t ms) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (ms == 0xFFFFFFFFu) {
      changed_.wait(hold, [this] { return signalled_; });
      return true;
    }
    return changed_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return signalled_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace base
