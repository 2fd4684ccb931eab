#include "base/kit_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/module_path.h"

namespace kitoracle {
namespace {

constexpr size_t kNameField = 29;

const char* BaseName(const char* path) {
  if (path == nullptr) return "";
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 character.
void CutUtf8(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t n = limit;
  while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
  text.resize(n);
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CBaseLog& CBaseLog::Instance() {
  static CBaseLog log;  // closed by DSClose, kept until the library unloads
  return log;
}

CBaseLog::~CBaseLog() {
  if (fd_ >= 0) close(fd_);
}

std::string CBaseLog::LogPath(const char* name) {
  if (IsOpen()) return std::string();
  std::string path = platform::ProgramDirectory() + "log/" + name;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kMaxFileSize) unlink(path.c_str());
  return path;
}

void CBaseLog::LogInit(const std::string& path, const char* source) {
  if (path.empty()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (open_) return;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return;
    fd_ = fd;
    open_ = true;
  }
  Write(__LINE__, __FILE__, "CBaseLog::LogInit", "日志系统初始化成功[%s].", BaseName(source));
}

void CBaseLog::LogClose() {
  if (IsOpen()) Write(__LINE__, __FILE__, "CBaseLog::LogClose", "日志关闭\r\n");
  std::lock_guard<std::mutex> hold(lock_);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  open_ = false;
}

bool CBaseLog::IsOpen() {
  std::lock_guard<std::mutex> hold(lock_);
  return open_;
}

void CBaseLog::Write(int line, const char* file, const char* function, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteV(line, file, function, format, args);
  va_end(args);
}

void CBaseLog::WriteV(int line, const char* file, const char* function, const char* format, va_list args) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!open_ || fd_ < 0 || format == nullptr) return;
  std::string message;
  if (std::strlen(format) >= kMessageSize) {
    message = "The format string is too long.";
  } else if (format[0] != 0) {
    char buffer[kMessageSize];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0) return;
    message.assign(buffer, size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
    CutUtf8(message, kMessageSize - 1);  // a long message is kept cut rather than lost
  }
  WriteLocked(line, file, function, message);
}

std::string CBaseLog::NameField(const char* file, const char* function) {
  std::string name = function != nullptr ? function : "";
  if (name.size() > kNameField) name = name.substr(name.size() - kNameField);
  std::string field = name;
  size_t room = kNameField - name.size();
  if (room >= 2) {
    std::string source = BaseName(file);
    size_t take = source.size() < room - 1 ? source.size() : room - 1;
    field = source.substr(source.size() - take) + "|" + name;
  }
  return std::string(kNameField - field.size(), ' ') + field;
}

void CBaseLog::WriteLocked(int line, const char* file, const char* function, const std::string& message) {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  std::string field = NameField(file, function);
  char head[128];
  std::snprintf(head, sizeof head, "[%4d-%2d-%2d %2d:%2d:%2d][%4d][%s]---", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, line, field.c_str());
  std::string text = std::string(head) + message + "\r\n\r\n";
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= size_t(n);
  }
}

CLogInOut::CLogInOut(const char* function, int line, const char* file)
    : function_(function), file_(file), line_(line), start_(NowMs()) {
  CBaseLog::Instance().Write(line_, file_, function_, "%s in.", function_);
}

CLogInOut::~CLogInOut() {
  int64_t elapsed = NowMs() - start_;
  if (elapsed < 1000) {
    CBaseLog::Instance().Write(line_, file_, function_, "%s out and tick %d ms.", function_, int(elapsed));
  } else {
    CBaseLog::Instance().Write(line_, file_, function_, "%s out and tick %d s %d ms.", function_, int(elapsed / 1000),
                               int(elapsed % 1000));
  }
}

void LogSystemError(int line, const char* file, const char* function) {
  int code = errno;
  if (code == 0) return;
  CBaseLog::Instance().Write(line, file, function, "ErrorCode = %d:%s", code, std::strerror(code));
}

}  // namespace kitoracle
