#include "udp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "datagram.h"
#include "host_lookup.h"
#include "socks4.h"
#include "socks5.h"
#include "utility_link.h"

namespace udp {
namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? int(left.count()) : 0;
}

bool ConnectWithTimeout(int fd, const sockaddr_in& addr, int timeoutMs) {
  int flags = fcntl(fd, F_GETFL, 0);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int rc = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  if (rc != 0 && errno != EINPROGRESS) return false;
  if (rc != 0) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, timeoutMs) != 1) return false;
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return false;
  }
  return true;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kProxyReplyTimeoutMs) != 1) return false;
      continue;
    }
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Reads until count bytes are in out, the peer closes or the time is up.
size_t RecvExactly(int fd, uint8_t* out, size_t count, std::chrono::steady_clock::time_point deadline) {
  size_t done = 0;
  while (done < count) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, RemainingMs(deadline)) != 1) break;
    ssize_t n = recv(fd, out + done, count - done, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  return done;
}

}  // namespace

CUdpSocket::~CUdpSocket() { Close(); }

void CUdpSocket::RefreshLocalAddress() {
  localAddress_.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
    if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr, text, sizeof text);
    localAddress_ = text;
    break;
  }
  freeifaddrs(list);
}

// A new socket: the dispatch and socket of before are closed first, and
// with them any association.
bool CUdpSocket::CreateSocket() {
  CloseControl();
  state_ = kSocketClosing;
  bool ok = Create(SOCK_DGRAM, IPPROTO_UDP, 0);
  state_ = ok ? kSocketCreated : kSocketClosed;
  return ok;
}

bool CUdpSocket::StartDispatch() {
  return SelectEvent(BASE_FD_READ | BASE_FD_WRITE | BASE_FD_OOB | BASE_FD_ACCEPT | BASE_FD_CONNECT | BASE_FD_CLOSE);
}

void CUdpSocket::OnReceive(int) {
  if (handler_) handler_(kEventReceive);
}

bool CUdpSocket::OpenClient() {
  if (!CreateSocket()) return false;
  return StartDispatch();
}

bool CUdpSocket::BindWithNextPort(uint16_t port) {
  state_ = kSocketClosing;
  if (!CreateSocket()) return false;
  Log("ip:%s\n", localAddress_.c_str());
  for (;;) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    if (Bind(&addr)) break;
    if (GetErrno() != BASE_WSAEADDRINUSE || port == 65535) return false;
    ++port;
  }
  // Whether or not retries were needed, the port bound is the current one.
  currentPort_ = GetLocalPort();
  state_ = kSocketBound;
  if (!StartDispatch()) return false;
  Log("ip:%s port=%d\n", localAddress_.c_str(), int(currentPort_));
  return Associate();
}

void CUdpSocket::Close() {
  CloseControl();
  state_ = kSocketClosing;
  base_sock::Close(false);
  state_ = kSocketClosed;
}

void CUdpSocket::CloseControl() {
  std::lock_guard<std::mutex> lock(proxyMutex_);
  if (controlFd_ >= 0) close(controlFd_);
  controlFd_ = -1;
  associated_ = false;
}

bool CUdpSocket::Associate() {
  ProxySettings proxy = SharedProxy::Instance().Read();
  if (!proxy.InUse() || associated_) return true;
  // Looked up before the association is locked: a slow resolver holds up
  // neither the other senders nor a close.
  in_addr proxyAddr{};
  const bool resolved = LookupIPv4(proxy.ip, &proxyAddr, kProxyResolveTimeoutMs);
  std::lock_guard<std::mutex> lock(proxyMutex_);
  if (associated_) return true;
  if (controlFd_ >= 0) close(controlFd_);
  controlFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (controlFd_ < 0) return false;

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(proxy.port);
  bool connected = resolved;
  to.sin_addr = proxyAddr;
  if (connected) connected = ConnectWithTimeout(controlFd_, to, kProxyConnectTimeoutMs);
  bool ok = connected && RunHandshake(proxy, proxyAddr);
  if (!ok) {
    Log(connected ? "sock5代理认证失败!!!\n" : "连接sock5代理服务器失败!!!\n");
    close(controlFd_);
    controlFd_ = -1;
    return false;
  }
  ok = UdpAssociate(proxy);
  if (ok && (relayHost_.empty() || relayHost_ == "0.0.0.0")) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &proxyAddr, text, sizeof text);
    relayHost_ = text;  // a relay on "any address" is reached at the proxy's address
  }
  associated_ = ok;
  return ok;
}

bool CUdpSocket::RunHandshake(const ProxySettings& proxy, in_addr proxyAddr) {
  switch (proxy.type) {
    case 3:
      return RunSocks4Connect(socks4::ConnectRequest4a(proxy.ip, proxy.port));
    case 4:
      return RunSocks4Connect(socks4::ConnectRequest(proxyAddr, proxy.port));
    case 5:
      return RunSocks5Handshake(proxy);
    default:
      return false;
  }
}

