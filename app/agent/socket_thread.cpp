#include "app/agent/socket_thread.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/phone_ports.h"
#include "app/agent/base_response.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"
#include "platform/clock.h"

namespace {

constexpr size_t kChunk = 4096;
constexpr size_t kReplyStep = 512;

// Made on first use by Instance (any thread). Release stops and joins every
// thread of the manager before the pointer goes, so a worker that still asks
// for the manager meanwhile gets the live one.
std::atomic<CSocketThreadMgr*> g_manager{nullptr};
std::mutex g_manager_lock;
std::atomic<bool> g_retry_running{false};

bool Cancelled(ExchangeControl* control) { return control != nullptr && control->IsCancelled(); }

// Sleeps `ms`, in short steps so a cancel ends it; false when cancelled.
bool SleepUnlessCancelled(ExchangeControl* control, int ms) {
  for (int slept = 0; slept < ms; slept += 20) {
    if (Cancelled(control)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(20, ms - slept)));
  }
  return !Cancelled(control);
}

void SetTimeout(int fd, int option, int ms) {
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, option, &tv, sizeof(tv));
}

int SocketConnect(ExchangeControl* control) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    PD_LOG_ERROR("socket failed!");
    return -1;
  }
  if (control != nullptr && !control->Attach(fd)) {
    close(fd);
    return -1;
  }
  CSocketThreadMgr* manager = CSocketThreadMgr::Instance();
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(manager->GetPort()));
  if (inet_pton(AF_INET, manager->GetHost().c_str(), &addr.sin_addr) != 1 ||
      connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    PD_LOG_ERROR("connect failed: %d", errno);
    if (control != nullptr) control->CloseAttached(fd);
    else close(fd);
    return -1;
  }
  PD_LOG_INFO("connect succs!");
  return fd;
}

// The time left before `deadline` (monotonic ms), at most `cap`; 0 when past.
int MsLeft(uint64_t deadline, int cap) {
  const uint64_t now = platform::MonotonicMs();
  if (now >= deadline) return 0;
  return static_cast<int>(std::min<uint64_t>(deadline - now, static_cast<uint64_t>(cap)));
}

// Sends every byte or fails: partial sends continue until the time-out or
// the exchange's deadline, whichever comes first.
bool SocketSendPackage(int fd, const std::u16string& request, uint64_t exchange_deadline) {
  PD_LOG_INFO("Send data");
  const std::string bytes = WStringToMultiByte(request, CP_UTF8);
  const uint64_t deadline = std::min(platform::MonotonicMs() + kAgentSocketTimeoutMs, exchange_deadline);
  const int limit = MsLeft(deadline, kAgentSocketTimeoutMs);
  if (limit <= 0) {
    PD_LOG_ERROR("Send RequestPackage Error: the exchange is past its deadline");
    return false;
  }
  SetTimeout(fd, SO_SNDTIMEO, limit);
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR && platform::MonotonicMs() < deadline) continue;
    PD_LOG_ERROR("Send RequestPackage Error");
    return false;
  }
  return true;
}

// Receives until the peer closes: 0 on a normal close, negative on error,
// on a reply longer than `max_bytes` and past `deadline` (monotonic ms).
int SocketRecvAll(int fd, CBufferT<unsigned char>& reply, uint64_t deadline, size_t max_bytes) {
  PD_LOG_INFO("Recv data");
  // Each receive waits at most the socket time-out, and never past the
  // exchange's deadline: the time-out shrinks as the deadline nears.
  int timeout = MsLeft(deadline, kAgentSocketTimeoutMs);
  SetTimeout(fd, SO_RCVTIMEO, std::max(timeout, 1));
  linger lin{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof(lin));
  reply.Reset(kChunk);
  for (;;) {
    const int left = MsLeft(deadline, kAgentSocketTimeoutMs);
    if (left <= 0) {
      PD_LOG_ERROR("recv failed: the exchange is past its deadline (%zu bytes so far)", reply.GetLength());
      return -1;
    }
    if (left < timeout) {
      timeout = left;
      SetTimeout(fd, SO_RCVTIMEO, timeout);
    }
    // Straight into the buffer, as much as its room takes (at least a
    // chunk); the room grows with the buffer, so a long reply needs few
    // reads. One byte more than the limit is asked for, so a reply that
    // goes on past it is seen.
    size_t room = 0;
    unsigned char* to = reply.AppendRoom(kChunk, &room);
    if (to == nullptr) {
      PD_LOG_ERROR("recv failed: %d", ENOMEM);
      return -1;
    }
    const size_t allowed = max_bytes - reply.GetLength();  // the length never passes the limit here
    if (allowed < room) room = allowed + 1;
    ssize_t n = recv(fd, to, room, 0);
    if (n > 0 && reply.GetLength() + static_cast<size_t>(n) > max_bytes) {
      PD_LOG_ERROR("recv failed: the reply is longer than %zu bytes", max_bytes);
      return -1;
    }
    if (n > 0) {
      reply.Commit(static_cast<size_t>(n));
      continue;
    }
    if (n == 0) {
      PD_LOG_INFO("Connection closed");
      return 0;
    }
    if (errno == EINTR) continue;
    PD_LOG_ERROR("recv failed: %d", errno);
    return -1;
  }
}

