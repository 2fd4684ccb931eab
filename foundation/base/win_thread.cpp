#include "foundation/base/win_thread.h"

#include <system_error>

namespace base {

WinThread::WinThread(const char16_t* name) : name_(name != nullptr ? name : u"") {}

WinThread::~WinThread() {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
    // Destroyed by its own worker: it cannot wait for itself.
    stop_event_->Set();
    thread_.detach();
  } else {
    Stop();
  }
  alive_->store(false);
}

bool WinThread::Start() {
  Stop();
  stop_event_ = std::make_unique<ManualEvent>();
  // Recorded before the thread exists, so a thread that ends at once can
  // never be left marked as created.
  state_ = kCreated;
  try {
    std::lock_guard<std::mutex> hold(start_lock_);
    thread_ = std::thread(&WinThread::ThreadProc, this, alive_);
  } catch (const std::system_error&) {
    state_ = kIdle;
    stop_event_.reset();
    return false;
  }
  return true;
}

void WinThread::Stop() {
  if (!thread_.joinable()) return;
  stop_event_->Set();
  if (thread_.get_id() == std::this_thread::get_id()) return;  // the worker cannot wait for itself
  thread_.join();
  stop_event_.reset();
  state_ = kIdle;
}

void WinThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool WinThread::WaitForStop(uint32_t ms) {
  ManualEvent* event = stop_event_.get();
  return event != nullptr && event->Wait(ms);
}

unsigned WinThread::ThreadProc(WinThread* self, std::shared_ptr<std::atomic<bool>> alive) {
  if (self == nullptr) return 0;
  { std::lock_guard<std::mutex> started(self->start_lock_); }
  int expected = kCreated;
  self->state_.compare_exchange_strong(expected, kRunning);
  self->Run();
  // Run may have destroyed the object (only this thread can have done so
  // while it ran: any other destroyer joins first).
  if (alive->load()) self->state_ = kIdle;
  return 1;
}

}  // namespace base
