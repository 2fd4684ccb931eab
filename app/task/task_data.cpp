#include "app/task/task_data.h"

#include "foundation/base/log.h"

bool SameTextIgnoringCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

uint32_t COnlineTaskData::FindIdByKey(uint32_t key) {
  base::CSingleLock hold(&lock_);
  for (auto& [id, record] : tasks_)
    if (record->package_key == key) return id;
  return 0;
}

int COnlineTaskData::GetKeyActivity(uint32_t key) {
  base::CSingleLock hold(&lock_);
  for (auto& [id, record] : tasks_)
    if (record->package_key == key) return IsTaskDoing(record.get()) ? 1 : 0;
  return -1;
}

int COnlineTaskData::GetDoingCount() {
  base::CSingleLock hold(&lock_);
  int count = 0;
  for (auto& entry : tasks_)
    if (IsTaskDoing(entry.second.get())) ++count;
  PD_LOG_INFO("GetDoingTaskCount count:%d", count);
  return count;
}

void COnlineTaskData::SetStateAndPath(uint32_t id, int32_t state, const std::u16string& path) {
  base::CSingleLock hold(&lock_);
  if (SOnlineTask* task = FindRecord(id)) {
    task->state = state;
    task->file_path = path;
  }
}

void COnlineTaskData::SetProgress(uint32_t id, int32_t state, const TaskProgress& progress) {
  base::CSingleLock hold(&lock_);
  if (SOnlineTask* task = FindRecord(id)) {
    task->state = state;
    task->progress = progress;
  }
}

void COnlineTaskData::SetState(uint32_t id, int32_t state, int32_t detail) {
  base::CSingleLock hold(&lock_);
  if (SOnlineTask* task = FindRecord(id)) {
    task->state = state;
    task->state_detail = detail;
  }
}

void COnlineTaskData::SetIconPath(uint32_t id, const std::u16string& icon) {
  base::CSingleLock hold(&lock_);
  if (SOnlineTask* task = FindRecord(id)) task->icon_path = icon;
}
