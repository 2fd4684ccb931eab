#include "foundation/base/queue_thread.h"

#include <system_error>

CBaseQueuethread::CBaseQueuethread() = default;

CBaseQueuethread::~CBaseQueuethread() {
  Stop(false);
  JoinRetired();
  ClearMessages();
  alive_->store(false);
}

void CBaseQueuethread::JoinRetired() {
  if (!retired_.joinable()) return;
  if (retired_.get_id() == std::this_thread::get_id()) {
    retired_.detach();  // the worker itself: it cannot wait for itself
  } else {
    retired_.join();
  }
}

bool CBaseQueuethread::CreateThread(std::function<uint32_t()> entry) {
  if (thread_.joinable()) return false;
  JoinRetired();
  exit_event_.Reset();
  try {
    std::lock_guard<std::mutex> hold(start_lock_);
    thread_ = std::thread([this, entry, alive = alive_] {
      { std::lock_guard<std::mutex> started(start_lock_); }
      const uint32_t code = entry();
      if (alive->load()) exit_code_ = code;  // else the entry destroyed the object
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool CBaseQueuethread::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  QueueMessage record;
  record.message = message;
  record.wParam = wParam;
  record.lParam = lParam;
  {
    base_MutexGuard hold(&queue_lock_);
    queue_.push_back(record);
  }
  posted_.Release();
  return true;
}

void CBaseQueuethread::GetMessage(QueueMessage& out) {
  for (;;) {
    {
      base_MutexGuard hold(&queue_lock_);
      if (!queue_.empty()) {
        out = queue_.front();
        queue_.pop_front();
        return;
      }
    }
    // The count may run ahead of the queue; an empty queue means wait again.
    posted_.Wait();
  }
}

bool CBaseQueuethread::PeekMessage(QueueMessage& out) {
  base_MutexGuard hold(&queue_lock_);
  if (queue_.empty()) return false;
  out = queue_.front();
  queue_.pop_front();
  return true;
}

void CBaseQueuethread::ClearMessages() {
  QueueMessage record;
  while (PeekMessage(record)) {
  }
}

void CBaseQueuethread::PostQuit() {
  quit_ = true;
  PostMessage(kQuitMessage, 0, 0);
}

void CBaseQueuethread::Stop(bool noWait) {
  PostQuit();
  exit_event_.Set();
  if (!thread_.joinable()) return;
  if (noWait || thread_.get_id() == std::this_thread::get_id()) {
    JoinRetired();
    retired_ = std::move(thread_);
    return;
  }
  thread_.join();
}

bool CBaseQueuethread::Terminate(uint32_t exitCode) {
  if (thread_.joinable()) {
    Stop(false);
    exit_code_ = exitCode;
  }
  exit_event_.Set();
  return true;
}

CBaseOperThread::~CBaseOperThread() = default;

bool CBaseOperThread::Start(uintptr_t parameter) {
  if (IsRunning()) return false;
  parameter_ = parameter;
  return CreateThread([this] { return Run(); });
}
