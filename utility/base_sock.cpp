// base_sock over BSD sockets, with the event dispatch on poll() and an
// eventfd that wakes the dispatch thread.
#include "utility/base_sock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "utility/internal/sock_errors.h"

using utility_internal::MapSocketErrno;

namespace {

// The last failed socket call of this thread, as errno.
thread_local int t_lastErrno = 0;

void RecordFailure() { t_lastErrno = errno; }

uint16_t PortOf(const sockaddr_in& a) { return ntohs(a.sin_port); }

std::string DottedText(uint32_t addressNetworkOrder) {
  in_addr in;
  in.s_addr = addressNetworkOrder;
  char text[INET_ADDRSTRLEN] = {0};
  if (inet_ntop(AF_INET, &in, text, sizeof(text)) == nullptr) return std::string();
  return text;
}

bool SetIntOption(int handle, int level, int name, int value) {
  if (handle < 0) return false;
  if (setsockopt(handle, level, name, &value, sizeof(value)) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}

bool SetTimeOption(int handle, int name, int milliseconds) {
  if (handle < 0) return false;
  timeval tv;
  tv.tv_sec = milliseconds / 1000;
  tv.tv_usec = (milliseconds % 1000) * 1000;
  if (setsockopt(handle, SOL_SOCKET, name, &tv, sizeof(tv)) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}

int PendingError(int handle) {
  int error = 0;
  socklen_t len = sizeof(error);
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return errno;
  return error;
}

bool IsListening(int handle) {
  int listening = 0;
  socklen_t len = sizeof(listening);
  return getsockopt(handle, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && listening != 0;
}

int BytesWaiting(int handle) {
  int available = 0;
  if (ioctl(handle, FIONREAD, &available) != 0) available = 0;
  return available;
}

bool IsConnected(int handle) {
  sockaddr_in peer;
  socklen_t len = sizeof(peer);
  return getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &len) == 0;
}

}  // namespace

// One dispatch run: created by SelectEvent, owned by the socket until
// StopSelect and by its thread until the thread ends.
namespace {
// The dispatch run whose thread this is (null on other threads).
thread_local const void* t_dispatchRun = nullptr;
}  // namespace

struct base_sock::EventDispatch {
  base_sock* owner = nullptr;
  int socket = BASE_INVALID_SOCKET;
  int mask = 0;
  int wakeFd = -1;
  std::atomic<bool> stop{false};
  std::atomic<bool> writeArmed{false};
  std::atomic<bool> readArmed{true};  // cleared by a read event, set by Recv / RecvFrom
  std::thread thread;

  ~EventDispatch() {
    if (wakeFd >= 0) close(wakeFd);
  }

  void Wake() const {
    const uint64_t one = 1;
    ssize_t ignored = write(wakeFd, &one, sizeof(one));
    (void)ignored;
  }
};

base_sock::base_sock() : m_socket(BASE_INVALID_SOCKET), m_connectPending(false) {}

base_sock::~base_sock() {
  StopSelect(true);
  const int handle = m_socket.exchange(BASE_INVALID_SOCKET);
  if (handle >= 0) close(handle);
}

bool base_sock::Create(int type, int protocol, uint16_t /*port*/) {
  Close(false);
  const int handle = socket(AF_INET, type | SOCK_CLOEXEC, protocol);
  if (handle < 0) {
    RecordFailure();
    return false;
  }
  m_socket = handle;
  return true;
}

void base_sock::Close(bool terminate) {
  StopSelect(terminate);
  const int handle = m_socket.exchange(BASE_INVALID_SOCKET);
  if (handle >= 0) close(handle);
  m_connectPending = false;
}

void base_sock::Attach(int handle) { m_socket = handle; }
void base_sock::SetHandle(int handle) { Attach(handle); }
int base_sock::GetHandle() const { return m_socket; }

bool base_sock::Bind(const sockaddr_in* address) {
  if (m_socket < 0 || address == nullptr) return false;
  if (bind(m_socket, reinterpret_cast<const sockaddr*>(address), sizeof(*address)) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}

bool base_sock::Listen(int backlog) {
  if (m_socket < 0) return false;
  if (listen(m_socket, backlog) != 0) {
    RecordFailure();
    return false;
  }
  // A dispatch that already runs now watches for connections.
  std::lock_guard<std::mutex> lock(m_dispatchLock);
  if (m_dispatch) m_dispatch->Wake();
  return true;
}

bool base_sock::Connect(const sockaddr_in* address) {
  if (m_socket < 0 || address == nullptr) return false;
  const int rc = connect(m_socket, reinterpret_cast<const sockaddr*>(address), sizeof(*address));
  const bool underWay = rc != 0 && errno == EINPROGRESS;
  if (rc != 0 && !underWay) {
    RecordFailure();
    return false;
  }
  std::lock_guard<std::mutex> lock(m_dispatchLock);
  if (underWay || m_dispatch) {
    m_connectPending = true;
    if (m_dispatch) m_dispatch->Wake();
  }
  if (underWay) t_lastErrno = EWOULDBLOCK;
  return true;
}

bool base_sock::ShutDown() {
  if (m_socket < 0) return false;
  if (shutdown(m_socket, SHUT_WR) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}

void base_sock::RearmWrite() {
  std::lock_guard<std::mutex> lock(m_dispatchLock);
  if (m_dispatch && !m_dispatch->writeArmed.exchange(true)) m_dispatch->Wake();
}

int base_sock::Send(const char* data, int len) {
  if (m_socket < 0 || len < 0 || (data == nullptr && len > 0)) return -1;
  const ssize_t n = send(m_socket, data, static_cast<size_t>(len), MSG_NOSIGNAL);
  if (n < 0) {
    RecordFailure();
    if (errno == EAGAIN || errno == EWOULDBLOCK) RearmWrite();
    return -1;
  }
  return static_cast<int>(n);
}

void base_sock::RearmRead() {
  std::lock_guard<std::mutex> lock(m_dispatchLock);
  // A read from a handler needs no wake: the dispatch thread looks at the
  // flag again before it polls.
  if (m_dispatch && !m_dispatch->readArmed.exchange(true) && t_dispatchRun != m_dispatch.get()) {
    m_dispatch->Wake();
  }
}

int base_sock::Recv(char* buffer, int size) {
  if (m_socket < 0 || buffer == nullptr || size < 0) return -1;
  const ssize_t n = recv(m_socket, buffer, static_cast<size_t>(size), 0);
  // Re-armed after the read: armed before it, the dispatch could raise the
  // event for the very data this call is about to take.
  const int error = errno;
  RearmRead();
  errno = error;
  if (n < 0) {
    RecordFailure();
    return -1;
  }
  return static_cast<int>(n);
}

int base_sock::SendTo(const char* data, int len, const char* ip, uint16_t port) {
  if (ip == nullptr) return -1;
  sockaddr_in to;
  std::memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = inet_addr(ip);
  to.sin_port = htons(port);
  return SendTo(data, len, &to);
}

int base_sock::SendTo(const char* data, int len, const sockaddr_in* address) {
  if (m_socket < 0 || address == nullptr || len < 0 || (data == nullptr && len > 0)) return -1;
  const ssize_t n = sendto(m_socket, data, static_cast<size_t>(len), MSG_NOSIGNAL,
                           reinterpret_cast<const sockaddr*>(address), sizeof(*address));
  if (n < 0) {
    RecordFailure();
    if (errno == EAGAIN || errno == EWOULDBLOCK) RearmWrite();
    return -1;
  }
  return static_cast<int>(n);
}

int base_sock::RecvFrom(char* buffer, int size, char* ip, uint16_t* port) {
  sockaddr_in from;
  std::memset(&from, 0, sizeof(from));
  const int n = RecvFrom(buffer, size, &from);
  if (n > 0) {
    if (ip != nullptr) {
      const std::string text = DottedText(from.sin_addr.s_addr);
      std::strncpy(ip, text.c_str(), 15);
      ip[15] = '\0';
    }
    if (port != nullptr) *port = PortOf(from);
  }
  return n;
}

int base_sock::RecvFrom(char* buffer, int size, sockaddr_in* address) {
  if (m_socket < 0 || buffer == nullptr || size < 0) return -1;
  sockaddr_in from;
  socklen_t len = sizeof(from);
  const ssize_t n = recvfrom(m_socket, buffer, static_cast<size_t>(size), 0,
                             reinterpret_cast<sockaddr*>(&from), &len);
  const int error = errno;
  RearmRead();  // after the read, as in Recv
  errno = error;
  if (n < 0) {
    RecordFailure();
    return -1;
  }
  if (address != nullptr) *address = from;
  return static_cast<int>(n);
}

bool base_sock::_SetNoblock(int handle, bool on) {
  if (handle < 0) return false;
  int value = on ? 1 : 0;
  if (ioctl(handle, FIONBIO, &value) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}
bool base_sock::_SetRecvBufferSize(int handle, int bytes) {
  return SetIntOption(handle, SOL_SOCKET, SO_RCVBUF, bytes);
}
bool base_sock::_SetSendBufferSize(int handle, int bytes) {
  return SetIntOption(handle, SOL_SOCKET, SO_SNDBUF, bytes);
}
bool base_sock::_SetRecvTimeOut(int handle, int milliseconds) {
  return SetTimeOption(handle, SO_RCVTIMEO, milliseconds);
}
bool base_sock::_SetSendTimeOut(int handle, int milliseconds) {
  return SetTimeOption(handle, SO_SNDTIMEO, milliseconds);
}
bool base_sock::_SetReuseAddr(int handle, bool on) {
  return SetIntOption(handle, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
}

bool base_sock::SetNoblock(bool on) { return _SetNoblock(m_socket, on); }
bool base_sock::SetRecvBufferSize(int bytes) { return _SetRecvBufferSize(m_socket, bytes); }
bool base_sock::SetSendBufferSize(int bytes) { return _SetSendBufferSize(m_socket, bytes); }
bool base_sock::SetRecvTimeOut(int milliseconds) { return _SetRecvTimeOut(m_socket, milliseconds); }
bool base_sock::SetSendTimeOut(int milliseconds) { return _SetSendTimeOut(m_socket, milliseconds); }
bool base_sock::SetReuseAddr(bool on) { return _SetReuseAddr(m_socket, on); }
bool base_sock::SetBroadcast(bool on) {
  return SetIntOption(m_socket, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0);
}

namespace {

bool LocalAddress(int handle, sockaddr_in* out) {
  socklen_t len = sizeof(*out);
  std::memset(out, 0, sizeof(*out));
  if (handle < 0) return false;
  if (getsockname(handle, reinterpret_cast<sockaddr*>(out), &len) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}

bool RemoteAddress(int handle, sockaddr_in* out) {
  socklen_t len = sizeof(*out);
  std::memset(out, 0, sizeof(*out));
  if (handle < 0) return false;
  if (getpeername(handle, reinterpret_cast<sockaddr*>(out), &len) != 0) {
    RecordFailure();
    return false;
  }
  return true;
}

}  // namespace

uint16_t base_sock::GetLocalPort() const {
  sockaddr_in a;
  return LocalAddress(m_socket, &a) ? PortOf(a) : 0;
}
uint32_t base_sock::GetLocalIpn() const {
  sockaddr_in a;
  return LocalAddress(m_socket, &a) ? a.sin_addr.s_addr : 0;
}
std::string base_sock::GetLocalIps() const {
  sockaddr_in a;
  return LocalAddress(m_socket, &a) ? DottedText(a.sin_addr.s_addr) : std::string();
}
uint16_t base_sock::GetRemotePort() const {
  sockaddr_in a;
  return RemoteAddress(m_socket, &a) ? PortOf(a) : 0;
}
uint32_t base_sock::GetRemoteIpn() const {
  sockaddr_in a;
  return RemoteAddress(m_socket, &a) ? a.sin_addr.s_addr : 0;
}
std::string base_sock::GetRemoteIps() const {
  sockaddr_in a;
  return RemoteAddress(m_socket, &a) ? DottedText(a.sin_addr.s_addr) : std::string();
}

int base_sock::GetErrno() const { return MapSocketErrno(t_lastErrno); }

std::string base_sock::GetError() const {
  char buf[512];
  const char* text = strerror_r(t_lastErrno, buf, sizeof(buf));
  std::string message = text ? text : "";
  if (message.size() > 511) message.resize(511);
  return message;
}

int base_sock::_GetHostName(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  return gethostname(buffer, static_cast<size_t>(size));
}

hostent* base_sock::_GetHostByName(const char* name) {
  if (name == nullptr) return nullptr;
  return gethostbyname(name);
}

void base_sock::OnReceive(int) {}
void base_sock::OnSend(int) {}
void base_sock::OnAccept(int) {}
void base_sock::OnClose(int) {}
void base_sock::OnConnect(int) {}
void base_sock::OnOutOfBandData(int) {}

// ---------------------------------------------------------------------------
// Event dispatch

bool base_sock::SelectEvent(int networkEvents) {
  std::lock_guard<std::mutex> lock(m_dispatchLock);
  if (m_dispatch || m_socket < 0) return false;
  auto run = std::make_shared<EventDispatch>();
  run->owner = this;
  run->socket = m_socket;
  run->mask = networkEvents;
  run->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (run->wakeFd < 0) {
    RecordFailure();
    return false;
  }
  if (!_SetNoblock(m_socket, true)) return false;
  // A socket that can already send says so once.
  int type = 0;
  socklen_t len = sizeof(type);
  getsockopt(m_socket, SOL_SOCKET, SO_TYPE, &type, &len);
  run->writeArmed = (type != SOCK_STREAM) || IsConnected(m_socket);
  try {
    run->thread = std::thread([run] { SelectThread(run.get()); });
  } catch (const std::system_error&) {
    return false;
  }
  m_dispatch = std::move(run);
  return true;
}

void base_sock::StopSelect(bool /*terminate*/) {
  // Nothing ends a thread by force here: terminate or not, the dispatch
  // thread is woken and joined (or, from its own handler, left to end).
  std::shared_ptr<EventDispatch> run;
  {
    std::lock_guard<std::mutex> lock(m_dispatchLock);
    run.swap(m_dispatch);
  }
  if (!run) return;
  run->stop = true;
  run->Wake();
  if (run->thread.get_id() == std::this_thread::get_id()) {
    run->thread.detach();
  } else if (run->thread.joinable()) {
    run->thread.join();
  }
}

unsigned base_sock::SelectThread(void* param) {
  auto* run = static_cast<EventDispatch*>(param);
  t_dispatchRun = run;
  run->owner->SelectFunc(run);
  return 0;
}

void base_sock::SelectFunc(EventDispatch* run) {
  const int handle = run->socket;
  const int mask = run->mask;
  int type = 0;
  socklen_t typeLen = sizeof(type);
  getsockopt(handle, SOL_SOCKET, SO_TYPE, &type, &typeLen);
  const bool stream = type == SOCK_STREAM;
  bool connected = stream && IsConnected(handle);
  bool closeRaised = false;

  while (!run->stop) {
    const bool listening = stream && IsListening(handle);
    const bool connecting = stream && m_connectPending;
    short events = 0;
    if (listening) {
      if (mask & BASE_FD_ACCEPT) events |= POLLIN;
    } else if (connecting) {
      events |= POLLOUT;
    } else if (!stream || (connected && !closeRaised)) {
      const bool readArmed = run->readArmed;
      if ((mask & BASE_FD_READ) && readArmed) events |= POLLIN;
      // An orderly close waits while read events are held for unread data.
      if (stream && (mask & BASE_FD_CLOSE) &&
          (readArmed || !(mask & BASE_FD_READ) || BytesWaiting(handle) == 0)) {
        events |= POLLRDHUP;
      }
      if ((mask & BASE_FD_WRITE) && run->writeArmed) events |= POLLOUT;
      if (mask & BASE_FD_OOB) events |= POLLPRI;
    }

    // The wake descriptor always; the socket only while some event of the
    // mask can happen (an idle socket would report hang-ups without end).
    pollfd fds[2];
    fds[0] = pollfd{run->wakeFd, POLLIN, 0};
    fds[1] = pollfd{handle, events, 0};
    const int ready = poll(fds, events != 0 ? 2 : 1, 1000);
    if (run->stop) break;
    if (ready <= 0) continue;
    if (fds[0].revents & POLLIN) {
      uint64_t drained;
      ssize_t ignored = read(run->wakeFd, &drained, sizeof(drained));
      (void)ignored;
    }
    const short rev = events != 0 ? fds[1].revents : 0;
    if (rev == 0) continue;
    if (rev & POLLNVAL) break;  // the descriptor was closed under the dispatch

    if (listening) {
      if (rev & POLLIN) OnAccept(0);
      continue;
    }

    if (connecting) {
      if (rev & (POLLOUT | POLLERR | POLLHUP)) {
        const int error = PendingError(handle);
        m_connectPending = false;
        if (error == 0) {
          connected = true;
          run->writeArmed = true;
        }
        if (mask & BASE_FD_CONNECT) OnConnect(MapSocketErrno(error));
      }
      continue;
    }

    if (!stream) {
      if ((mask & BASE_FD_READ) && run->readArmed && (rev & (POLLIN | POLLERR))) {
        run->readArmed = false;
        OnReceive(0);
      } else if (rev & POLLERR) {
        PendingError(handle);  // nobody reads it: clear it so poll settles
      } else if ((mask & BASE_FD_WRITE) && (rev & POLLOUT) && run->writeArmed.exchange(false)) {
        OnSend(0);
      } else if ((mask & BASE_FD_OOB) && (rev & POLLPRI)) {
        OnOutOfBandData(0);
      }
      continue;
    }

    if (!connected || closeRaised) continue;
    const int available = BytesWaiting(handle);
    const bool dataWaiting = (rev & POLLIN) && available > 0;
    const bool peerGone = (rev & (POLLRDHUP | POLLHUP | POLLERR)) || ((rev & POLLIN) && available == 0);
    if ((mask & BASE_FD_READ) && dataWaiting) {
      run->readArmed = false;
      OnReceive(0);
    } else if (peerGone) {
      closeRaised = true;
      if (mask & BASE_FD_CLOSE) OnClose(MapSocketErrno(PendingError(handle)));
    } else if ((mask & BASE_FD_WRITE) && (rev & POLLOUT) && run->writeArmed.exchange(false)) {
      OnSend(0);
    } else if ((mask & BASE_FD_OOB) && (rev & POLLPRI)) {
      OnOutOfBandData(0);
    }
  }
}
