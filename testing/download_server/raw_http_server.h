// A loopback HTTP server (127.0.0.1, port chosen by the system) that
// answers every request with one scripted answer written as raw bytes: the
// head exactly as given, then a body given whole or an endless one (the
// generated pattern until the client goes away), either sent as it is or
// framed as chunks. For answers a well-behaved server library never sends:
// a body beyond its Content-Length, a Content-Length beside chunked coding,
// a 206 that nobody asked for, a length no disk can hold.
// Every request's head is kept, with the body bytes sent in answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_server {

struct RawAnswer {
  std::string head;      // status line and header lines, without the empty line that ends them
  std::string body;      // sent after the head unless `endless`
  bool endless = false;  // the pattern, without end
  bool chunked = false;  // the body framed as chunks (a finite one ends with the last chunk)
};

struct RawRequest {
  std::string head;         // the request line and headers as received
  uint64_t bytes_sent = 0;  // body bytes sent in answer (known once the answer ends)
};

class RawHttpServer {
 public:
  RawHttpServer();  // listening when port() > 0
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;

  void SetAnswer(RawAnswer answer);
  std::vector<RawRequest> Requests() const;

 private:
  void Accept();
  void Serve(int fd);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  // Guards everything below; never held across a read or a write.
  mutable std::mutex mutex_;
  RawAnswer answer_;
  std::vector<RawRequest> requests_;
  std::vector<std::thread> connections_;
};

}  // namespace testing_server
