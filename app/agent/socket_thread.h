// The agent transport: one TCP connection per request to the agent port
// (127.0.0.1:21220 through the adb forward; see app/adb/phone_ports.h),
// the single retry of the agent link, and one thread per asynchronous
// command.
//
// Time-outs: 200 s for sending the whole request and for each receive, and
// an overall deadline of 400 s for the whole exchange, so a peer that
// trickles its reply cannot hold a command for ever. A reply is at most
// 128 MiB (far above any phone's lists); a longer one fails the exchange.
// Stopping: CSocketThreadMgr::StopAll shuts down the sockets of running
// commands, so no stop waits for a time-out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>

#include "app/agent/buffer_t.h"
#include "app/agent/cmd_package.h"
#include "app/connect/check_tcp_thread.h"
#include "foundation/base/locks.h"
#include "foundation/base/win_thread.h"

constexpr int kAgentSocketTimeoutMs = 200000;

// What bounds one exchange: its reply's size and its whole time (connect to
// close). The defaults are the program's; tests set smaller ones.
struct ExchangeLimits {
  static constexpr size_t kDefaultMaxReplyBytes = size_t(128) << 20;
  static constexpr int kDefaultDeadlineMs = 2 * kAgentSocketTimeoutMs;
  size_t max_reply_bytes = kDefaultMaxReplyBytes;
  int deadline_ms = kDefaultDeadlineMs;
};

// Lets another thread cut a running exchange short.
// Threading: Cancel from any thread; the exchange registers its socket
// under `lock_`, so Cancel never touches a closed (possibly reused) fd.
class ExchangeControl {
 public:
  void Cancel();
  bool IsCancelled();
  // Makes the control usable for a new run (its owner's thread is idle).
  void Reset();
  // For the exchange: registers its socket (false when already cancelled)
  // and closes it.
  bool Attach(int fd);
  void CloseAttached(int fd);

 private:
  std::mutex lock_;
  int fd_ = -1;
  bool cancelled_ = false;
};

// One connection: connect, send the whole request, receive until the agent
// closes, within the manager's limits. 0 on success, -1 on any failure (a
// reply over the size limit and an exchange past its deadline among them;
// the socket is closed either way).
int ExchangePackage(CBufferT<unsigned char>& reply, const std::u16string& request,
                    ExchangeControl* control = nullptr);
// ExchangePackage and CheckResponse: 0 when the reply says success, else -1.
int ExchangeAndCheck(const std::u16string& request, ExchangeControl* control = nullptr);
// Re-establishes the agent link ("connect", re-forwarding the ports and up
// to four more attempts). Only one thread runs it at a time; a second
// caller waits for the first and then probes once.
bool RetryAgentLink(ExchangeControl* control = nullptr);
// True while some thread runs RetryAgentLink.
bool IsAgentRetryRunning();
// Runs one command on the calling thread; the outcome reaches the target,
// which then owns the package (a package without a target is freed here).
void ExecuteRequest(CCmdPackage* package, ExchangeControl* control = nullptr);
// Sends a GET without parameters to `target`, asynchronously.
void SendGetCommand(CBaseResponse* target, const std::u16string& command);

// One asynchronous command.
class CSocketThread : public base::WinThread {
 public:
  explicit CSocketThread(CCmdPackage* package);
  ~CSocketThread() override;
  // Cuts the exchange short (the target still gets its failure).
  void Cancel() { control_.Cancel(); }
  // Whom the reply goes to (fixed at construction).
  CBaseResponse* GetTarget() const { return target_; }

 protected:
  void Run() override;

 private:
  std::atomic<CCmdPackage*> package_;  // taken by Run; freed here when never run
  CBaseResponse* target_;               // the package's target, not owned
  ExchangeControl control_;
};

// The running socket threads and the agent endpoint.
// Threading: RunAsync and StopAll from any thread; `lock_` guards the list
// (never held across network I/O, only while cancelling and joining in
// StopAll). The endpoint is guarded by its own mutex.
class CSocketThreadMgr {
 public:
  static CSocketThreadMgr* Instance();
  static void Release();

  CSocketThreadMgr();
  ~CSocketThreadMgr();
  CSocketThreadMgr(const CSocketThreadMgr&) = delete;
  CSocketThreadMgr& operator=(const CSocketThreadMgr&) = delete;

  // Host "127.0.0.1" and the agent port (0: the configured default).
  void SetHost(const std::string& host, int port);
  std::string GetHost();
  int GetPort();
  // The bounds of every exchange from now on (the defaults until set).
  void SetLimits(const ExchangeLimits& limits);
  ExchangeLimits GetLimits();

  void RunAsync(CCmdPackage* package);
  void StopAll();
  // Stops (cancels and joins) every command whose reply goes to `target`,
  // so the target may be destroyed afterwards; others keep running.
  void StopFor(const CBaseResponse* target);
  size_t ThreadCount();

  // The keep-alive thread of the agent link, held here; whoever starts it
  // reads its failed flag here too. Stopped when the manager goes.
  CCheckTcpThread& CheckTcpThread() { return check_tcp_; }

 private:
  void PurgeFinished();

  CCheckTcpThread check_tcp_;
  base::CCriticalSection lock_;
  std::list<CSocketThread*> threads_;
  std::mutex endpoint_lock_;  // guards the endpoint and the limits
  std::string host_;
  int port_ = 0;
  ExchangeLimits limits_;
};
