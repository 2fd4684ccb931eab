// The program's side of the download engine swarmload (libswarmload.so):
// P2SPInterface binds its P2SP* exports by name into a table of slots and
// wraps each used one (an empty slot answers a fixed default); P2SPClient is
// the one process-wide client that loads, starts and stops the engine;
// HashFileDownloader is one engine task, keyed by its URL.
//
// URLs, paths and names cross to the engine as UTF-8 (the "ANSI" code page
// of this platform, WStringToAnsi).
//
// Threading: the client is made, loaded and started on the window thread
// before the first download and stopped after the download thread ended;
// every task call (HashFileDownloader) runs on the download thread, which
// also owns the file-name text of GetTaskFileName.
#pragma once

#include <cstdint>
#include <string>

// The download engine's fail code for a task whose file cannot be written:
// the disk is full (or below the engine's free-space floor), or the folder
// refuses the write.
constexpr int kEngineFailFile = 3;

class P2SPInterface {
 public:
  // The slots, in table order, with the export looked up for each.
  enum Slot {
    kNetWorkStatusCallback, kInit, kClose, kRun, kStop, kQENVersion, kGetServer, kSetProperty, kGetProperty,
    kGetTaskErrorMsg, kSetProxy, kTestProxy, kGetProxy, kNewTask, kRunTask, kRunTaskEx, kStopTask, kDelTask,
    kGetDigest, kGetTaskFileName, kGetTaskFileSize, kGetTaskSpeed, kGetTaskDownloadedSize, kGetTaskStatus,
    kUnused24, kCheckTask, kCheckTaskEx, kGetAllTaskUrl, kGetAllTaskSpeed, kSetServerAddr, kSetTaskType,
    kGetTaskErrorCode,  // after the table: why a failed task failed
    kSlotCount
  };
  static const char* SlotName(int slot);  // null for the slot never filled

  P2SPInterface() = default;
  ~P2SPInterface();
  P2SPInterface(const P2SPInterface&) = delete;
  P2SPInterface& operator=(const P2SPInterface&) = delete;

  // dlopen of `path`; on failure logs "load swarmload.dll failed. Error = %d"
  // and answers false with every slot empty. Otherwise fills the slots by
  // name (missing names stay empty) and answers true.
  bool Load(const std::u16string& path);
  // Fills the slots from `lookup` (name → function or null): the same
  // binding by name over another source of exports (test doubles).
  void Bind(void* (*lookup)(void* context, const char* name), void* context);
  // Empties the slots and closes the library when one is held.
  void Unload();
  bool IsBound(int slot) const { return slots_[slot] != nullptr; }

  bool P2SPInit(const std::string& work_folder);
  bool P2SPRun();
  void P2SPStop();
  void P2SPClose();
  bool P2SPSetProperty(const char* name, const void* value, int size);
  bool P2SPNewTask(const std::string& url, const std::string& path, int type);
  // P2SPRunTaskEx when bound, else P2SPRunTask (URL and type only).
  bool P2SPRunTask(const std::string& url, const std::string& path, int type);
  bool P2SPStopTask(const std::string& url);
  bool P2SPDelTask(const std::string& url);
  // The low 8 bits of the export's answer; -1 when unbound.
  int P2SPGetTaskStatus(const std::string& url);
  uint64_t P2SPGetTaskFileSize(const std::string& url);
  uint64_t P2SPGetTaskDownloadedSize(const std::string& url);
  int32_t P2SPGetTaskSpeed(const std::string& url);
  // The recorded file of the URL; empty when the engine has none. The
  // buffer is PATH_MAX bytes, so any path the file system holds fits.
  std::u16string P2SPGetTaskFileName(const std::string& url);
  // P2SPCheckTaskEx when bound, else P2SPCheckTask (URL and kind), else 0.
  int P2SPCheckTask(const std::string& url, int kind, const std::string& path);
  // The engine's fail code of the URL's failed task (kEngineFailFile, ...);
  // 0 when it has none or the export is missing.
  int P2SPGetTaskErrorCode(const std::string& url);

 private:
  template <typename Fn>
  Fn Get(int slot) const { return reinterpret_cast<Fn>(slots_[slot]); }

  void* slots_[kSlotCount] = {};
  void* module_ = nullptr;
};

class P2SPClient {
 public:
  static P2SPClient* Instance();  // made on first call
  static P2SPClient* Get();       // or null
  static void Release();          // deletes it (unloading the library)

  bool Load(const std::u16string& path) { return interface_.Load(path); }
  void SetWorkPath(const std::u16string& folder);
  // P2SPInit, the two properties, P2SPRun; logs and answers false on failure.
  bool Start();
  void Stop();  // P2SPStop, then P2SPClose
  P2SPInterface& Interface() { return interface_; }
  bool IsInitialised() const { return initialised_; }

 private:
  bool initialised_ = false;
  uint16_t union_id_ = 1111;
  uint64_t version_ = 0;
  std::string work_folder_;
  P2SPInterface interface_;
};

class HashFileDownloader {
 public:
  explicit HashFileDownloader(const std::u16string& url);

  // Resumes a task the engine holds, accepts a complete valid file, or
  // starts the URL anew; see the .cpp.
  bool StartDownload(const std::u16string& path, int type);
  bool Stop();
  int GetStatus();
  uint64_t GetFileSize();
  uint64_t GetDownloadedSize();
  int32_t GetSpeed();
  std::u16string GetFileName();
  bool NewTask(const std::u16string* path, int type);
  bool RunTask(const std::u16string* path, int type);
  int CheckTask(int kind, const std::u16string* path);
  bool DelTask();
  int GetErrorCode();

  const std::string& Url() const { return url_; }

 private:
  std::string url_;
  int type_ = 0;
};
