#include "foundation/base/single_task_mgr.h"

CSingleTaskMgr::CSingleTaskMgr() = default;

CSingleTaskMgr::~CSingleTaskMgr() {
  Stop(false);
  // Jobs that never ran: those still listed and those already handed to the
  // worker's queue.
  {
    base::CSingleLock hold(&lock_);
    for (CBaseTask* task : tasks_) delete task;
    tasks_.clear();
    handed_ = nullptr;  // still queued (freed below) or already freed by the worker
  }
  QueueMessage record;
  while (PeekMessage(record)) {
    if (record.message == kRunTaskMessage && record.lParam != 0) delete reinterpret_cast<CBaseTask*>(record.lParam);
  }
}

void CSingleTaskMgr::AddTask(CBaseTask* task) {
  if (task == nullptr) return;
  base::CSingleLock hold(&lock_);
  tasks_.push_back(task);
  DispatchNext();
}

void CSingleTaskMgr::DispatchNext() {
  base::CSingleLock hold(&lock_);
  if (handed_ != nullptr || tasks_.empty()) return;
  handed_ = tasks_.front();
  tasks_.pop_front();
  if (!PostMessage(kRunTaskMessage, 0, reinterpret_cast<intptr_t>(handed_))) {
    delete handed_;  // the worker is gone: the job can never run
    handed_ = nullptr;
  }
}

uint32_t CSingleTaskMgr::Run() {
  while (!IsQuit()) {
    QueueMessage record;
    GetMessage(record);
    auto* task = record.message == kRunTaskMessage ? reinterpret_cast<CBaseTask*>(record.lParam) : nullptr;
    if (IsQuit()) {
      {
        base::CSingleLock hold(&lock_);
        if (handed_ == task) handed_ = nullptr;
      }
      delete task;  // taken off the queue but never to run
      break;
    }
    if (task != nullptr) {
      task->Run();
      {
        base::CSingleLock hold(&lock_);
        handed_ = nullptr;
      }
      delete task;
    }
    DispatchNext();
  }
  return 0;
}
