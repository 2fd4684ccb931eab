#include "udp_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "datagram.h"
#include "utility_link.h"

namespace udpsim {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

std::string IpText(const in_addr& a) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

uint16_t BoundPort(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  return ntohs(addr.sin_port);
}

bool RecvAll(int fd, uint8_t* out, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = recv(fd, out + done, n - done, 0);
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

}  // namespace

LoopbackUdp::~LoopbackUdp() { Stop(); }

bool LoopbackUdp::Start(Handler handler, uint16_t port) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr = Loopback(port);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
  port_ = BoundPort(fd_);
  if (pipe2(wake_, O_CLOEXEC) != 0) return false;
  thread_ = std::thread([this, handler] {
    uint8_t buf[65536];
    for (;;) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(fds, 2, 1000) <= 0) continue;
      if (fds[1].revents) return;
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = recvfrom(fd_, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
      if (n >= 0) handler(buf, size_t(n), IpText(from.sin_addr), ntohs(from.sin_port));
    }
  });
  return true;
}

void LoopbackUdp::Stop() {
  if (thread_.joinable()) {
    char c = 1;
    ssize_t ignored = write(wake_[1], &c, 1);
    (void)ignored;
    thread_.join();
  }
  for (int* fd : {&fd_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

int LoopbackUdp::SendTo(const void* data, size_t len, const std::string& ip, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &to.sin_addr);
  return int(sendto(fd_, data, len, 0, reinterpret_cast<sockaddr*>(&to), sizeof to));
}

// ---- udp peer ----

bool UdpPeerSim::Start(Answer answer) {
  answer_ = std::move(answer);
  return udp_.Start([this](const uint8_t* d, size_t n, const std::string& ip, uint16_t port) {
    OnDatagram(d, n, ip, port);
  });
}

void UdpPeerSim::SetShape(const ReplyShape& shape) {
  std::lock_guard<std::mutex> lock(mutex_);
  shape_ = shape;
}

std::vector<std::vector<uint8_t>> UdpPeerSim::RequestPayloads() {
  std::lock_guard<std::mutex> lock(mutex_);
  return payloads_;
}

std::string UdpPeerSim::LastSenderIp() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastIp_;
}

int UdpPeerSim::SendRaw(const std::vector<uint8_t>& datagram, const std::string& ip, uint16_t port) {
  return udp_.SendTo(datagram.data(), datagram.size(), ip, port);
}

int UdpPeerSim::SendRemoteRequest(const std::vector<uint8_t>& payload, uint32_t requestId, const std::string& ip,
                                  uint16_t port) {
  std::vector<uint8_t> datagram(udp::kHeaderSize);
  udp::DatagramHeader header;
  header.requestId = requestId;
  udp::WriteHeader(header, datagram.data());
  datagram.insert(datagram.end(), payload.begin(), payload.end());
  return SendRaw(datagram, ip, port);
}

void UdpPeerSim::OnDatagram(const uint8_t* data, size_t len, const std::string& ip, uint16_t port) {
  udp::ParsedDatagram request = udp::ParseDatagram(data, len);
  if (!request.ok) {
    ++malformed_;
    return;
  }
  std::vector<uint8_t> payload(request.payload, request.payload + request.payloadLength);
  if (request.header.flags & udp::kFlagCiphered) udp::CipherInPlace(payload.data(), payload.size());
  ReplyShape shape;
  std::vector<uint8_t> whole;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    payloads_.push_back(payload);
    lastIp_ = ip;
    shape = shape_;
    auto& pieces = partial_[request.header.requestId];
    pieces[request.header.fragmentIndex] = payload;
    if (pieces.size() < request.header.fragmentCount) {
      ++requests_;
      return;  // more fragments to come
    }
    for (auto& piece : pieces) whole.insert(whole.end(), piece.second.begin(), piece.second.end());
    partial_.erase(request.header.requestId);
  }
  ++requests_;
  std::vector<uint8_t> reply = answer_ ? answer_(whole) : std::vector<uint8_t>();
  if (reply.empty() && shape.silentOnEmpty) return;
  size_t count = reply.empty() ? 1 : (reply.size() + shape.fragmentPayload - 1) / shape.fragmentPayload;
  std::vector<std::vector<uint8_t>> datagrams;
  for (size_t i = 0; i < count; ++i) {
    size_t offset = i * shape.fragmentPayload;
    size_t n = std::min(shape.fragmentPayload, reply.size() - std::min(reply.size(), offset));
    std::vector<uint8_t> piece(reply.begin() + offset, reply.begin() + offset + n);
    udp::DatagramHeader header;
    header.requestId = request.header.requestId;
    header.fragmentCount = uint8_t(count);
    header.fragmentIndex = uint8_t(i);
    if (shape.cipher) {
      header.flags = udp::kFlagCiphered;
      if (shape.withCrc) header.crc = udp::Crc32(piece.data(), piece.size()) ^ (shape.corruptCrc ? 1u : 0u);
      udp::CipherInPlace(piece.data(), piece.size());
    }
    std::vector<uint8_t> datagram(udp::kHeaderSize);
    udp::WriteHeader(header, datagram.data());
    datagram.insert(datagram.end(), piece.begin(), piece.end());
    datagrams.push_back(std::move(datagram));
  }
  if (shape.dropLast && datagrams.size() > 1) datagrams.pop_back();
  if (shape.duplicateFirst) datagrams.insert(datagrams.begin() + 1, datagrams.front());
  if (shape.reverseOrder) std::reverse(datagrams.begin(), datagrams.end());
  for (const auto& datagram : datagrams) SendRaw(datagram, ip, port);
}

