// What the task windows ask of the task manager (CAutoTaskMgr implements
// it): copies of task records, the task counts and the commands of the task
// window's buttons. Every record query returns a copy the caller owns, or
// null when the task is not in that list.
//
// Threading: every operation may be called from any thread; the task
// windows call them on the UI thread when a task message arrives.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "app/task/task_records.h"

class IAutoTaskMgr {
 public:
  virtual ~IAutoTaskMgr() = default;

  virtual std::unique_ptr<SOnlineTask> FindOnlineTask(uint32_t id) = 0;
  virtual std::unique_ptr<SOfflineTask> FindOfflineTask(uint32_t id) = 0;
  // Copies of every offline record, by task id.
  virtual void GetOfflineTasks(std::map<uint32_t, std::unique_ptr<SOfflineTask>>& tasks) = 0;
  virtual int GetOnlineTaskCount() = 0;
  virtual int GetOfflineTaskCount() = 0;
  virtual int GetDoingTaskCount() = 0;

  virtual void PauseTask(uint32_t id) = 0;
  virtual void ContinueTask(uint32_t id) = 0;
  virtual void RetryTask(uint32_t id) = 0;
  virtual void DeleteOnlineTask(uint32_t id) = 0;
  virtual void DeleteOfflineTask(uint32_t id) = 0;
  virtual void InstallOfflineTask(uint32_t id) = 0;
};
