// base_thread: a thread with its own message queue (see
// thread_message_queue.h). Derived threads override Run() with a loop:
//   uint32_t Run() override {
//     base::ThreadMessage msg;
//     while (GetMessage(&msg)) { ... }   // false once kMsgQuit arrives
//     return 0;
//   }
// The queue exists from StartThread() on, so a post made right after the
// start is never lost. StopThread() posts kMsgQuit and waits for the thread.
// There is no forced termination: a thread still running when the object is
// destroyed is stopped the same way (quit, then join).
//
// The thread itself may stop and even destroy the object: its thread is then
// let go, and nothing of the object is touched after Run returns.
// Threading: StartThread/StopThread/TerminateThread are called by the owner;
// PostThreadMsg, SetTimer and KillTimer from any thread; GetMessage and
// PeekMessage only from the thread itself. A derived class whose Run() uses
// its own members must call StopThread() in its own destructor.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <cstdint>
#include <thread>

#include "foundation/base/event.h"
#include "foundation/base/thread_message.h"
#include "foundation/base/thread_message_queue.h"

class base_thread {
 public:
  base_thread();
  virtual ~base_thread();
  base_thread(const base_thread&) = delete;
  base_thread& operator=(const base_thread&) = delete;

  // False while a thread is held; else stores `parameter` and starts Run().
  bool StartThread(uintptr_t parameter = 0);
  // Signals the exit event, posts kMsgQuit and waits for the thread (unless
  // `noWait`: then the thread is only waited for at the next start or at
  // destruction).
  virtual void StopThread(bool noWait = false);
  // No forced termination on this platform: stops the thread cooperatively
  // (as StopThread) and signals the exit event. True.
  bool TerminateThread(uint32_t exitCode);

  // False when the queue is not open (no thread running).
  bool PostThreadMsg(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // True when the exit event is set within `ms` milliseconds.
  bool IsTheadStop(uint32_t ms);

  bool SetTimer(uintptr_t id, uint32_t ms) { return queue_.SetTimer(id, ms); }
  bool KillTimer(uintptr_t id) { return queue_.KillTimer(id); }

  uintptr_t GetParameter() const { return parameter_; }
  bool IsRunning() const { return thread_.joinable(); }

 protected:
  virtual uint32_t Run() { return 0; }

  bool GetMessage(base::ThreadMessage* message) { return queue_.Get(message); }
  bool PeekMessage(base::ThreadMessage* message, bool remove) { return queue_.Peek(message, remove); }

 private:
  void JoinRetired();

  std::thread thread_;
  std::thread retired_;  // a thread stopped without waiting
  base::ManualEvent exit_event_;
  base::ThreadMessageQueue queue_;
  uintptr_t parameter_ = 0;
  std::atomic<uint32_t> exit_code_{0};
  // Held while thread_ is stored; the thread passes it before its run, so
  // its own reads of thread_ (stopping, destruction) follow the store.
  std::mutex start_lock_;
  // False once the object is gone (read by the thread after Run).
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};
