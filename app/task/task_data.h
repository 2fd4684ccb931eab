// The two locked task containers: CTaskData<Record> maps a task id to an
// owned record. COnlineTaskData holds SOnlineTask records (its state,
// package-key and progress operations are for the online list only),
// COfflineTaskData holds SOfflineTask records. Readers get copies only.
//
// Threading: every operation takes the container's own re-entrant lock for
// its whole run; no operation ever holds both containers' locks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/task/task_records.h"
#include "foundation/base/locks.h"

template <typename Record>
class CTaskData {
 public:
  virtual ~CTaskData() = default;

  // Null is ignored. False (and the record freed) when the id is present:
  // the stored entry stays.
  bool Add(std::unique_ptr<Record> record) {
    if (!record) return false;
    base::CSingleLock hold(&lock_);
    return tasks_.emplace(record->task_id, std::move(record)).second;
  }
  void Remove(uint32_t id) {
    base::CSingleLock hold(&lock_);
    tasks_.erase(id);
  }
  bool Contains(uint32_t id) {
    base::CSingleLock hold(&lock_);
    return tasks_.count(id) != 0;
  }
  int GetCount() {
    base::CSingleLock hold(&lock_);
    return static_cast<int>(tasks_.size());
  }
  std::unique_ptr<Record> FindClone(uint32_t id) {
    base::CSingleLock hold(&lock_);
    Record* record = FindRecord(id);
    return record ? Copy(*record) : nullptr;
  }
  void CopyAll(std::map<uint32_t, std::unique_ptr<Record>>& out) {
    base::CSingleLock hold(&lock_);
    for (auto& [id, record] : tasks_) out[id] = Copy(*record);
  }
  // The first record, in id order, whose file path equals `path` without
  // regard to case; 0 when none.
  uint32_t FindIdByFilePath(const std::u16string& path);

 protected:
  static std::unique_ptr<Record> Copy(const Record& record) {
    return std::unique_ptr<Record>(static_cast<Record*>(record.Clone().release()));
  }
  // No lock of its own: callers hold lock_.
  Record* FindRecord(uint32_t id) {
    auto it = tasks_.find(id);
    return it == tasks_.end() ? nullptr : it->second.get();
  }

  base::CCriticalSection lock_;  // guards tasks_
  std::map<uint32_t, std::unique_ptr<Record>> tasks_;
};

bool SameTextIgnoringCase(const std::u16string& a, const std::u16string& b);

template <typename Record>
uint32_t CTaskData<Record>::FindIdByFilePath(const std::u16string& path) {
  base::CSingleLock hold(&lock_);
  for (auto& [id, record] : tasks_)
    if (SameTextIgnoringCase(record->file_path, path)) return id;
  return 0;
}

class COnlineTaskData : public CTaskData<SOnlineTask> {
 public:
  uint32_t FindIdByKey(uint32_t key);
  bool HasKey(uint32_t key) { return FindIdByKey(key) != 0; }
  // 1 doing, 0 not, -1 no task with the key (the smallest id answers).
  int GetKeyActivity(uint32_t key);
  int GetDoingCount();
  void SetStateAndPath(uint32_t id, int32_t state, const std::u16string& path);
  void SetProgress(uint32_t id, int32_t state, const TaskProgress& progress);
  void SetState(uint32_t id, int32_t state, int32_t detail);
  void SetIconPath(uint32_t id, const std::u16string& icon);
};

class COfflineTaskData : public CTaskData<SOfflineTask> {};
