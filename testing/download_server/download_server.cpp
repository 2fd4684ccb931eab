#include "download_server.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "testing/serve_after_bind.h"

namespace testing_server {

namespace {

constexpr uint64_t kPatternPeriod = 65521;  // prime
constexpr size_t kChunk = 256 * 1024;

// The pattern's bytes for one period plus one chunk, so any chunk is a
// slice of it.
const std::string& PatternTable() {
  static const std::string table = [] {
    std::string t(kPatternPeriod + kChunk, '\0');
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char>(PatternByte(i));
    return t;
  }();
  return table;
}

}  // namespace

uint8_t PatternByte(uint64_t index) {
  const uint64_t i = index % kPatternPeriod;
  return static_cast<uint8_t>((i * 131 + (i >> 8) * 7 + 3) & 0xFF);
}

std::string Pattern(uint64_t offset, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) out += static_cast<char>(PatternByte(offset + i));
  return out;
}

Resource Generated(uint64_t size, uint64_t cut_after, int cuts) {
  Resource resource;
  resource.generated_size = size;
  resource.cut_after = cut_after;
  resource.cuts = cuts;
  return resource;
}

// State shared with the request handlers. Threading: the handlers run on
// the server's worker threads; `mutex` guards `resources`, `requests` and
// each resource's remaining cuts.
struct DownloadServer::Shared {
  mutable std::mutex mutex;
  std::map<std::string, Resource> resources;
  std::vector<RequestRecord> requests;
};

DownloadServer::DownloadServer() : shared_(std::make_shared<Shared>()), server_(std::make_unique<httplib::Server>()) {
  std::shared_ptr<Shared> shared = shared_;
  server_->Get(R"(/.*)", [shared](const httplib::Request& req, httplib::Response& res) {
    // The answer's ranges are this handler's: the library must not cut the body again.
    const_cast<httplib::Request&>(req).ranges.clear();
    RequestRecord record;
    record.path = req.path;
    record.range = req.get_header_value("Range");
    record.if_range = req.get_header_value("If-Range");
    record.user_agent = req.get_header_value("User-Agent");
    Resource resource;
    bool cut = false;
    size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      const auto it = shared->resources.find(req.path);
      if (it != shared->resources.end()) {
        resource = it->second;
        if (it->second.cuts > 0 && it->second.cut_after > 0) {
          cut = true;
          --it->second.cuts;
        }
      } else {
        resource.status = 404;
      }
      index = shared->requests.size();
      shared->requests.push_back(record);
    }
    auto finish = [shared, index](int status, uint64_t first, uint64_t sent) {
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->requests[index].status = status;
      shared->requests[index].first_byte = first;
      shared->requests[index].bytes_sent = sent;
    };
    if (!resource.redirect_to.empty()) {
      res.set_redirect(resource.redirect_to, 302);
      finish(302, 0, 0);
      return;
    }
    if (resource.status != 200) {
      res.status = resource.status;
      res.set_content("error " + std::to_string(resource.status) + "\n", "text/plain");
      finish(resource.status, 0, 0);
      return;
    }
    const uint64_t size = resource.generated_size > 0 ? resource.generated_size : resource.body.size();
    uint64_t first = 0;
    unsigned long long asked = 0;
    const bool validator_ok = record.if_range.empty() || record.if_range == resource.etag;
    if (!resource.ignore_range && validator_ok && std::sscanf(record.range.c_str(), "bytes=%llu-", &asked) == 1) {
      if (asked >= size) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(size));
        finish(416, 0, 0);
        return;
      }
      first = asked;
      res.status = 206;
      res.set_header("Content-Range",
                     "bytes " + std::to_string(first) + "-" + std::to_string(size - 1) + "/" + std::to_string(size));
    } else {
      res.status = 200;
    }
    res.set_header("ETag", resource.etag);
    res.set_header("Accept-Ranges", "bytes");
    if (!resource.content_disposition.empty()) res.set_header("Content-Disposition", resource.content_disposition);
    const uint64_t length = size - first;
    const uint64_t stop_at = cut ? std::min<uint64_t>(resource.cut_after, size) : size;
    const int status = res.status;
    auto sent = std::make_shared<uint64_t>(0);
    auto body = std::make_shared<std::string>(std::move(resource.body));
    const bool generated = resource.generated_size > 0;
    const uint64_t rate = resource.bytes_per_second;
    const auto start = std::chrono::steady_clock::now();
    res.set_content_provider(
        static_cast<size_t>(length), "application/octet-stream",
        [=](size_t offset, size_t, httplib::DataSink& sink) {
          const uint64_t at = first + offset;
          if (at >= stop_at) return false;  // the cut: the connection closes mid-body
          size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, stop_at - at));
          if (rate > 0) {
            n = static_cast<size_t>(std::min<uint64_t>(n, std::max<uint64_t>(rate / 20, 1)));
            const auto due = start + std::chrono::microseconds(offset * 1000000 / rate);
            std::this_thread::sleep_until(due);
          }
          bool ok = false;
          if (generated) {
            ok = sink.write(PatternTable().data() + at % kPatternPeriod, n);
          } else {
            ok = sink.write(body->data() + at, n);
          }
          if (ok) *sent += n;
          return ok;
        },
        [=](bool) { finish(status, first, *sent); });
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return;
  testing_support::ServeAfterBind(*server_, &thread_);
}

DownloadServer::~DownloadServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string DownloadServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void DownloadServer::Put(const std::string& path, Resource resource) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->resources[path] = std::move(resource);
}

std::vector<RequestRecord> DownloadServer::Requests() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->requests;
}

}  // namespace testing_server
