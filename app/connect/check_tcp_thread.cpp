#include "app/connect/check_tcp_thread.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/adb/phone_ports.h"
#include "foundation/base/log.h"
#include "platform/clock.h"

// One socket of a check, known to its thread while it is open.
class CCheckTcpThread::CheckSocket {
 public:
  explicit CheckSocket(CCheckTcpThread* owner)
      : owner_(owner), fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (fd_ >= 0 && !owner_->Track(fd_)) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~CheckSocket() {
    if (fd_ < 0) return;
    owner_->Untrack(fd_);
    ::close(fd_);
  }
  CheckSocket(const CheckSocket&) = delete;
  CheckSocket& operator=(const CheckSocket&) = delete;
  int fd() const { return fd_; }

 private:
  CCheckTcpThread* owner_;
  int fd_;
};

namespace {

void SetTimeouts(int fd, int ms) {
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// Connects within `ms`; the socket is left blocking with its time-outs set.
bool ConnectWithin(int fd, int port, int ms) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = inet_addr(adb::kAgentHost);
  const int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int rc;
    do {
      rc = ::poll(&p, 1, ms);
    } while (rc < 0 && errno == EINTR);
    int error = 0;
    socklen_t length = sizeof error;
    connected = rc > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    if (!connected && error != 0) errno = error;
    if (rc == 0) errno = ETIMEDOUT;
  }
  ::fcntl(fd, F_SETFL, flags);
  if (connected) SetTimeouts(fd, ms);
  return connected;
}

}  // namespace

CCheckTcpThread::CCheckTcpThread(int port) : base::WinThread(u"check_tcp_thread"), port_(port) {}

CCheckTcpThread::~CCheckTcpThread() { StopLoop(); }

bool CCheckTcpThread::StartUnlessRunning() {
  std::lock_guard<std::mutex> hold(control_lock_);
  if (GetState() != kIdle) return false;
  CutChecks(false);
  failed_.store(0);
  return Start();
}

void CCheckTcpThread::StopLoop() {
  std::lock_guard<std::mutex> hold(control_lock_);
  CutChecks(true);
  Stop();
}

bool CCheckTcpThread::Track(int fd) {
  std::lock_guard<std::mutex> hold(sockets_lock_);
  if (cut_) return false;
  for (int& slot : sockets_) {
    if (slot < 0) {
      slot = fd;
      return true;
    }
  }
  return false;
}

void CCheckTcpThread::Untrack(int fd) {
  std::lock_guard<std::mutex> hold(sockets_lock_);
  for (int& slot : sockets_) {
    if (slot == fd) slot = -1;
  }
}

void CCheckTcpThread::CutChecks(bool cut) {
  std::lock_guard<std::mutex> hold(sockets_lock_);
  cut_ = cut;
  if (!cut) return;
  for (int fd : sockets_) {
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  }
}

bool CCheckTcpThread::IsCut() {
  std::lock_guard<std::mutex> hold(sockets_lock_);
  return cut_;
}

void CCheckTcpThread::Run() {
  do {
    WaitForStop(kIntervalMs);
    if (CheckTcp() < 0 && !IsCut()) {  // a check cut short by a stop is no failure
      failed_.store(1);
      PD_LOG_INFO("check_tcp failed tcp error! ");
    }
  } while (failed_.load() != 1 && !WaitForStop(0));
  PD_LOG_INFO("check_tcp_thread keep_alive exit! ");
}

int CCheckTcpThread::CheckTcp() {
  const int port = port_ != 0 ? port_ : adb::AgentPort();
  CheckSocket probe(this);
  if (probe.fd() < 0) {
    PD_LOG_ERROR("socket failed! ");
    return -1;
  }
  if (!ConnectWithin(probe.fd(), port, kSocketTimeoutMs)) {
    PD_LOG_ERROR("connect failed: %d", errno);
    return -1;
  }
  PD_LOG_TRACE("connect succs! ");

  char text[512];
  std::snprintf(text, sizeof text, "sever alive on:%u", static_cast<uint32_t>(platform::MonotonicMs()));

  CheckSocket link(this);
  if (link.fd() < 0) {
    PD_LOG_ERROR("socket failed! ");
    return -1;
  }
  if (!ConnectWithin(link.fd(), port, kSocketTimeoutMs)) {
    PD_LOG_ERROR("connect failed: %d", errno);
    return -1;
  }
  PD_LOG_TRACE("send keep_alive package! ");
  const size_t length = std::strlen(text) + 1;  // with its NUL byte
  if (::send(link.fd(), text, length, MSG_NOSIGNAL) != static_cast<ssize_t>(length)) {
    PD_LOG_ERROR("send failed: %d", errno);
    return -1;
  }
  // The agent answers and closes; a peer still sending when the receive
  // time-out has passed since the send (a trickle) fails the check as one
  // that sends nothing does.
  const uint64_t deadline = platform::MonotonicMs() + kSocketTimeoutMs;
  ssize_t received = -1;
  char block[512];
  for (;;) {
    const uint64_t now = platform::MonotonicMs();
    if (now >= deadline) {
      errno = ETIMEDOUT;
      break;
    }
    pollfd ready{link.fd(), POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(deadline - now));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) {
      if (polled == 0) errno = ETIMEDOUT;
      break;
    }
    received = ::recv(link.fd(), block, sizeof block, MSG_DONTWAIT);
    if (received == 0) break;
    if (received < 0 && errno != EINTR && errno != EAGAIN) break;
  }
  if (received == 0) {
    PD_LOG_TRACE("send connection closed ");
    return 0;
  }
  PD_LOG_ERROR("recv failed: %d", errno);
  return -1;
}
