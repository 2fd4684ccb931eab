// A stand-in agent on a free 127.0.0.1 port for the transport tests: reads
// each request up to "</request>", counts it by command id and answers as
// the test's behaviour says (a reply, a plain close, a reset, silence until
// the test ends, the reply one byte every `pause_ms`, or the reply over and
// over until the client goes - or 64 MiB have gone, so that a client with
// no limit of its own ends too).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct AgentAnswer {
  enum Mode { kReply, kClose, kReset, kHang, kTrickle, kEndless } mode = kReply;
  std::string reply;
  int pause_ms = 0;  // kTrickle: between two bytes
};

class FakeAgent {
 public:
  using Behaviour = std::function<AgentAnswer(const std::string& command, const std::string& request)>;

  explicit FakeAgent(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(listen_fd_, 64);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~FakeAgent() {
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR);
    acceptor_.join();
    {
      std::lock_guard<std::mutex> hold(lock_);
      for (int fd : open_) shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : workers_) t.join();
    close(listen_fd_);
  }
  int port() const { return port_; }
  int Count(const std::string& command) {
    std::lock_guard<std::mutex> hold(lock_);
    return counts_[command];
  }
  std::string LastRequest() {
    std::lock_guard<std::mutex> hold(lock_);
    return last_request_;
  }

 private:
  void Accept() {
    while (!stopping_) {
      int fd = accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) return;
      std::lock_guard<std::mutex> hold(lock_);
      open_.push_back(fd);
      workers_.emplace_back([this, fd] { Serve(fd); });
    }
  }
  void Serve(int fd) {
    std::string request;
    char chunk[65536];
    while (request.find("</request>") == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) break;
      ssize_t n = read(fd, chunk, sizeof(chunk));
      if (n <= 0) break;
      request.append(chunk, static_cast<size_t>(n));
    }
    std::string command;
    const size_t at = request.find("id=\"");
    if (at != std::string::npos) command = request.substr(at + 4, request.find('"', at + 4) - at - 4);
    {
      std::lock_guard<std::mutex> hold(lock_);
      counts_[command]++;
      last_request_ = request;
    }
    AgentAnswer answer = behaviour_(command, request);
    if (answer.mode == AgentAnswer::kReply) {
      SendAll(fd, answer.reply);
    } else if (answer.mode == AgentAnswer::kReset) {
      linger lin{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof(lin));
    } else if (answer.mode == AgentAnswer::kTrickle) {
      for (size_t i = 0; i < answer.reply.size() && !stopping_; ++i) {
        if (send(fd, answer.reply.data() + i, 1, MSG_NOSIGNAL) != 1) break;
        pollfd p{fd, POLLIN, 0};  // a client that goes ends the wait
        if (poll(&p, 1, answer.pause_ms) != 0) break;
      }
    } else if (answer.mode == AgentAnswer::kEndless && !answer.reply.empty()) {
      for (size_t sent = 0; !stopping_ && sent < (size_t(64) << 20); sent += answer.reply.size()) {
        if (!SendAll(fd, answer.reply)) break;
      }
    } else if (answer.mode == AgentAnswer::kHang) {
      char c;
      while (read(fd, &c, 1) > 0) {
      }
    }
    std::lock_guard<std::mutex> hold(lock_);
    for (auto it = open_.begin(); it != open_.end(); ++it) {
      if (*it == fd) {
        open_.erase(it);
        break;
      }
    }
    close(fd);
  }

  static bool SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  Behaviour behaviour_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex lock_;  // guards everything below
  std::vector<std::thread> workers_;
  std::vector<int> open_;
  std::map<std::string, int> counts_;
  std::string last_request_;
};

inline std::string SuccessReply(const std::string& payload = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response result=\"1\">" + payload + "</response>";
}

}  // namespace testing_support
