// One download task of the engine: its URL, folder and file name, and the
// worker thread that runs its transfer while it is started.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace xldl {

class Task {
 public:
  struct Snapshot {
    int32_t state = 0;
    int32_t fail_code = 0;
    std::string file_name;
    uint64_t total = 0;
    uint64_t downloaded = 0;
    uint32_t speed = 0;
  };

  // `folder` ends with '/'; `file_name` may be empty (then the server's
  // Content-Disposition or the URL names the file).
  Task(std::string url, std::string folder, std::string file_name);
  ~Task();
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  bool Start();
  bool Stop();
  Snapshot Query();
  const std::string& url() const { return url_; }

  // The number of tries of one start before a network failure is reported.
  static constexpr int kTries = 3;

 private:
  friend struct Transfer;
  enum class Outcome { kDone, kStopped, kRetry, kRestart, kFailed };
  struct Result {
    Outcome outcome = Outcome::kFailed;
    int32_t fail_code = 0;
  };

  void Work();
  Result Attempt();
  // Waits up to `delay` unless stopped; true when stopped.
  bool WaitStopped(std::chrono::milliseconds delay);
  void SetProgress(uint64_t downloaded);

  const std::string url_;
  const std::string folder_;

  std::mutex control_mutex_;  // serialises Start and Stop (and so the join of worker_)
  std::thread worker_;
  std::atomic<bool> stop_{false};

  // Guards everything below; held only for short reads and writes, never
  // across a transfer or a join.
  std::mutex mutex_;
  std::condition_variable wake_;  // signalled by Stop
  std::string file_name_;
  int32_t state_ = 0;
  int32_t fail_code_ = 0;
  uint64_t total_ = 0;
  uint64_t downloaded_ = 0;
  std::deque<std::pair<std::chrono::steady_clock::time_point, uint64_t>> samples_;
};

}  // namespace xldl
