// A scripted stand-in for swarmload's P2SP* exports, bound into a
// P2SPInterface by name (P2SPInterface::Bind): each URL's status, sizes,
// speed and file name come from the script; every call is recorded.
// Names listed in `missing` are not found, as in a library without them.
//
// Threading: the script is guarded by `mutex`; tests change it between
// ticks while the download thread calls the exports.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/task/p2sp_client.h"

struct ScriptedTask {
  int status = 6;  // an unknown URL reads as finished, as the engine says
  uint64_t total = 0;
  uint64_t downloaded = 0;
  int speed = 0;
  std::string file;
  int check1 = 1;
  int check2 = 0;
  int error_code = 0;  // why a failed task failed (P2SPGetTaskErrorCode)
};

struct ScriptedEngine {
  std::mutex mutex;
  std::map<std::string, ScriptedTask> tasks;
  std::vector<std::string> calls;
  std::set<std::string> missing;
  bool new_task_result = true;

  static ScriptedEngine& Get() {
    static ScriptedEngine engine;
    return engine;
  }
  void Reset() {
    std::lock_guard<std::mutex> hold(mutex);
    tasks.clear();
    calls.clear();
    missing.clear();
    new_task_result = true;
  }
  void Record(const std::string& call) {
    std::lock_guard<std::mutex> hold(mutex);
    calls.push_back(call);
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> hold(mutex);
    return calls;
  }
  void SetStatus(const std::string& url, int status) {
    std::lock_guard<std::mutex> hold(mutex);
    tasks[url].status = status;
  }
  ScriptedTask Task(const std::string& url) {
    std::lock_guard<std::mutex> hold(mutex);
    return tasks.count(url) ? tasks[url] : ScriptedTask();
  }
};

namespace scripted {
inline ScriptedEngine& E() { return ScriptedEngine::Get(); }
inline int Init(const char* folder) { E().Record(std::string("Init ") + folder); return 1; }
inline void Close() { E().Record("Close"); }
inline bool Run() { E().Record("Run"); return true; }
inline void Stop() { E().Record("Stop"); }
inline bool SetProperty(const char* name, const void*, int size) {
  E().Record(std::string("SetProperty ") + name + " " + std::to_string(size));
  return false;
}
inline bool NewTask(const char* url, const char* path, int type) {
  E().Record(std::string("NewTask ") + url + " " + path + " " + std::to_string(type));
  std::lock_guard<std::mutex> hold(E().mutex);
  if (E().new_task_result) E().tasks[url].status = 2;
  return E().new_task_result;
}
inline bool RunTaskEx(const char* url, const char* path, int type) {
  E().Record(std::string("RunTaskEx ") + url + " " + path + " " + std::to_string(type));
  return true;
}
inline bool RunTask(const char* url, int type) {
  E().Record(std::string("RunTask ") + url + " " + std::to_string(type));
  return true;
}
inline int StopTask(const char* url) {
  E().Record(std::string("StopTask ") + url);
  std::lock_guard<std::mutex> hold(E().mutex);
  if (!E().tasks.count(url)) return 0;
  E().tasks[url].status = 5;
  return 1;
}
inline int DelTask(const char* url) {
  E().Record(std::string("DelTask ") + url);
  std::lock_guard<std::mutex> hold(E().mutex);
  return E().tasks.erase(url) ? 1 : 0;
}
inline int GetStatus(const char* url) { return E().Task(url).status; }
inline uint64_t GetFileSize(const char* url) { return E().Task(url).total; }
inline uint64_t GetDownloaded(const char* url) { return E().Task(url).downloaded; }
inline int GetSpeed(const char* url) { return E().Task(url).speed; }
inline int GetFileName(const char* url, char* buffer, int size) {
  std::string file = E().Task(url).file;
  if (file.empty() || static_cast<int>(file.size()) + 1 > size) return 0;
  std::memcpy(buffer, file.c_str(), file.size() + 1);
  return static_cast<int>(file.size());
}
inline int GetErrorCode(const char* url) { return E().Task(url).error_code; }
inline int CheckTaskEx(const char* url, int kind, const char* path) {
  E().Record(std::string("CheckTaskEx ") + url + " " + std::to_string(kind) + " " + path);
  ScriptedTask task = E().Task(url);
  return kind == 1 ? task.check1 : task.check2;
}
inline int CheckTask(const char* url, int kind) {
  E().Record(std::string("CheckTask ") + url + " " + std::to_string(kind));
  ScriptedTask task = E().Task(url);
  return kind == 1 ? task.check1 : task.check2;
}

inline void* Lookup(void*, const char* name) {
  static const std::map<std::string, void*> exports = {
      {"P2SPInit", reinterpret_cast<void*>(&Init)},
      {"P2SPClose", reinterpret_cast<void*>(&Close)},
      {"P2SPRun", reinterpret_cast<void*>(&Run)},
      {"P2SPStop", reinterpret_cast<void*>(&Stop)},
      {"P2SPSetProperty", reinterpret_cast<void*>(&SetProperty)},
      {"P2SPNewTask", reinterpret_cast<void*>(&NewTask)},
      {"P2SPRunTask", reinterpret_cast<void*>(&RunTask)},
      {"P2SPRunTaskEx", reinterpret_cast<void*>(&RunTaskEx)},
      {"P2SPStopTask", reinterpret_cast<void*>(&StopTask)},
      {"P2SPDelTask", reinterpret_cast<void*>(&DelTask)},
      {"P2SPGetTaskStatus", reinterpret_cast<void*>(&GetStatus)},
      {"P2SPGetTaskFileSize", reinterpret_cast<void*>(&GetFileSize)},
      {"P2SPGetTaskDownloadedSize", reinterpret_cast<void*>(&GetDownloaded)},
      {"P2SPGetTaskSpeed", reinterpret_cast<void*>(&GetSpeed)},
      {"P2SPGetTaskFileName", reinterpret_cast<void*>(&GetFileName)},
      {"P2SPCheckTask", reinterpret_cast<void*>(&CheckTask)},
      {"P2SPCheckTaskEx", reinterpret_cast<void*>(&CheckTaskEx)},
      {"P2SPGetTaskErrorCode", reinterpret_cast<void*>(&GetErrorCode)},
  };
  std::lock_guard<std::mutex> hold(E().mutex);
  if (E().missing.count(name)) return nullptr;
  auto found = exports.find(name);
  return found == exports.end() ? nullptr : found->second;
}
}  // namespace scripted

// The process-wide client bound to the script (made fresh for each test).
inline P2SPInterface& BindScriptedClient() {
  P2SPClient::Release();
  P2SPInterface& table = P2SPClient::Instance()->Interface();
  table.Bind(scripted::Lookup, nullptr);
  return table;
}
