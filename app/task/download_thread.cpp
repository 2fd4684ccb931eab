#include "app/task/download_thread.h"

#include "app/task/task_files.h"
#include "foundation/base/event.h"
#include "foundation/base/log.h"

CDownloadThread::CDownloadThread(uint32_t tick_ms) : tick_ms_(tick_ms) {}

CDownloadThread::~CDownloadThread() {
  StopThread(false);
  base::CSingleLock hold(&lock_);
  waiting_.clear();
  packages_.clear();
}

bool CDownloadThread::Add(PNPDriverPackage* raw) {
  std::unique_ptr<PNPDriverPackage> package(raw);
  if (!IsRunning()) StartThread();
  if (!package) return false;
  const uint32_t id = package->GetTaskId();
  base::CSingleLock hold(&lock_);
  if (packages_.count(id)) {
    PD_LOG_TRACE("IsExistedPackage id=%lu", static_cast<unsigned long>(id));
    return false;
  }
  if (IsBusyLocked()) {
    WaitTask(std::move(package), false);
  } else {
    NewTask(std::move(package));
  }
  return true;
}

void CDownloadThread::StopTask(uint32_t id) {
  PD_LOG_TRACE("StopTask id=%lu", static_cast<unsigned long>(id));
  PostThreadMsg(kMsgStop, 0, id);
}

void CDownloadThread::DiscardTask(uint32_t id, const std::u16string& url, const std::u16string& download_folder,
                                  const std::u16string& apk) {
  {
    base::CSingleLock hold(&lock_);
    discards_[id] = Discard{url, download_folder, apk};
  }
  StopTask(id);
}

void CDownloadThread::PauseTask(uint32_t id) {
  PD_LOG_TRACE("PauseTask id=%lu", static_cast<unsigned long>(id));
  PostThreadMsg(kMsgPause, 0, id);
}

void CDownloadThread::ContinueTask(uint32_t id) {
  PD_LOG_TRACE("ContinueTask id=%lu", static_cast<unsigned long>(id));
  PostThreadMsg(kMsgContinue, 0, id);
}

void CDownloadThread::SetProgressCallback(DownloadProgressCallback callback, void* context) {
  callback_ = callback;
  context_ = context;
}

PNPDriverPackage* CDownloadThread::FindPackage(uint32_t id) {
  base::CSingleLock hold(&lock_);
  auto found = packages_.find(id);
  return found == packages_.end() ? nullptr : found->second.get();
}

bool CDownloadThread::IsExistedPackage(uint32_t id) { return FindPackage(id) != nullptr; }

bool CDownloadThread::IsBusy() {
  base::CSingleLock hold(&lock_);
  return IsBusyLocked();
}

bool CDownloadThread::TimerRunning() {
  base::CSingleLock hold(&lock_);
  return timer_running_;
}

size_t CDownloadThread::WaitingCount() {
  base::CSingleLock hold(&lock_);
  return waiting_.size();
}

size_t CDownloadThread::ActiveCount() {
  base::CSingleLock hold(&lock_);
  return active_.size();
}

bool CDownloadThread::WaitHandled(uint32_t ms) {
  auto event = std::make_shared<base::ManualEvent>();
  auto* held = new std::shared_ptr<base::ManualEvent>(event);
  if (!PostThreadMsg(kMsgHandled, 0, reinterpret_cast<intptr_t>(held))) {
    delete held;
    return false;
  }
  return event->Wait(ms);
}

// With the lock held (re-entered here).
void CDownloadThread::NewTask(std::unique_ptr<PNPDriverPackage> package) {
  base::CSingleLock hold(&lock_);
  const uint32_t id = package->GetTaskId();
  packages_[id] = std::move(package);
  entered_.insert(id);
  PD_LOG_TRACE("new task id=%lu", static_cast<unsigned long>(id));
  PostThreadMsg(kMsgStart, 0, id);
}

void CDownloadThread::WaitTask(std::unique_ptr<PNPDriverPackage> package, bool at_front) {
  base::CSingleLock hold(&lock_);
  const uint32_t id = package->GetTaskId();
  if (at_front) {
    waiting_.push_front(std::move(package));
  } else {
    waiting_.push_back(std::move(package));
  }
  PD_LOG_TRACE("wait task id=%lu", static_cast<unsigned long>(id));
}

uint32_t CDownloadThread::Run() {
  base::ThreadMessage msg;
  while (GetMessage(&msg) && !IsTheadStop(0)) {
    const uint32_t id = static_cast<uint32_t>(msg.lParam);
    switch (msg.message) {
      case kMsgTick: {
        bool idle;
        {
          base::CSingleLock hold(&lock_);
          idle = active_.empty();
        }
        if (idle) {
          StopTimer();
        } else {
          PollTasks();
        }
        break;
      }
      case kMsgStart:
        StartPackage(id);
        StartTimer();
        break;
      case kMsgContinue: OnContinue(id); break;
      case kMsgStop: OnStop(id); break;
      case kMsgPause: OnPause(id); break;
      case base::kMsgTimer:
        if (msg.wParam == kTimerId) Tick();
        break;
      case kMsgHandled: {
        auto* held = reinterpret_cast<std::shared_ptr<base::ManualEvent>*>(msg.lParam);
        (*held)->Set();
        delete held;
        break;
      }
      default: break;
    }
  }
  std::map<uint32_t, std::unique_ptr<PNPDriverPackage>> packages;
  {
    base::CSingleLock hold(&lock_);
    packages.swap(packages_);
    active_.clear();
    entered_.clear();
    discards_.clear();
  }
  for (auto& entry : packages) entry.second->Stop();
  return 0;
}

