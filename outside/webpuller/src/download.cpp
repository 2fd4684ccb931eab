#include "download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

namespace webpuller {

namespace {

constexpr long kConnectTimeoutMs = 15000;
constexpr long kLowSpeedSeconds = 60;  // less than a byte a second for a minute: failed

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

// libcurl's callbacks, forwarding to the download.
struct CurlCallbacks {
  static size_t Data(char* data, size_t size, size_t count, void* self) {
    const size_t bytes = size * count;
    return static_cast<Download*>(self)->OnData(data, bytes) ? bytes : 0;
  }
  static int Progress(void* self, curl_off_t total, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Download*>(self)->OnProgress(total) ? 0 : 1;
  }
};

Download::Download(std::string url, std::string final_path) : url_(std::move(url)), final_path_(std::move(final_path)) {}

Download::~Download() {
  Stop();
  Join();
}

void Download::Start() {
  mark_time_ = std::chrono::steady_clock::now();
  worker_ = std::thread([this] { Work(); });
}

void Download::Stop() {
  std::lock_guard<std::mutex> lock(mu_);
  if (state_.status != 4) return;
  state_.status = 5;
  state_.speed = 0;
  stop_.store(true);
}

void Download::Join() {
  if (worker_.joinable()) worker_.join();
}

Snapshot Download::Get() const {
  std::lock_guard<std::mutex> lock(mu_);
  return state_;
}

bool Download::OnData(const char* data, size_t size) {
  if (stop_.load()) return false;
  if (!WriteAll(fd_, data, size)) return false;
  std::lock_guard<std::mutex> lock(mu_);
  state_.downloaded += size;
  const auto now = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - mark_time_).count();
  if (elapsed >= 1000) {
    const uint64_t bytes_per_second = (state_.downloaded - mark_bytes_) * 1000 / static_cast<uint64_t>(elapsed);
    state_.speed = static_cast<int>(bytes_per_second > INT_MAX ? INT_MAX : bytes_per_second);
    mark_time_ = now;
    mark_bytes_ = state_.downloaded;
  }
  return true;
}

bool Download::OnProgress(int64_t total) {
  if (stop_.load()) return false;
  std::lock_guard<std::mutex> lock(mu_);
  if (total > 0) state_.total = static_cast<uint64_t>(total);
  // No data for a while: the speed falls to 0 instead of staying at its last value.
  if (std::chrono::steady_clock::now() - mark_time_ >= std::chrono::seconds(2)) state_.speed = 0;
  return true;
}

void Download::Work() {
  // The temporary file sits beside the final one, so the rename stays in
  // one file system; its unique name lets two downloads of one key coexist.
  const size_t slash = final_path_.find_last_of('/');
  std::string temp = final_path_.substr(0, slash + 1) + "." + final_path_.substr(slash + 1) + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  const bool made_temp = fd_ >= 0;
  temp.assign(name.data());

  bool ok = false;
  if (fd_ >= 0) {
    ::fchmod(fd_, 0644);
    CURL* curl = curl_easy_init();
    if (curl) {
      curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
      curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
      curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);  // an HTTP error is a failed download
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(curl, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
      curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
      curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlCallbacks::Data);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
      curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CurlCallbacks::Progress);
      curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
      curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
      ok = curl_easy_perform(curl) == CURLE_OK;
      curl_easy_cleanup(curl);
    }
    ok = ::fsync(fd_) == 0 && ok;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (stop_.load() || !ok || ::rename(temp.c_str(), final_path_.c_str()) != 0) {
      if (made_temp) ::unlink(temp.c_str());
      if (state_.status == 4) state_.status = stop_.load() ? 5 : 7;
    } else {
      state_.status = 6;
      if (state_.total == 0) state_.total = state_.downloaded;
    }
    state_.speed = 0;
  }
  worker_done_.store(true);
}

}  // namespace webpuller
