#include "raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "download_server.h"

namespace testing_server {

namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kEndlessPiece = 64 * 1024;

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string ChunkHead(size_t size) {
  char text[32];
  std::snprintf(text, sizeof text, "%zx\r\n", size);
  return text;
}

}  // namespace

RawHttpServer::RawHttpServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

RawHttpServer::~RawHttpServer() {
  stop_.store(true);
  if (listener_ >= 0) ::shutdown(listener_, SHUT_RDWR);  // wakes the accept
  if (acceptor_.joinable()) acceptor_.join();
  if (listener_ >= 0) ::close(listener_);
  // An endless answer ends at its next write once stop_ is set.
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
  }
  for (std::thread& connection : connections) connection.join();
}

std::string RawHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawHttpServer::SetAnswer(RawAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = std::move(answer);
}

std::vector<RawRequest> RawHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void RawHttpServer::Accept() {
  while (!stop_.load()) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // shut down
    }
    // Neither side waits on the other for long: a client that stops reading ends the answer.
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawHttpServer::Serve(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return;
    }
    head.append(buffer, static_cast<size_t>(n));
  }
  RawAnswer answer;
  size_t index = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer = answer_;
    index = requests_.size();
    requests_.push_back({head.substr(0, head.find("\r\n\r\n")), 0});
  }
  uint64_t sent = 0;
  auto send_body = [&](const char* data, size_t size) {
    if (answer.chunked && !SendAll(fd, ChunkHead(size).data(), ChunkHead(size).size())) return false;
    if (!SendAll(fd, data, size)) return false;
    if (answer.chunked && !SendAll(fd, "\r\n", 2)) return false;
    sent += size;
    return true;
  };
  const std::string start = answer.head + "\r\n\r\n";
  if (SendAll(fd, start.data(), start.size())) {
    if (answer.endless) {
      const std::string piece = Pattern(0, kEndlessPiece);
      while (!stop_.load() && send_body(piece.data(), piece.size())) {
      }
    } else if ((answer.body.empty() || send_body(answer.body.data(), answer.body.size())) && answer.chunked) {
      SendAll(fd, "0\r\n\r\n", 5);
    }
  }
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  requests_[index].bytes_sent = sent;
}

}  // namespace testing_server
