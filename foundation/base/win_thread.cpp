#include "foundation/base/win_thread.h"

#include <system_error>

namespace base {

WinThread::WinThread(const char16_t* name) : name_(name != nullptr ? name : u"") {}

WinThread::~WinThread() { Stop(); }

bool WinThread::Start() {
  Stop();
  stop_event_ = std::make_unique<ManualEvent>();
  // Recorded before the thread exists, so a thread that ends at once can
  // never be left marked as created.
  state_ = kCreated;
  try {
    thread_ = std::thread(&WinThread::ThreadProc, this);
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

unsigned WinThread::ThreadProc(WinThread* self) {
  if (self == nullptr) return 0;
  int expected = kCreated;
  self->state_.compare_exchange_strong(expected, kRunning);
  self->Run();
  self->state_ = kIdle;
  return 1;
}

}  // namespace base
