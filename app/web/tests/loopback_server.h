// A cpp-httplib server on a free loopback port, run on its own thread for
// one test; it records every request it answers.
#pragma once

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace web_test {

struct SeenRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::string content_type;
  std::string body;
};

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer() { Stop(); }

  httplib::Server& server() { return server_; }

  // Binds 127.0.0.1 on a free port and serves on a thread; the port.
  int Start() {
    server_.set_keep_alive_max_count(1);  // each request on its own connection: Stop never waits
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port_;
  }
  void Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void Record(const httplib::Request& request) {
    std::lock_guard<std::mutex> hold(lock_);
    std::string target = request.path;
    if (!request.params.empty()) {
      target += "?";
      bool first = true;
      for (const auto& p : request.params) {
        target += (first ? "" : "&") + p.first + "=" + p.second;
        first = false;
      }
    }
    seen_.push_back({request.method, target, request.get_header_value("Content-Type"), request.body});
  }
  std::vector<SeenRequest> Seen() {
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex lock_;
  std::vector<SeenRequest> seen_;
};

}  // namespace web_test
