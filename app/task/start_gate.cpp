#include "app/task/start_gate.h"

#include "foundation/base/log.h"

bool CStartGate::Keep(const char* what, std::function<void()> request) {
  std::lock_guard<std::mutex> hold(lock_);
  if (open_ || opening_ == std::this_thread::get_id()) return false;
  if (shut_) {
    PD_LOG_WARNING("%s came after teardown began: dropped", what);
    return true;
  }
  PD_LOG_INFO("%s kept until the start has ended", what);
  kept_.push_back(std::move(request));
  return true;
}

void CStartGate::Open() {
  for (;;) {
    std::vector<std::function<void()>> batch;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (shut_ || kept_.empty()) {
        open_ = !shut_;
        opening_ = std::thread::id();
        return;
      }
      opening_ = std::this_thread::get_id();
      batch.swap(kept_);
    }
    PD_LOG_INFO("carrying out %zu request(s) made during the start", batch.size());
    for (auto& request : batch) request();
  }
}

void CStartGate::Shut() {
  std::lock_guard<std::mutex> hold(lock_);
  shut_ = true;
  if (!kept_.empty()) PD_LOG_WARNING("%zu request(s) made during the start dropped at teardown", kept_.size());
  kept_.clear();
}

bool CStartGate::IsOpen() {
  std::lock_guard<std::mutex> hold(lock_);
  return open_;
}
