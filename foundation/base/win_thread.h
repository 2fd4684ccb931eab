// base::WinThread: a thread running one virtual Run(), asked to stop through
// a stop event. Derived threads poll WaitForStop(ms) between rounds:
//   void Run() override { while (!WaitForStop(3000)) { ...one round... } }
//
// States: 0 idle, 1 created, 2 running; 0 again once Run() has returned.
// Threading: Start/Stop/Join are called by the owner thread only; the worker
// writes the state. The worker itself may call Stop (it only signals) and
// may destroy the object (its thread is then let go, and nothing of the
// object is touched after Run returns). A derived class whose Run() uses its own members must
// call Stop() in its own destructor (the base destructor runs after the
// derived members are gone).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/base/event.h"

namespace base {

class WinThread {
 public:
  enum State { kIdle = 0, kCreated = 1, kRunning = 2 };

  explicit WinThread(const char16_t* name = nullptr);
  virtual ~WinThread();
  WinThread(const WinThread&) = delete;
  WinThread& operator=(const WinThread&) = delete;

  // Stops an earlier thread (waiting for it), then starts a new one.
  bool Start();
  // Signals the stop event and waits for the thread without a time limit;
  // nothing when there is no thread.
  void Stop();
  void Join();
  int GetState() const { return state_.load(); }
  const std::u16string& GetName() const { return name_; }

  // True when the stop event is set within `ms` milliseconds.
  bool WaitForStop(uint32_t ms);

 protected:
  virtual void Run() {}

 private:
  static unsigned ThreadProc(WinThread* self, std::shared_ptr<std::atomic<bool>> alive);

  std::u16string name_;
  std::atomic<int> state_{kIdle};
  std::unique_ptr<ManualEvent> stop_event_;
  std::thread thread_;
  // Held by Start while it stores thread_; the worker passes it before Run,
  // so its own reads of thread_ (Stop, destruction) follow the store.
  std::mutex start_lock_;
  // False once the object is gone (read by the worker after Run).
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace base
