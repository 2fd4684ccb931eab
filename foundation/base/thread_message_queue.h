// base::ThreadMessageQueue: the message queue of one base_thread, with
// window-style timers.
//
// Posted messages come out in posting order. A timer delivers kMsgTimer with
// wParam = its id every `ms` milliseconds, only when no posted message is
// waiting (as WM_TIMER does), and never more than one pending per timer.
// The queue accepts posts only while open (from the thread's start until its
// Run() returns).
// Thread safety: any thread may post, set and kill timers; one thread (the
// owner of the queue) gets and peeks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>

#include "foundation/base/thread_message.h"

namespace base {

class ThreadMessageQueue {
 public:
  ThreadMessageQueue() = default;
  ThreadMessageQueue(const ThreadMessageQueue&) = delete;
  ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

  void Open();   // empties the queue and its timers, then accepts posts
  void Close();  // refuses posts; drops what is queued and the timers

  bool Post(const ThreadMessage& message);  // false when closed
  // Blocks until a message (or a due timer); false when it is kMsgQuit.
  bool Get(ThreadMessage* message);
  // Non-blocking: true when a message (or a due timer) was there; `remove`
  // takes it off the queue.
  bool Peek(ThreadMessage* message, bool remove);

  // Starts or restarts timer `id` (first tick `ms` from now; 0 counts as 1).
  bool SetTimer(uintptr_t id, uint32_t ms);
  bool KillTimer(uintptr_t id);  // false when there is no such timer

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    uint32_t interval_ms;
    Clock::time_point due;
  };

  // With the lock held: the next message, if any, without waiting.
  bool TakeLocked(ThreadMessage* message, bool remove);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ThreadMessage> messages_;
  std::map<uintptr_t, Timer> timers_;
  bool open_ = false;
};

}  // namespace base
