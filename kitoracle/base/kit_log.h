// The library's log, "kitoracle.log" in the "log" folder of the host
// program's folder (platform::ProgramDirectory()). The folder is not made:
// without it the log stays closed and logging does nothing. A file larger
// than 1,048,576 bytes is deleted when the log opens.
//
// Each entry is one line
//   "[%4d-%2d-%2d %2d:%2d:%2d][%4d][%s]---%s\r\n"
// (local date and time, source line, a 29-character name field holding the
// tail of the source file name, '|' and the function name), followed by an
// empty line. Lines are written unbuffered, so the file is whole after a
// crash.
//
// Threading: one object per process, created on first use and kept until
// the library unloads (DSClose only closes the file). lock_ guards the file descriptor and the open flag, and is held
// from formatting a line to writing it, so lines of several threads never
// mix; Close takes the same lock, so a thread still logging while another
// closes either writes its whole line or nothing.
#ifndef KITORACLE_BASE_KIT_LOG_H_
#define KITORACLE_BASE_KIT_LOG_H_

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

namespace kitoracle {

class CBaseLog {
 public:
  static constexpr size_t kMessageSize = 576;
  static constexpr int64_t kMaxFileSize = 1048576;

  static CBaseLog& Instance();
  ~CBaseLog();

  // The path to open: program folder + "log/" + name, the file deleted when
  // larger than kMaxFileSize. Empty when the log is open already.
  std::string LogPath(const char* name);
  // Opens (appending, creating) and writes "日志系统初始化成功[<source>]."; a
  // file that cannot be opened leaves the log closed, silently.
  void LogInit(const std::string& path, const char* source);
  // Writes "日志关闭" and closes the file; the object stays usable.
  void LogClose();
  bool IsOpen();

  void Write(int line, const char* file, const char* function, const char* format, ...)
      __attribute__((format(printf, 5, 6)));
  void WriteV(int line, const char* file, const char* function, const char* format, va_list args)
      __attribute__((format(printf, 5, 0)));

  // The 29-character name field of a line (pure; for tests).
  static std::string NameField(const char* file, const char* function);

 private:
  void WriteLocked(int line, const char* file, const char* function, const std::string& message);
  std::mutex lock_;  // guards fd_ and open_ (see the threading note above)
  int fd_ = -1;
  bool open_ = false;
};

// "%s in." on construction, "%s out and tick %d ms." (or "%d s %d ms.") on
// destruction.
class CLogInOut {
 public:
  CLogInOut(const char* function, int line, const char* file);
  ~CLogInOut();
  CLogInOut(const CLogInOut&) = delete;
  CLogInOut& operator=(const CLogInOut&) = delete;

 private:
  const char* function_;
  const char* file_;
  int line_;
  int64_t start_;
};

// "ErrorCode = %d:%s" with errno and its text.
void LogSystemError(int line, const char* file, const char* function);

}  // namespace kitoracle

#define KIT_LOG(...) ::kitoracle::CBaseLog::Instance().Write(__LINE__, __FILE__, __func__, __VA_ARGS__)
#define KIT_LOG_ERRNO() ::kitoracle::LogSystemError(__LINE__, __FILE__, __func__)
#define KIT_LOG_INOUT(name) ::kitoracle::CLogInOut kit_log_inout_(name, __LINE__, __FILE__)

#endif  // KITORACLE_BASE_KIT_LOG_H_
