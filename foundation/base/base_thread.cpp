#include "foundation/base/base_thread.h"

#include <system_error>

base_thread::base_thread() = default;

base_thread::~base_thread() {
  base_thread::StopThread(false);
  JoinRetired();
  alive_->store(false);
}

void base_thread::JoinRetired() {
  if (!retired_.joinable()) return;
  if (retired_.get_id() == std::this_thread::get_id()) {
    retired_.detach();  // the thread itself: it cannot wait for itself
  } else {
    retired_.join();
  }
}

bool base_thread::StartThread(uintptr_t parameter) {
  if (thread_.joinable()) return false;
  JoinRetired();
  parameter_ = parameter;
  exit_event_.Reset();
  queue_.Open();
  try {
    std::lock_guard<std::mutex> hold(start_lock_);
    thread_ = std::thread([this, alive = alive_] {
      { std::lock_guard<std::mutex> started(start_lock_); }
      const uint32_t code = Run();
      if (!alive->load()) return;  // Run destroyed the object
      exit_code_ = code;
      queue_.Close();
    });
  } catch (const std::system_error&) {
    queue_.Close();
    return false;
  }
  return true;
}

void base_thread::StopThread(bool noWait) {
  exit_event_.Set();
  if (!thread_.joinable()) return;
  queue_.Post(base::ThreadMessage{base::kMsgQuit, 0, 0});
  if (noWait || thread_.get_id() == std::this_thread::get_id()) {
    JoinRetired();
    retired_ = std::move(thread_);
    return;
  }
  thread_.join();
}

bool base_thread::TerminateThread(uint32_t exitCode) {
  if (thread_.joinable()) {
    StopThread(false);
    exit_code_ = exitCode;
  }
  exit_event_.Set();
  return true;
}

bool base_thread::PostThreadMsg(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return queue_.Post(base::ThreadMessage{message, wParam, lParam});
}

bool base_thread::IsTheadStop(uint32_t ms) { return exit_event_.Wait(ms); }