// The CONNECT names the proxy itself; the UDP ASSOCIATE follows on the same
// connection.
bool CUdpSocket::RunSocks4Connect(const std::vector<uint8_t>& request) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProxyReplyTimeoutMs);
  if (!SendAll(controlFd_, request)) return false;
  uint8_t reply[socks4::kReplyLength];
  return socks4::ParseConnectReply(reply, RecvExactly(controlFd_, reply, sizeof reply, deadline));
}

bool CUdpSocket::RunSocks5Handshake(const ProxySettings& proxy) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProxyReplyTimeoutMs);
  if (!SendAll(controlFd_, socks5::Greeting())) return false;
  uint8_t reply[2];
  socks5::MethodReply method = socks5::ParseMethodReply(reply, RecvExactly(controlFd_, reply, 2, deadline));
  if (!method.ok) return false;
  if (method.method == socks5::Method::kNone) return true;
  if (method.method != socks5::Method::kUserPassword) return false;
  if (!SendAll(controlFd_, socks5::UserPasswordRequest(proxy.user, proxy.password))) return false;
  return socks5::ParseUserPasswordReply(reply, RecvExactly(controlFd_, reply, 2, deadline));
}

bool CUdpSocket::UdpAssociate(const ProxySettings&) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProxyReplyTimeoutMs);
  if (!SendAll(controlFd_, socks5::AssociateRequest(GetLocalPort()))) return false;
  uint8_t reply[512];
  size_t got = RecvExactly(controlFd_, reply, 5, deadline);
  size_t want = socks5::AssociateReplyLength(reply, got);
  if (want > got) got += RecvExactly(controlFd_, reply + got, want - got, deadline);
  socks5::AssociateReply parsed = socks5::ParseAssociateReply(reply, got);
  if (!parsed.ok) return false;
  relayAtyp_ = parsed.atyp;
  relayHost_ = parsed.relayHost;
  relayPort_ = parsed.relayPort;
  return true;
}

int CUdpSocket::ProxySendTo(const std::string& ip, uint16_t port, const uint8_t* data, size_t length) {
  int fd = GetHandle();
  if (ip.empty() || data == nullptr || length == 0 || fd < 0) return -1;
  ProxySettings proxy = SharedProxy::Instance().Read();
  if (!proxy.InUse()) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) return -1;
    return int(sendto(fd, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to));
  }
  if (!Associate()) return -1;
  // The relay's header travels in the same datagram: the whole stays
  // within the datagram limit.
  std::vector<uint8_t> relayed = socks5::UdpRequestHeader(ip, port);
  if (relayed.empty() || relayed.size() + length > kMaxDatagram) return -1;
  relayed.insert(relayed.end(), data, data + length);
  sockaddr_in relay{};
  relay.sin_family = AF_INET;
  std::string relayHost;
  {
    std::lock_guard<std::mutex> lock(proxyMutex_);
    relay.sin_port = htons(relayPort_);
    relayHost = relayHost_;
  }
  if (!LookupIPv4(relayHost, &relay.sin_addr, kProxyResolveTimeoutMs)) return -1;
  return int(sendto(fd, relayed.data(), relayed.size(), 0, reinterpret_cast<sockaddr*>(&relay), sizeof relay));
}

int CUdpSocket::ProxyRecvFrom(uint8_t* buf, size_t size, std::string* senderIp, uint16_t* senderPort,
                              ReadBy reader) {
  int fd = GetHandle();
  if (fd < 0) return -1;
  uint8_t raw[kMaxDatagram + socks5::kMaxUdpHeader];
  sockaddr_in from{};
  int n;
  if (reader == ReadBy::kDispatch) {
    // Through the base class, so that the dispatch raises the next read event.
    n = RecvFrom(reinterpret_cast<char*>(raw), int(sizeof raw), &from);
  } else {
    // The dispatch's read events are its own business: left as they are.
    socklen_t fromLength = sizeof from;
    n = int(recvfrom(fd, raw, sizeof raw, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength));
  }
  if (n < 0) return -1;
  ProxySettings proxy = SharedProxy::Instance().Read();
  if (!proxy.InUse()) {
    if (size_t(n) > size) return -1;  // longer than any datagram of ours
    size_t copy = size_t(n);
    std::memcpy(buf, raw, copy);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    *senderIp = text;
    *senderPort = ntohs(from.sin_port);
    return int(copy);
  }
  if (!associated_) {
    Log("ProxySendTo(), 没连接上代理服务器，不能接收数据\n");
    return -1;
  }
  socks5::UdpDatagram relayed = socks5::ParseUdpDatagram(raw, size_t(n));
  if (!relayed.ok) return -1;
  size_t payload = size_t(n) - relayed.headerLength;
  if (payload > size) return -1;
  std::memcpy(buf, raw + relayed.headerLength, payload);
  *senderIp = relayed.senderIp;
  *senderPort = relayed.senderPort;
  return int(payload);
}

}  // namespace udp