// ---- dispatch server ----

bool DispatchSim::Start(std::vector<relaylink::DispatchEntry> entries,
                        std::vector<relaylink::DispatchEntry> addrOnly) {
  entries_ = std::move(entries);
  addrOnly_ = std::move(addrOnly);
  return udp_.Start([this](const uint8_t* d, size_t n, const std::string& ip, uint16_t port) {
    OnDatagram(d, n, ip, port);
  });
}

void DispatchSim::SetRawReply(std::vector<uint8_t> payload) {
  std::lock_guard<std::mutex> lock(mutex_);
  rawReply_ = std::move(payload);
}

void DispatchSim::OnDatagram(const uint8_t* data, size_t len, const std::string& ip, uint16_t port) {
  udp::ParsedDatagram request = udp::ParseDatagram(data, len);
  if (!request.ok || request.header.flags != 0 || request.header.fragmentCount != 1) {
    ++malformed_;
    return;
  }
  const uint8_t* p = request.payload;
  std::vector<uint8_t> reply;
  std::lock_guard<std::mutex> lock(mutex_);
  if (request.payloadLength == 2 && p[0] == 0x02 && p[1] == 0x00) {
    ++listRequests_;
    reply = relaylink::EncodeServerList(entries_);
  } else if (request.payloadLength == 3 && p[0] == 0x04 && p[1] == 0x00) {
    ++addrRequests_;
    auto byType = [p](const relaylink::DispatchEntry& e) { return e.type == p[2]; };
    auto it = std::find_if(entries_.begin(), entries_.end(), byType);
    if (it != entries_.end()) {
      reply = relaylink::EncodeServerAddrReply(*it);
    } else {
      it = std::find_if(addrOnly_.begin(), addrOnly_.end(), byType);
      if (it == addrOnly_.end()) return;  // an unknown type gets no answer
      reply = relaylink::EncodeServerAddrReply(*it);
    }
  } else {
    ++malformed_;
    return;
  }
  if (silent_) return;
  if (!rawReply_.empty()) reply = rawReply_;
  std::vector<uint8_t> datagram(udp::kHeaderSize);
  udp::DatagramHeader header;
  header.requestId = request.header.requestId;
  udp::WriteHeader(header, datagram.data());
  datagram.insert(datagram.end(), reply.begin(), reply.end());
  udp_.SendTo(datagram.data(), datagram.size(), ip, port);
}

// ---- SOCKS5 server ----

Socks5Sim::~Socks5Sim() { Stop(); }

