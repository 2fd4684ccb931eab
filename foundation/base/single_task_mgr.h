// CSingleTaskMgr: runs heap-allocated CBaseTask jobs one at a time, in the
// order of their AddTask calls, on its one worker thread.
//
//   CSingleTaskMgr tasks; tasks.Start();
//   tasks.AddTask(new CIconJob(...));   // the manager owns the job now
//
// A job is deleted right after its Run(). Destroying the manager waits for
// the running job, then deletes the jobs still waiting without running them.
// Threading: AddTask from any thread; the list, the job handed to the worker
// and the dispatch step are guarded by lock_ (re-entrant: DispatchNext runs
// inside AddTask's hold). One job at a time is handed to the worker: the
// next leaves the list only after the one before was run and deleted.
#pragma once

#include <atomic>
#include <list>

#include "foundation/base/locks.h"
#include "foundation/base/queue_thread.h"

class CBaseTask {
 public:
  virtual ~CBaseTask() = default;
  virtual void Run() = 0;
};

class CSingleTaskMgr : public CBaseOperThread {
 public:
  static constexpr uint32_t kRunTaskMessage = 1;

  CSingleTaskMgr();
  ~CSingleTaskMgr() override;

  bool Start() { return CBaseOperThread::Start(0); }
  // Takes ownership of `task` (null is ignored).
  void AddTask(CBaseTask* task);

 protected:
  uint32_t Run() override;

  // For derived queues that look at their jobs: hold QueueLock() while
  // using WaitingTasks() (jobs not handed to the worker yet, in order) or
  // HandedTask() (the job posted to or running on the worker, or null; it
  // is deleted only after it was cleared under the lock).
  base::CCriticalSection& QueueLock() { return lock_; }
  std::list<CBaseTask*>& WaitingTasks() { return tasks_; }
  CBaseTask* HandedTask() const { return handed_; }

 private:
  void DispatchNext();

  std::list<CBaseTask*> tasks_;
  CBaseTask* handed_ = nullptr;
  base::CCriticalSection lock_;
};
