// CCheckTcpThread: every 3000 ms proves that the agent's command port
// (127.0.0.1, the agent port, forwarded by adb) still answers, and ends with
// its failed flag set at the first failed check. The socket-thread manager
// owns it, starts it and reads the flag.
//
// One check: a first connection proves that the port accepts; a second
// carries the keep-alive text "sever alive on:<tick>" with its NUL byte and
// reads until the agent closes. Both connections carry 3000 ms time-outs
// (connect, send and receive), so a hung agent fails the check instead of
// holding the thread, and both are closed before the check returns.
//
// Threading: the failed flag is written by the thread and read by others.
// StartUnlessRunning and StopLoop may be called from any thread (the window
// thread starts the loop for a new phone, the connection's threads stop it
// when the phone is dropped); `control_lock_` makes each one step. A stop
// shuts the sockets of a check in progress down (`sockets_lock_` guards
// them), so it waits for no time-out.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "foundation/base/win_thread.h"

class CCheckTcpThread : public base::WinThread {
 public:
  static constexpr uint32_t kIntervalMs = 3000;
  static constexpr int kSocketTimeoutMs = 3000;

  // `port` 0: the configured agent port (adb::AgentPort()).
  explicit CCheckTcpThread(int port = 0);
  ~CCheckTcpThread() override;

  int32_t GetFailed() const { return failed_.load(); }
  // Starts the loop afresh, its failed flag cleared, unless it runs.
  bool StartUnlessRunning();
  // Ends the loop and waits for it: a check in progress is cut short and
  // does not count as a failure; the failed flag stays as it was.
  void StopLoop();
  // One check: 0 when the agent accepted the text and closed, negative on failure.
  int CheckTcp();

 protected:
  void Run() override;

 private:
  class CheckSocket;

  // The check's sockets, so that a stop can shut them down; false when
  // the loop is being stopped (the socket is then not used).
  bool Track(int fd);
  void Untrack(int fd);
  void CutChecks(bool cut);
  bool IsCut();

  int port_;
  std::atomic<int32_t> failed_{0};
  std::mutex control_lock_;
  std::mutex sockets_lock_;
  int sockets_[2] = {-1, -1};
  bool cut_ = false;
};
