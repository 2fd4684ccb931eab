// A loopback HTTP server (127.0.0.1, port from the system) whose answer to
// any request is a body that may never end: a header (with a given
// Content-Length line or none), `burst` body bytes at once, then, when
// `trickle` is set, one byte every `trickle_ms` until the client goes away
// or the server is destroyed. One connection at a time.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <thread>

namespace testing_support {

class EndlessHttp {
 public:
  struct Answer {
    std::string length_header;  // e.g. "Content-Length: 1000\r\n"; empty: none
    uint64_t burst = 0;
    bool trickle = true;
    int trickle_ms = 100;
  };

  explicit EndlessHttp(Answer answer) : answer_(std::move(answer)) {
    if (pipe2(stop_, O_CLOEXEC) != 0) return;
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(listen_, 4) != 0 || getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EndlessHttp() {
    if (stop_[1] >= 0) {
      const char one = 1;
      (void)!write(stop_[1], &one, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {listen_, stop_[0], stop_[1]}) {
      if (fd >= 0) close(fd);
    }
  }
  EndlessHttp(const EndlessHttp&) = delete;
  EndlessHttp& operator=(const EndlessHttp&) = delete;

  int port() const { return port_; }  // 0 when the server could not start
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  uint64_t BytesSent() const { return sent_.load(); }
  // Connections whose client went away while the body was still coming.
  int ClientsGone() const { return gone_.load(); }

 private:
  // Waits up to `ms` for `fd` (or the stop pipe); false once stopped.
  bool WaitFor(int fd, short events, int ms) {
    pollfd fds[2] = {{stop_[0], POLLIN, 0}, {fd, events, 0}};
    poll(fds, 2, ms);
    return (fds[0].revents & POLLIN) == 0;
  }
  bool Send(int fd, const char* data, size_t size) {
    while (size > 0) {
      if (!WaitFor(fd, POLLOUT, 1000)) return false;
      const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
      sent_ += static_cast<uint64_t>(n);
    }
    return true;
  }
  void Serve() {
    for (;;) {
      if (!WaitFor(listen_, POLLIN, -1)) return;
      const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      Respond(client);
      close(client);
    }
  }
  void Respond(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (!WaitFor(client, POLLIN, 5000)) return;
      const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n == 0) return;
      if (n < 0) continue;
      request.append(buffer, static_cast<size_t>(n));
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n" + answer_.length_header +
                             "Connection: close\r\n\r\n";
    if (!Send(client, head.data(), head.size())) return;
    sent_ = 0;
    const std::string block(64 * 1024, 'x');
    for (uint64_t left = answer_.burst; left > 0;) {
      const size_t n = left < block.size() ? static_cast<size_t>(left) : block.size();
      if (!Send(client, block.data(), n)) {
        ++gone_;
        return;
      }
      left -= n;
    }
    if (!answer_.trickle) return;
    for (;;) {
      if (!WaitFor(-1, 0, answer_.trickle_ms)) return;  // stopped
      if (!Send(client, "x", 1)) {
        ++gone_;
        return;
      }
    }
  }

  Answer answer_;
  int stop_[2] = {-1, -1};
  int listen_ = -1;
  int port_ = 0;
  std::atomic<uint64_t> sent_{0};
  std::atomic<int> gone_{0};
  std::thread thread_;
};

}  // namespace testing_support