bool Socks5Sim::Start(const std::string& user, const std::string& password) {
  user_ = user;
  password_ = password;
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr = Loopback(0);
  if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listen_, 8) != 0) {
    return false;
  }
  port_ = BoundPort(listen_);
  if (pipe2(wake_, O_CLOEXEC) != 0) return false;
  acceptThread_ = std::thread(&Socks5Sim::AcceptLoop, this);
  return true;
}

void Socks5Sim::Stop() {
  if (acceptThread_.joinable()) {
    char c = 1;
    ssize_t ignored = write(wake_[1], &c, 1);
    (void)ignored;
    acceptThread_.join();
  }
  std::vector<std::thread> sessions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions.swap(sessions_);
  }
  for (auto& t : sessions) t.join();
  for (int* fd : {&listen_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

std::vector<uint8_t> Socks5Sim::LastAuthRequest() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastAuth_;
}

std::vector<uint8_t> Socks5Sim::LastRelayHeader() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastHeader_;
}

void Socks5Sim::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, 1000) <= 0) continue;
    if (fds[1].revents) return;
    int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    timeval tv{5, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.emplace_back(&Socks5Sim::Serve, this, client);
  }
}

std::vector<uint8_t> Socks5Sim::LastSocks4Request() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastSocks4_;
}

bool Socks5Sim::Socks5Negotiation(int client, const uint8_t head[2]) {
  // Method selection.
  if (head[0] != 0x05 || head[1] == 0) {
    ++malformed_;
    return false;
  }
  std::vector<uint8_t> methods(head[1]);
  if (!RecvAll(client, methods.data(), methods.size())) return false;
  uint8_t wanted = user_.empty() ? 0x00 : 0x02;
  if (std::find(methods.begin(), methods.end(), wanted) == methods.end()) {
    SendAll(client, {0x05, 0xFF});
    return false;
  }
  SendAll(client, {0x05, wanted});
  if (wanted != 0x02) return true;
  std::vector<uint8_t> auth(2);
  if (!RecvAll(client, auth.data(), 2) || auth[0] != 0x01) {
    ++malformed_;
    return false;
  }
  std::vector<uint8_t> user(auth[1]);
  uint8_t plen = 0;
  if (!RecvAll(client, user.data(), user.size()) || !RecvAll(client, &plen, 1)) return false;
  std::vector<uint8_t> pass(plen);
  if (!RecvAll(client, pass.data(), pass.size())) return false;
  auth.insert(auth.end(), user.begin(), user.end());
  auth.push_back(plen);
  auth.insert(auth.end(), pass.begin(), pass.end());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastAuth_ = auth;
  }
  bool ok = std::string(user.begin(), user.end()) == user_ && std::string(pass.begin(), pass.end()) == password_;
  if (!ok) ++authFailures_;  // counted before the client hears of it
  SendAll(client, {0x01, uint8_t(ok ? 0x00 : 0x01)});
  return ok;
}

// CONNECT (command 1) only: port, IPv4 address, a user id up to its NUL,
// and for SOCKS4a (address 0.0.0.x, x not 0) a host name up to its NUL.
bool Socks5Sim::Socks4Connect(int client, const uint8_t head[2]) {
  std::vector<uint8_t> request(head, head + 2);
  uint8_t fixed[6];
  if (head[1] != 0x01 || !RecvAll(client, fixed, sizeof fixed)) {
    ++malformed_;
    return false;
  }
  request.insert(request.end(), fixed, fixed + sizeof fixed);
  auto readText = [&] {
    for (size_t n = 0; n <= 255; ++n) {
      uint8_t c = 0;
      if (!RecvAll(client, &c, 1)) return false;
      request.push_back(c);
      if (c == 0) return true;
    }
    return false;  // no NUL within 256 bytes
  };
  const bool named = fixed[2] == 0 && fixed[3] == 0 && fixed[4] == 0 && fixed[5] != 0;
  if (!readText() || (named && !readText())) {
    ++malformed_;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastSocks4_ = request;
  }
  const uint8_t code = socks4Reply_;
  if (code != 0x5A) ++socks4Refusals_;  // counted before the client hears of it
  SendAll(client, {0x00, code, fixed[0], fixed[1], fixed[2], fixed[3], fixed[4], fixed[5]});
  return code == 0x5A;
}

