// A scripted TCP peer on a free loopback port for the keep-alive and
// screenshot tests. Each accepted connection is handed to `serve` on the
// listener's thread; Stop() closes everything and joins.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace connect_test {

class TestListener {
 public:
  using Serve = std::function<void(int fd, const std::atomic<bool>& stopping)>;

  explicit TestListener(Serve serve) : serve_(std::move(serve)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_, 16);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Loop(); });
  }
  ~TestListener() { Stop(); }

  void Stop() {
    stopping_.store(true);
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int port() const { return port_; }
  int accepted() const { return accepted_.load(); }

  // Reads until the peer closes, NUL is seen or `stopping`; what was read.
  static std::string ReadUntilNul(int fd, const std::atomic<bool>& stopping) {
    std::string got;
    char c;
    while (!stopping.load()) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      if (::recv(fd, &c, 1, 0) != 1) break;
      got += c;
      if (c == '\0') break;
    }
    return got;
  }
  // Reads exactly n bytes (false when the peer closes first or on stop).
  static bool ReadExactly(int fd, size_t n, std::string* out, const std::atomic<bool>& stopping) {
    out->clear();
    char buffer[512];
    while (out->size() < n && !stopping.load()) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const size_t want = n - out->size() < sizeof buffer ? n - out->size() : sizeof buffer;
      const ssize_t got = ::recv(fd, buffer, want, 0);
      if (got <= 0) return false;
      out->append(buffer, static_cast<size_t>(got));
    }
    return out->size() == n;
  }
  static void SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }
  // Holds the connection until the test stops the listener.
  static void Hang(const std::atomic<bool>& stopping) {
    while (!stopping.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

 private:
  void Loop() {
    std::vector<std::thread> workers;
    while (!stopping_.load()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      ++accepted_;
      workers.emplace_back([this, client] {
        serve_(client, stopping_);
        ::close(client);
      });
    }
    for (std::thread& t : workers) t.join();
  }

  Serve serve_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

}  // namespace connect_test
