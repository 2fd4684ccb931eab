// One download: a worker thread that fetches a URL with libcurl into a
// temporary file and renames it to its final path when complete.
#ifndef OUTSIDE_WEBPULLER_SRC_DOWNLOAD_H_
#define OUTSIDE_WEBPULLER_SRC_DOWNLOAD_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace webpuller {

struct Snapshot {
  int status = 4;
  uint64_t total = 0;
  uint64_t downloaded = 0;
  int speed = 0;
};

// Threading: mu_ guards the state the worker writes and the readers copy
// (Get); stop_ is the worker's cancel flag. Start, Stop and the destructor
// are called by the owner; the destructor stops and joins the worker.
class Download {
 public:
  Download(std::string url, std::string final_path);
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  void Start();
  // A queued or running download becomes 5 at once; its worker removes the
  // temporary file and ends at its next progress call.
  void Stop();
  Snapshot Get() const;
  const std::string& final_path() const { return final_path_; }
  // True once the worker has returned (its thread can be joined at once).
  bool WorkerDone() const { return worker_done_.load(); }
  void Join();

 private:
  friend struct CurlCallbacks;
  void Work();
  // The worker's callbacks: false stops the transfer.
  bool OnData(const char* data, size_t size);
  bool OnProgress(int64_t total);

  const std::string url_;
  const std::string final_path_;
  mutable std::mutex mu_;
  Snapshot state_;
  std::chrono::steady_clock::time_point mark_time_;
  uint64_t mark_bytes_ = 0;
  int fd_ = -1;                 // worker only
  std::atomic<bool> stop_{false};
  std::atomic<bool> worker_done_{false};
  std::thread worker_;
};

}  // namespace webpuller

#endif  // OUTSIDE_WEBPULLER_SRC_DOWNLOAD_H_
