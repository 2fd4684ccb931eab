// The log of a deliverable: base::BaseLog, one per process (per shared
// library that carries its own copy of the base library).
//
// Line format: "[LEVEL|Y-M-D h:m:s(source:line)] text" + CR LF, or without
// the "(source:line)" part when no source is given. Date and time fields have
// no leading zeros. Every "\n" in a line is written as CR LF.
//
// Write from any thread through the macros below, which pass the caller's
// source name (file name without folder and extension) and line:
//   PD_LOG_ERROR("connect failed: %d", code);     level 1
//   PD_LOG_WARNING(...) 2, PD_LOG_TRACE(...) 4, PD_LOG_INFO(...) 8
//   PD_LOG_TO(log, level, fmt, ...)               a given log object
// Function trace: see log_inout.h.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/base/locks.h"

namespace base {

enum LogLevel : int {
  kLogError = 1,
  kLogWarning = 2,
  kLogTrace = 4,
  kLogInfo = 8,
  kLogAll = 0xFFFF,
};

// The level mask read from log.ini (section "filter", key = the log file's
// name). It is kept but not applied: every level is written.
struct LogFilter {
  int32_t mask = 15;
  std::string ini_path;
  std::string key;

  void Load(const std::string& logPath);
  int32_t ReadMask() const;
};

// Threading: Write/WriteRaw/Close may be called from any thread; the stream
// is guarded by lock_, taken only for one write-and-flush. Open is called by
// the owner before other threads write. GetInstance/ReleaseInstance take no
// lock: the first runs before other threads exist, the last after they stop.
class BaseLog {
 public:
  static constexpr size_t kBufferSize = 1024;          // message and line buffers
  static constexpr int64_t kMaxFileSize = 0x500000;    // larger files are deleted at Open

  static BaseLog* GetInstance();
  static void ReleaseInstance();

  BaseLog();
  virtual ~BaseLog();
  BaseLog(const BaseLog&) = delete;
  BaseLog& operator=(const BaseLog&) = delete;

  // Opens GetModuleDirectoryA() + name (e.g. "log/zelvik.log"); without a
  // name, "log/<module title>.log". False when already open or when the file
  // cannot be opened (folders are not created).
  bool Open(const char* name = nullptr);
  bool Close();
  bool IsOpen() const { return open_; }
  const std::string& GetPath() const { return path_; }
  const LogFilter& GetFilter() const { return filter_; }

  // printf-style. `source`: the caller's source name or path (only the part
  // after the last '\\' is kept) or null for the short form.
  void Write(int level, const char* source, int line, const char* format, ...)
      __attribute__((format(printf, 5, 6)));
  void WriteV(int level, const char* source, int line, const char* format, va_list args)
      __attribute__((format(printf, 5, 0)));
  void WriteRaw(const char* bytes, size_t length);

  bool IsLevelEnabled(int level) const;
  static const char* LevelName(int level);
  static int64_t GetFileLength(const std::string& path);

  // Builds one line as Write does (without the level check), for tests and
  // wrappers: CR LF line end, header plus message cut to 1023 bytes.
  static std::string FormatLine(int level, const char* source, int line, const std::string& message);

 private:
  std::atomic<bool> open_{false};
  std::string path_;
  FILE* stream_ = nullptr;
  CCriticalSection lock_;
  LogFilter filter_;
};

// Writes through `log` with the source name taken from `filePath` (folder and
// extension dropped: ".../app/core/socket_thread.cpp" gives "socket_thread").
void LogWriteAt(BaseLog* log, int level, const char* filePath, int line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// "socket_thread" from ".../socket_thread.cpp" (or "..\\socket_thread.cpp").
std::string SourceNameOf(const char* filePath);

}  // namespace base

#define PD_LOG_TO(log, level, format, ...) \
  ::base::LogWriteAt((log), (level), __FILE__, __LINE__, format, ##__VA_ARGS__)
#define PD_LOG_ERROR(format, ...) PD_LOG_TO(::base::BaseLog::GetInstance(), ::base::kLogError, format, ##__VA_ARGS__)
#define PD_LOG_WARNING(format, ...) \
  PD_LOG_TO(::base::BaseLog::GetInstance(), ::base::kLogWarning, format, ##__VA_ARGS__)
#define PD_LOG_TRACE(format, ...) PD_LOG_TO(::base::BaseLog::GetInstance(), ::base::kLogTrace, format, ##__VA_ARGS__)
#define PD_LOG_INFO(format, ...) PD_LOG_TO(::base::BaseLog::GetInstance(), ::base::kLogInfo, format, ##__VA_ARGS__)
