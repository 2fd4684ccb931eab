// A loopback HTTP download server for tests and benchmarks (cpp-httplib on
// 127.0.0.1, port chosen by the system). Each resource answers GET with its
// body, honouring "Range: bytes=N-" (206 with Content-Range) and "If-Range"
// (a validator other than the resource's ETag gets the whole body, 200),
// and can be made to misbehave: throttled, cut mid-body, a fixed error
// status, a redirect, a Content-Disposition name, ranges ignored.
// Every request is logged with the range it asked for and the body bytes
// sent, so a test can check what was fetched again.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace testing_server {

// Byte `index` of a generated body (a pattern that does not repeat with a
// power of two, so a misplaced range shows).
uint8_t PatternByte(uint64_t index);
std::string Pattern(uint64_t offset, size_t length);

struct Resource {
  std::string body;             // the content, unless `generated_size` is set
  uint64_t generated_size = 0;  // > 0: the body is Pattern(0, generated_size)
  std::string etag = "\"v1\"";
  std::string content_disposition;  // sent when not empty
  int status = 200;                 // other than 200: that status with a short text
  std::string redirect_to;          // not empty: 302 to this path
  bool ignore_range = false;        // answer every request with the whole body (200)
  uint64_t cut_after = 0;           // > 0: the first `cuts` answers end after this many body bytes
  int cuts = 0;
  uint64_t bytes_per_second = 0;  // > 0: the body is sent at about this rate
};

// A generated body of `size` bytes whose first `cuts` answers end after
// `cut_after` body bytes.
Resource Generated(uint64_t size, uint64_t cut_after = 0, int cuts = 0);

struct RequestRecord {
  std::string path;
  std::string range;     // the Range header as sent, empty when none
  std::string if_range;  // the If-Range header as sent
  std::string user_agent;
  int status = 0;
  uint64_t first_byte = 0;  // offset of the first body byte sent
  uint64_t bytes_sent = 0;  // body bytes sent (known once the answer ends)
};

class DownloadServer {
 public:
  DownloadServer();  // listening when port() > 0
  ~DownloadServer();
  DownloadServer(const DownloadServer&) = delete;
  DownloadServer& operator=(const DownloadServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;

  void Put(const std::string& path, Resource resource);
  std::vector<RequestRecord> Requests() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace testing_server