void SocketClose(int fd, ExchangeControl* control) {
  PD_LOG_INFO("closesocket!");
  if (control != nullptr) control->CloseAttached(fd);
  else close(fd);
}

bool RunRetryHeld(ExchangeControl* control) {
  PD_LOG_TRACE("retry socket!");
  CXmlDocument document;
  BuildRequestXml(document, u"connect", u"GET");
  bool ok = false;
  if (SleepUnlessCancelled(control, 100)) ok = ExchangeAndCheck(document.GetDocument(), control) == 0;
  if (!ok && !Cancelled(control)) {
    CAdbCmdTool::Instance()->ForwardPorts();
    for (int i = 0; i < 4 && !ok; ++i) {
      if (!SleepUnlessCancelled(control, 500)) break;
      ok = ExchangeAndCheck(document.GetDocument(), control) == 0;
    }
  }
  PD_LOG_TRACE("retry socket result=%d!", ok ? 1 : 0);
  g_retry_running.store(false);
  return ok;
}

// Waits while another thread retries; false when cancelled meanwhile.
bool WaitForRetry(ExchangeControl* control) {
  while (g_retry_running.load()) {
    PD_LOG_TRACE("wait retry socket!");
    if (!SleepUnlessCancelled(control, 100)) return false;
  }
  return true;
}

}  // namespace

// ExchangeControl ------------------------------------------------------------

void ExchangeControl::Cancel() {
  std::lock_guard<std::mutex> hold(lock_);
  cancelled_ = true;
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
}

bool ExchangeControl::IsCancelled() {
  std::lock_guard<std::mutex> hold(lock_);
  return cancelled_;
}

void ExchangeControl::Reset() {
  std::lock_guard<std::mutex> hold(lock_);
  cancelled_ = false;
}

bool ExchangeControl::Attach(int fd) {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelled_) return false;
  fd_ = fd;
  return true;
}

void ExchangeControl::CloseAttached(int fd) {
  std::lock_guard<std::mutex> hold(lock_);
  if (fd_ == fd) fd_ = -1;
  close(fd);
}

// Exchange --------------------------------------------------------------------

int ExchangePackage(CBufferT<unsigned char>& reply, const std::u16string& request,
                    ExchangeControl* control) {
  const ExchangeLimits limits = CSocketThreadMgr::Instance()->GetLimits();
  const uint64_t deadline = platform::MonotonicMs() + static_cast<uint64_t>(std::max(limits.deadline_ms, 0));
  const int fd = SocketConnect(control);
  if (fd < 0) return -1;
  int result = -1;
  if (SocketSendPackage(fd, request, deadline)) result = SocketRecvAll(fd, reply, deadline, limits.max_reply_bytes);
  SocketClose(fd, control);
  if (result < 0 || Cancelled(control)) return -1;
  PD_LOG_INFO("get package success!");
  return 0;
}

int ExchangeAndCheck(const std::u16string& request, ExchangeControl* control) {
  CBufferT<unsigned char> reply(kReplyStep);
  if (ExchangePackage(reply, request, control) < 0) return -1;
  CXmlDocument document;
  return CheckResponse(document, reply) ? 0 : -1;
}

bool IsAgentRetryRunning() { return g_retry_running.load(); }

bool RetryAgentLink(ExchangeControl* control) {
  bool expected = false;
  if (g_retry_running.compare_exchange_strong(expected, true)) return RunRetryHeld(control);
  if (!WaitForRetry(control)) return false;
  CXmlDocument document;
  BuildRequestXml(document, u"connect", u"GET");
  return ExchangeAndCheck(document.GetDocument(), control) == 0;
}

void ExecuteRequest(CCmdPackage* package, ExchangeControl* control) {
  if (package == nullptr) return;
  CBufferT<unsigned char> reply(kReplyStep);
  int status = ExchangePackage(reply, package->GetRequest(), control);
  if (status < 0 && !Cancelled(control)) {
    bool expected = false;
    bool again = false;
    // Testing and setting the retry flag is one step: of several threads
    // failing at once exactly one retries, the others wait for it.
    if (g_retry_running.compare_exchange_strong(expected, true)) {
      again = RunRetryHeld(control);
    } else {
      again = WaitForRetry(control);
    }
    if (again) status = ExchangePackage(reply, package->GetRequest(), control);
  }

  CBaseResponse* target = package->GetTarget();
  if (target == nullptr) {
    delete package;
    return;
  }
  CmdResponse response;
  response.status = status;
  response.package = package;
  if (status >= 0) response.reply.Swap(reply);  // handed on, not copied
  const bool cancelled = Cancelled(control);
  target->OnResponse(response);  // deletes the package
  if (status < 0 && !cancelled) PostPhoneMessage(msg::kAgentLinkFailed, 0, 0);
}

