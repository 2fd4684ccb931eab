#include "foundation/base/thread_message_queue.h"

#include <algorithm>

namespace base {

void ThreadMessageQueue::Open() {
  std::lock_guard<std::mutex> hold(mutex_);
  messages_.clear();
  timers_.clear();
  open_ = true;
}

void ThreadMessageQueue::Close() {
  std::lock_guard<std::mutex> hold(mutex_);
  open_ = false;
  messages_.clear();
  timers_.clear();
}

bool ThreadMessageQueue::Post(const ThreadMessage& message) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!open_) return false;
    messages_.push_back(message);
  }
  changed_.notify_all();
  return true;
}

bool ThreadMessageQueue::TakeLocked(ThreadMessage* message, bool remove) {
  if (!messages_.empty()) {
    *message = messages_.front();
    if (remove) messages_.pop_front();
    return true;
  }
  const Clock::time_point now = Clock::now();
  auto earliest = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due <= now && (earliest == timers_.end() || it->second.due < earliest->second.due)) earliest = it;
  }
  if (earliest == timers_.end()) return false;
  message->message = kMsgTimer;
  message->wParam = earliest->first;
  message->lParam = 0;
  if (remove) earliest->second.due = now + std::chrono::milliseconds(earliest->second.interval_ms);
  return true;
}

bool ThreadMessageQueue::Get(ThreadMessage* message) {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    if (TakeLocked(message, true)) return message->message != kMsgQuit;
    if (timers_.empty()) {
      changed_.wait(hold);
    } else {
      Clock::time_point next = Clock::time_point::max();
      for (const auto& timer : timers_) next = std::min(next, timer.second.due);
      changed_.wait_until(hold, next);
    }
  }
}

bool ThreadMessageQueue::Peek(ThreadMessage* message, bool remove) {
  std::lock_guard<std::mutex> hold(mutex_);
  return TakeLocked(message, remove);
}

bool ThreadMessageQueue::SetTimer(uintptr_t id, uint32_t ms) {
  if (ms == 0) ms = 1;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!open_) return false;
    timers_[id] = Timer{ms, Clock::now() + std::chrono::milliseconds(ms)};
  }
  changed_.notify_all();
  return true;
}

bool ThreadMessageQueue::KillTimer(uintptr_t id) {
  std::lock_guard<std::mutex> hold(mutex_);
  return timers_.erase(id) > 0;
}

}  // namespace base
