// kitfinder's log "log/kitfinder.log" in the host program's folder, and the
// folder of a module.
//
// Line: "[%4d-%2d-%2d %2d:%2d:%2d][%4d][%s]---%s\r\n" (local date and time,
// source line, a 29-character name field, message), then one more CR LF.
// The "log" folder is never created: without it the log stays closed and
// logging does nothing. A file larger than 1,048,576 bytes is deleted when the
// log opens.
//
// Threading: every line is formatted and written under the log's own lock,
// so lines of several threads never mix. The instance is made on first use
// under a process-wide lock and lives to the end of the process (closing it
// leaves it usable: another thread may still be writing a line).
#ifndef KITFINDER_SRC_BASE_LOG_H_
#define KITFINDER_SRC_BASE_LOG_H_

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

namespace kitfinder {

class CBaseLog {
 public:
  static constexpr size_t kMessageSize = 576;       // bytes of one message
  static constexpr int64_t kMaxFileSize = 1048576;  // larger files are deleted at opening
  static constexpr int kNameFieldWidth = 29;

  // The one instance, made on first use (closed).
  static CBaseLog* GetInstance();

  // Program folder + "log/" + file_name, after deleting a file larger than
  // kMaxFileSize; empty when this log is already open.
  std::string LogPath(const char* file_name);
  // Opens `path` for appending; on success writes "日志系统初始化成功[source].".
  // An empty path or a file that cannot be opened leaves the log closed.
  void LogInit(const std::string& path, const char* source);
  // Writes "日志关闭" and closes the file.
  void LogClose();
  bool IsOpen();

  // One line: printf-style message from `format`.
  void Write(int line, const char* source, const char* function, const char* format, ...)
      __attribute__((format(printf, 5, 6)));

  // The name field: `function` (its last 29 characters when longer) right-
  // aligned; when at least two positions remain, '|' and as much of the end
  // of `source` as fits to its left; spaces fill the rest.
  static std::string NameField(const char* source, const char* function);
  // A whole entry as written: the line and the empty line after it.
  static std::string FormatEntry(const std::tm& when, int line, const std::string& name_field,
                                 const std::string& message);

 private:
  void WriteLocked(int line, const char* source, const char* function, const std::string& message);

  std::mutex lock_;  // guards fd_ and every write
  int fd_ = -1;
};

// The folder (with a trailing '/') of the module that holds kitfinder's
// code, followed by `suffix`; empty when it cannot be found (logged).
std::string OwnModuleFolder(const char* suffix);

}  // namespace kitfinder

#define KF_LOG(format, ...) \
  ::kitfinder::CBaseLog::GetInstance()->Write(__LINE__, __FILE__, __func__, format, ##__VA_ARGS__)

#endif  // KITFINDER_SRC_BASE_LOG_H_