void SendGetCommand(CBaseResponse* target, const std::u16string& command) {
  CXmlDocument document;
  BuildRequestXml(document, command, u"GET");
  CCmdPackage* package = new (std::nothrow) CCmdPackage(command);
  if (package == nullptr) {
    PD_LOG_ERROR("Out of memory!");
    return;
  }
  package->SetRequest(document.GetDocument());
  package->SetTarget(target);
  CSocketThreadMgr::Instance()->RunAsync(package);
}

// CSocketThread -----------------------------------------------------------------

CSocketThread::CSocketThread(CCmdPackage* package)
    : package_(package), target_(package != nullptr ? package->GetTarget() : nullptr) {}

CSocketThread::~CSocketThread() {
  Cancel();
  Stop();
  delete package_.exchange(nullptr);
}

void CSocketThread::Run() { ExecuteRequest(package_.exchange(nullptr), &control_); }

// CSocketThreadMgr ----------------------------------------------------------------

CSocketThreadMgr* CSocketThreadMgr::Instance() {
  CSocketThreadMgr* manager = g_manager.load();
  if (manager != nullptr) return manager;
  std::lock_guard<std::mutex> hold(g_manager_lock);
  if (g_manager.load() == nullptr) g_manager.store(new CSocketThreadMgr());
  return g_manager.load();
}

void CSocketThreadMgr::Release() {
  std::lock_guard<std::mutex> hold(g_manager_lock);
  CSocketThreadMgr* manager = g_manager.load();
  if (manager == nullptr) return;
  manager->StopAll();
  manager->check_tcp_.StopLoop();
  g_manager.store(nullptr);
  delete manager;
}

CSocketThreadMgr::CSocketThreadMgr() = default;

CSocketThreadMgr::~CSocketThreadMgr() {
  StopAll();
  check_tcp_.StopLoop();
}

void CSocketThreadMgr::SetHost(const std::string& host, int port) {
  std::lock_guard<std::mutex> hold(endpoint_lock_);
  host_ = host;
  port_ = port;
}

std::string CSocketThreadMgr::GetHost() {
  std::lock_guard<std::mutex> hold(endpoint_lock_);
  return host_.empty() ? std::string(adb::kAgentHost) : host_;
}

int CSocketThreadMgr::GetPort() {
  std::lock_guard<std::mutex> hold(endpoint_lock_);
  return port_ != 0 ? port_ : adb::AgentPort();
}

void CSocketThreadMgr::SetLimits(const ExchangeLimits& limits) {
  std::lock_guard<std::mutex> hold(endpoint_lock_);
  limits_ = limits;
}

ExchangeLimits CSocketThreadMgr::GetLimits() {
  std::lock_guard<std::mutex> hold(endpoint_lock_);
  return limits_;
}

void CSocketThreadMgr::PurgeFinished() {
  base::CSingleLock hold(&lock_);
  for (auto it = threads_.begin(); it != threads_.end();) {
    if ((*it)->GetState() == base::WinThread::kIdle) {
      delete *it;
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

void CSocketThreadMgr::RunAsync(CCmdPackage* package) {
  if (package == nullptr) return;
  PurgeFinished();
  CSocketThread* thread = new (std::nothrow) CSocketThread(package);
  if (thread == nullptr) {
    PD_LOG_ERROR("Out of memory!");
    delete package;
    return;
  }
  base::CSingleLock hold(&lock_);
  threads_.push_back(thread);
  thread->Start();
}

void CSocketThreadMgr::StopAll() {
  std::list<CSocketThread*> stopping;
  {
    base::CSingleLock hold(&lock_);
    stopping.swap(threads_);
    // Cut every exchange short first, so the joins below are quick.
    for (CSocketThread* thread : stopping) thread->Cancel();
  }
  for (CSocketThread* thread : stopping) delete thread;
}

void CSocketThreadMgr::StopFor(const CBaseResponse* target) {
  // A reply handler being joined may send a new command to the same target:
  // repeat until none is left.
  for (;;) {
    std::list<CSocketThread*> stopping;
    {
      base::CSingleLock hold(&lock_);
      for (auto it = threads_.begin(); it != threads_.end();) {
        if ((*it)->GetTarget() == target) {
          (*it)->Cancel();
          stopping.push_back(*it);
          it = threads_.erase(it);
        } else {
          ++it;
        }
      }
    }
    if (stopping.empty()) return;
    for (CSocketThread* thread : stopping) delete thread;
  }
}

size_t CSocketThreadMgr::ThreadCount() {
  base::CSingleLock hold(&lock_);
  return threads_.size();
}