void Socks5Sim::Serve(int client) {
  int relay = -1;
  auto finish = [&] {
    close(client);
    if (relay >= 0) close(relay);
  };
  uint8_t head[2];
  if (!RecvAll(client, head, 2)) {
    ++malformed_;
    return finish();
  }
  if (!(head[0] == 0x04 ? Socks4Connect(client, head) : Socks5Negotiation(client, head))) return finish();
  // UDP ASSOCIATE for an IPv4 client address.
  uint8_t request[10];
  if (!RecvAll(client, request, 10) || request[0] != 0x05 || request[1] != 0x03 || request[2] != 0x00 ||
      request[3] != 0x01) {
    ++malformed_;
    return finish();
  }
  uint16_t clientPort = uint16_t(request[8] << 8 | request[9]);
  relay = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in relayAddr = Loopback(0);
  bind(relay, reinterpret_cast<sockaddr*>(&relayAddr), sizeof relayAddr);
  uint16_t relayPort = BoundPort(relay);
  ++associations_;
  SendAll(client, {0x05, 0x00, 0x00, 0x01, 127, 0, 0, 1, uint8_t(relayPort >> 8), uint8_t(relayPort)});

  sockaddr_in clientAddr = Loopback(clientPort);
  bool clientKnown = clientPort != 0;
  uint8_t buf[65536];
  for (;;) {
    pollfd fds[3] = {{client, POLLIN, 0}, {relay, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 3, 1000) <= 0) continue;
    if (fds[2].revents) break;
    if (fds[0].revents) {
      if (recv(client, buf, sizeof buf, MSG_DONTWAIT) <= 0) break;  // control connection closed
    }
    if (!fds[1].revents) continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = recvfrom(relay, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) continue;
    if (!clientKnown) {
      clientAddr = from;
      clientKnown = true;
    }
    bool fromClient = from.sin_port == clientAddr.sin_port && from.sin_addr.s_addr == clientAddr.sin_addr.s_addr;
    if (fromClient) {
      // RSV, FRAG 0, ATYP 1 (IPv4) or 3 ("localhost" only), address, port.
      size_t headerLen = 0;
      sockaddr_in to = Loopback(0);
      if (n >= 10 && buf[0] == 0 && buf[1] == 0 && buf[2] == 0 && buf[3] == 0x01) {
        std::memcpy(&to.sin_addr, buf + 4, 4);
        to.sin_port = htons(uint16_t(buf[8] << 8 | buf[9]));
        headerLen = 10;
      } else if (n >= 7 && buf[0] == 0 && buf[1] == 0 && buf[2] == 0 && buf[3] == 0x03 &&
                 size_t(n) >= 7u + buf[4] && std::string(reinterpret_cast<char*>(buf + 5), buf[4]) == "localhost") {
        headerLen = 7 + buf[4];
        to.sin_port = htons(uint16_t(buf[5 + buf[4]] << 8 | buf[6 + buf[4]]));
      } else {
        ++malformed_;
        continue;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lastHeader_.assign(buf, buf + headerLen);
      }
      ++relayedOut_;  // counted before the datagram can cause an answer
      sendto(relay, buf + headerLen, size_t(n) - headerLen, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    } else {
      std::vector<uint8_t> wrapped{0, 0, 0, 0x01};
      const uint8_t* a = reinterpret_cast<const uint8_t*>(&from.sin_addr.s_addr);
      wrapped.insert(wrapped.end(), a, a + 4);
      uint16_t p = ntohs(from.sin_port);
      wrapped.push_back(uint8_t(p >> 8));
      wrapped.push_back(uint8_t(p));
      wrapped.insert(wrapped.end(), buf, buf + n);
      ++relayedIn_;
      sendto(relay, wrapped.data(), wrapped.size(), 0, reinterpret_cast<sockaddr*>(&clientAddr), sizeof clientAddr);
    }
  }
  finish();
}

}  // namespace udpsim