void CDownloadThread::StartPackage(uint32_t id) {
  PNPDriverPackage* package = nullptr;
  {
    base::CSingleLock hold(&lock_);
    auto found = packages_.find(id);
    if (found != packages_.end()) package = found->second.get();
  }
  // The package counts as entered until it is active, so an Add on another
  // thread never finds a slot free in between.
  const bool started = package && package->StartDownLoad();
  base::CSingleLock hold(&lock_);
  if (started) active_.insert(id);
  entered_.erase(id);
}

// The engine's status 10 (the finished file failed its hash check) is a
// failed download for the task; statuses 1-7 are reported as they are.
void CDownloadThread::PollTasks() {
  std::set<uint32_t> walk;
  {
    base::CSingleLock hold(&lock_);
    walk = active_;
  }
  for (auto it = walk.begin(); it != walk.end();) {
    const uint32_t id = *it;
    PNPDriverPackage* package = FindPackage(id);
    if (!package) {
      ++it;
      continue;
    }
    int32_t status = 0, speed = 0;
    uint64_t downloaded = 0, total = 0;
    package->GetProgress(&status, &downloaded, &total, &speed);
    if (status == 10) status = 7;
    if (status < 1 || status > 7) {
      ++it;
      continue;
    }
    if (callback_) callback_(id, &status, &total, &downloaded, &speed, context_);
    if (status == 1 || status == 5 || status == 6 || status == 7) {
      if (status != 5) DeletePackage(id);
      RemoveActive(id);
      StartNextWaiting();
      // The walk goes on over what is active now, past the ids polled already.
      base::CSingleLock hold(&lock_);
      walk = active_;
      it = walk.upper_bound(id);
      continue;
    }
    ++it;
  }
}

void CDownloadThread::OnPause(uint32_t id) {
  PNPDriverPackage* package = nullptr;
  {
    base::CSingleLock hold(&lock_);
    if (active_.count(id)) {
      auto found = packages_.find(id);
      if (found != packages_.end()) package = found->second.get();
    } else {
      // A package still waiting is paused where it is: it leaves the queue
      // for the map, where only a continue starts it.
      for (auto queued = waiting_.begin(); queued != waiting_.end(); ++queued) {
        if ((*queued)->GetTaskId() != id) continue;
        if (!packages_.count(id)) packages_[id] = std::move(*queued);
        waiting_.erase(queued);
        break;
      }
    }
  }
  if (package) package->Stop();
}

void CDownloadThread::OnContinue(uint32_t id) {
  {
    base::CSingleLock hold(&lock_);
    if (active_.count(id) || entered_.count(id) || !packages_.count(id)) return;
  }
  if (!IsBusy()) {
    StartPackage(id);
    StartTimer();
    return;
  }
  base::CSingleLock hold(&lock_);
  auto found = packages_.find(id);
  if (found == packages_.end()) return;
  std::unique_ptr<PNPDriverPackage> package = std::move(found->second);
  packages_.erase(found);
  WaitTask(std::move(package), true);
}

void CDownloadThread::OnStop(uint32_t id) {
  OnPause(id);
  DeletePackage(id);
  RemoveWaiting(id);
  RemoveActive(id);
  RemoveDiscarded(id);
  StartNextWaiting();
}

// The package is stopped (its engine worker joined): the engine forgets the
// task, then nothing writes the part files any more.
void CDownloadThread::RemoveDiscarded(uint32_t id) {
  Discard discard;
  {
    base::CSingleLock hold(&lock_);
    auto found = discards_.find(id);
    if (found == discards_.end()) return;
    discard = std::move(found->second);
    discards_.erase(found);
  }
  HashFileDownloader(discard.url).DelTask();
  const int removed = RemovePartFiles(discard.folder, discard.apk, id);
  PD_LOG_TRACE("discarded task id=%lu, %d part files removed", static_cast<unsigned long>(id), removed);
}

void CDownloadThread::DeletePackage(uint32_t id) {
  std::unique_ptr<PNPDriverPackage> package;
  base::CSingleLock hold(&lock_);
  auto found = packages_.find(id);
  if (found == packages_.end()) return;
  package = std::move(found->second);
  packages_.erase(found);
  entered_.erase(id);
}

void CDownloadThread::RemoveWaiting(uint32_t id) {
  base::CSingleLock hold(&lock_);
  for (auto queued = waiting_.begin(); queued != waiting_.end(); ++queued) {
    if ((*queued)->GetTaskId() == id) {
      waiting_.erase(queued);
      return;
    }
  }
}

void CDownloadThread::RemoveActive(uint32_t id) {
  base::CSingleLock hold(&lock_);
  active_.erase(id);
}

void CDownloadThread::StartNextWaiting() {
  base::CSingleLock hold(&lock_);
  if (IsBusyLocked() || waiting_.empty()) return;
  std::unique_ptr<PNPDriverPackage> next = std::move(waiting_.front());
  waiting_.pop_front();
  NewTask(std::move(next));
}

void CDownloadThread::StartTimer() {
  base::CSingleLock hold(&lock_);
  if (timer_running_) return;
  timer_running_ = true;
  if (tick_ms_ != 0) SetTimer(kTimerId, tick_ms_);
}

void CDownloadThread::StopTimer() {
  base::CSingleLock hold(&lock_);
  if (!timer_running_) return;
  timer_running_ = false;
  if (tick_ms_ != 0) KillTimer(kTimerId);
}
