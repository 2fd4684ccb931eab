// base_thread: a thread with a stop event, the agreed way to ask the
// thread's start routine to end (it polls IsTheadStop).
//
// Linux has no safe way to end a thread from outside, so nothing here ends a
// thread by force: TerminateThread and the destructor set the stop event and
// join the thread, which therefore must watch its stop event.
#pragma once

#include <cstdint>

#include "utility/utility_export.h"

// Start routine: the argument given to CreateThread; returns the exit code.
typedef unsigned (*base_thread_start_routine)(void* argument);

// Creation flag: the thread waits for ResumeThread before it runs.
constexpr uint32_t BASE_CREATE_SUSPENDED = 0x00000004;
// Exit code of a thread that is still running.
constexpr int BASE_STILL_ACTIVE = 259;

class UTILITY_API base_thread {
 public:
  base_thread();
  ~base_thread();
  base_thread(const base_thread&) = delete;
  base_thread& operator=(const base_thread&) = delete;

  // Resets the stop event and starts the routine. security is not used;
  // stackSize 0 takes the default. True when the thread was started.
  bool CreateThread(void* security, uint32_t stackSize, base_thread_start_routine start,
                    void* argument, uint32_t creationFlags);
  // Waits up to milliseconds (0xFFFFFFFF: no limit) for the stop event;
  // true when it is set.
  bool IsTheadStop(uint32_t milliseconds);
  // Ends the calling thread with the code (call it on the started thread).
  void ExitThead(int code);
  // Sets the stop event and joins the thread. True: with no thread there is
  // nothing left to end.
  bool TerminateThread(int code);
  // Sets the stop event; unless noWait, waits for the thread to end. The
  // thread is forgotten either way (called on the thread itself it never waits).
  void StopThread(bool noWait);
  // The thread's exit code, BASE_STILL_ACTIVE while it runs, 0 without a thread.
  int GetExitCode();
  // Previous suspend count. Only a thread created suspended can be held:
  // suspending a running thread fails with -1 (Linux has no such call).
  int SuspendThread();
  int ResumeThread();

 private:
  UTILITY_HIDDEN void Forget(bool join);

  uint32_t m_threadId;
  void* m_hThread;     // internal thread record, null until started
  void* m_hStopEvent;  // manual-reset stop event
};
