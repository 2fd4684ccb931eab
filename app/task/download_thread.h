// CDownloadThread: runs the app downloads of the task manager. It owns the
// download packages, starts at most three at a time, queues the others and
// polls every running package once a tick (1000 ms), reporting its status,
// sizes and speed to one progress callback. Every command reaches the
// thread as a message, so the engine is driven from that thread only.
//
// A package is waiting (queue), entered (map, start message pending),
// active (map and active set, polled), paused (map only) or gone.
//
// Threading: Add, the task commands, FindPackage and IsExistedPackage may be
// called from any thread; packages are started, polled, stopped and deleted
// on the download thread, and discarded files removed there; the progress
// callback runs there. `lock_` guards the map, the queue, the active set,
// the entered set and the discards.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/task/driver_package.h"
#include "foundation/base/base_thread.h"
#include "foundation/base/locks.h"

// (task id, status, total size, downloaded size, speed, context).
using DownloadProgressCallback = void (*)(uint32_t id, int32_t* status, uint64_t* total, uint64_t* downloaded,
                                          int32_t* speed, void* context);

class CDownloadThread : public base_thread {
 public:
  static constexpr uint32_t kMsgTick = 5;
  static constexpr uint32_t kMsgStart = 6;
  static constexpr uint32_t kMsgContinue = 7;
  static constexpr uint32_t kMsgStop = 8;
  static constexpr uint32_t kMsgPause = 9;
  static constexpr size_t kMaxActive = 3;
  static constexpr uintptr_t kTimerId = 100;

  // `tick_ms` 0: no timer of its own; ticks come only from Tick() (tests).
  explicit CDownloadThread(uint32_t tick_ms = 1000);
  ~CDownloadThread() override;

  // Takes the package in every case; false for null or an id already in
  // the map.
  bool Add(PNPDriverPackage* package);
  void StopTask(uint32_t id);
  // StopTask, and once stopped the engine forgets the task of `url` and the
  // engine's part files of task `id`'s apk `apk` in `download_folder` are
  // removed (a deleted task leaves nothing on disk).
  void DiscardTask(uint32_t id, const std::u16string& url, const std::u16string& download_folder,
                   const std::u16string& apk);
  void PauseTask(uint32_t id);
  void ContinueTask(uint32_t id);
  void SetProgressCallback(DownloadProgressCallback callback, void* context);
  PNPDriverPackage* FindPackage(uint32_t id);
  bool IsExistedPackage(uint32_t id);
  // Three or more packages active or entered and not yet started.
  bool IsBusy();

  // What the timer posts (message 5).
  void Tick() { PostThreadMsg(kMsgTick, 0, 0); }
  // Whether the poll timer runs (it stops at the first tick with nothing active).
  bool TimerRunning();
  // Waits until every message posted before this call is handled; false
  // after `ms` or when the thread is not running.
  bool WaitHandled(uint32_t ms);
  size_t WaitingCount();
  size_t ActiveCount();

 protected:
  uint32_t Run() override;

 private:
  static constexpr uint32_t kMsgHandled = 0x400;

  void NewTask(std::unique_ptr<PNPDriverPackage> package);
  void WaitTask(std::unique_ptr<PNPDriverPackage> package, bool at_front);
  void StartPackage(uint32_t id);
  void PollTasks();
  void OnContinue(uint32_t id);
  void OnStop(uint32_t id);
  void OnPause(uint32_t id);
  void DeletePackage(uint32_t id);
  void RemoveDiscarded(uint32_t id);
  void RemoveWaiting(uint32_t id);
  void RemoveActive(uint32_t id);
  void StartNextWaiting();
  void StartTimer();
  void StopTimer();
  bool IsBusyLocked() const { return active_.size() + entered_.size() >= kMaxActive; }

  const uint32_t tick_ms_;
  bool timer_running_ = false;  // download thread writes; read under lock_
  DownloadProgressCallback callback_ = nullptr;
  void* context_ = nullptr;
  base::CCriticalSection lock_;
  std::map<uint32_t, std::unique_ptr<PNPDriverPackage>> packages_;
  std::list<std::unique_ptr<PNPDriverPackage>> waiting_;
  std::set<uint32_t> active_;
  std::set<uint32_t> entered_;  // start message posted, not handled yet
  struct Discard {
    std::u16string url;
    std::u16string folder;
    std::u16string apk;
  };
  std::map<uint32_t, Discard> discards_;  // files to remove once the task stopped
};
