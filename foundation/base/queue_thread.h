// CBaseQueuethread / CBaseOperThread: a worker thread with a private message
// queue (records guarded by a base_Mutex, a semaphore counting posts).
//
//   class CMyWorker : public CBaseOperThread {
//     uint32_t Run() override {
//       QueueMessage msg;
//       while (!IsQuit()) { GetMessage(msg); if (IsQuit()) break; ... }
//       return 0;
//     }
//   };
//
// Stop() sets the quit flag, posts message 18 (WM_QUIT) and waits for the
// thread. There is no forced termination: destroying an object whose thread
// still runs stops it the same way (quit, then join). A derived class whose
// Run() uses its own members must call Stop() in its own destructor.
// The worker itself may stop and even destroy the object: its thread is then
// let go, and nothing of the object is touched after Run returns.
// Threading: any thread may post; one worker receives; Start/Stop belong to
// the owner.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "foundation/base/event.h"
#include "foundation/base/locks.h"

// One record of the private queue, in the layout of a window message; posts
// fill message, wParam and lParam.
struct QueueMessage {
  uintptr_t hwnd = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  uint32_t time = 0;
  int32_t x = 0;
  int32_t y = 0;
};

class CBaseQueuethread {
 public:
  static constexpr uint32_t kQuitMessage = 18;

  CBaseQueuethread();
  virtual ~CBaseQueuethread();
  CBaseQueuethread(const CBaseQueuethread&) = delete;
  CBaseQueuethread& operator=(const CBaseQueuethread&) = delete;

  bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void GetMessage(QueueMessage& out);   // blocks until a record is there
  bool PeekMessage(QueueMessage& out);  // false when the queue is empty
  void ClearMessages();                 // drops records; frees nothing they point to
  bool IsQuit() const { return quit_.load(); }
  void PostQuit();
  // PostQuit, signal the exit event, wait for the thread (unless `noWait`:
  // then it is waited for at destruction).
  void Stop(bool noWait = false);
  // No forced termination on this platform: stops cooperatively. True.
  bool Terminate(uint32_t exitCode);
  bool IsRunning() const { return thread_.joinable(); }

 protected:
  // Starts `entry` on a new thread; false when one is held or creation fails.
  bool CreateThread(std::function<uint32_t()> entry);

 private:
  void JoinRetired();

  std::thread thread_;
  std::thread retired_;
  base::ManualEvent exit_event_;
  std::deque<QueueMessage> queue_;
  base_Mutex queue_lock_;
  CBase_threadSemaphore posted_{0};
  std::atomic<bool> quit_{false};
  std::atomic<uint32_t> exit_code_{0};
  // Held while thread_ is stored; the thread passes it before its run, so
  // its own reads of thread_ (stopping, destruction) follow the store.
  std::mutex start_lock_;
  // False once the object is gone (read by the worker after its entry).
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

class CBaseOperThread : public CBaseQueuethread {
 public:
  CBaseOperThread() = default;
  ~CBaseOperThread() override;

  // False while a thread is held (the first parameter is kept); else starts
  // Run(). A stopped worker is not restarted (its quit flag stays set).
  bool Start(uintptr_t parameter);
  uintptr_t GetParameter() const { return parameter_; }

 protected:
  virtual uint32_t Run() { return 0; }

 private:
  uintptr_t parameter_ = 0;
};
