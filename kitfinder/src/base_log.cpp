#include "base_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/module_path.h"

namespace kitfinder {

namespace {
std::mutex g_instance_mu;  // guards g_instance
CBaseLog* g_instance = nullptr;

// The file name part of a source path.
const char* BaseName(const char* path) {
  if (!path) return "";
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}
}  // namespace

CBaseLog* CBaseLog::GetInstance() {
  std::lock_guard<std::mutex> hold(g_instance_mu);
  if (!g_instance) g_instance = new CBaseLog();
  return g_instance;
}

std::string CBaseLog::LogPath(const char* file_name) {
  if (IsOpen()) return std::string();
  const std::string path = platform::ProgramDirectory() + "log/" + file_name;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kMaxFileSize) ::unlink(path.c_str());
  return path;
}

void CBaseLog::LogInit(const std::string& path, const char* source) {
  if (path.empty()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (fd_ >= 0) return;
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return;
  }
  Write(__LINE__, __FILE__, "CBaseLog::LogInit", "日志系统初始化成功[%s].", BaseName(source));
}

void CBaseLog::LogClose() {
  if (!IsOpen()) return;
  Write(__LINE__, __FILE__, "CBaseLog::LogClose", "日志关闭\r\n");
  std::lock_guard<std::mutex> hold(lock_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool CBaseLog::IsOpen() {
  std::lock_guard<std::mutex> hold(lock_);
  return fd_ >= 0;
}

void CBaseLog::Write(int line, const char* source, const char* function, const char* format, ...) {
  if (!IsOpen() || !format) return;
  std::string message;
  if (std::strlen(format) >= kMessageSize) {
    message = "The format string is too long.";
  } else {
    char buffer[kMessageSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n <= 0) return;
    // A longer message is cut at the buffer, at the start of a UTF-8 character.
    size_t length = static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1;
    if (static_cast<size_t>(n) >= sizeof buffer) {
      while (length > 0 && (static_cast<unsigned char>(buffer[length]) & 0xC0) == 0x80) --length;
    }
    message.assign(buffer, length);
  }
  WriteLocked(line, source, function, message);
}

void CBaseLog::WriteLocked(int line, const char* source, const char* function, const std::string& message) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string entry = FormatEntry(local, line, NameField(BaseName(source), function), message);
  std::lock_guard<std::mutex> hold(lock_);
  if (fd_ < 0) return;
  // Written at once, unbuffered: the file is complete after a crash.
  const char* p = entry.data();
  size_t left = entry.size();
  while (left > 0) {
    const ssize_t w = ::write(fd_, p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    left -= static_cast<size_t>(w);
  }
}

std::string CBaseLog::NameField(const char* source, const char* function) {
  std::string name = function ? function : "";
  if (name.size() > static_cast<size_t>(kNameFieldWidth)) name = name.substr(name.size() - kNameFieldWidth);
  std::string field = name;
  const size_t left = kNameFieldWidth - name.size();
  if (left >= 2) {
    std::string file = source ? source : "";
    const size_t room = left - 1;
    if (file.size() > room) file = file.substr(file.size() - room);
    field = file + "|" + name;
  }
  return std::string(kNameFieldWidth - field.size(), ' ') + field;
}

std::string CBaseLog::FormatEntry(const std::tm& when, int line, const std::string& name_field,
                                  const std::string& message) {
  char head[96];
  std::snprintf(head, sizeof head, "[%4d-%2d-%2d %2d:%2d:%2d][%4d][", when.tm_year + 1900, when.tm_mon + 1,
                when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec, line);
  return head + name_field + "]---" + message + "\r\n\r\n";
}

std::string OwnModuleFolder(const char* suffix) {
  static const int kAnchor = 0;
  const std::string module = platform::ModulePathOf(&kAnchor);
  const size_t slash = module.rfind('/');
  if (module.empty() || slash == std::string::npos) {
    KF_LOG("error GetModuleFileName");
    return std::string();
  }
  return module.substr(0, slash + 1) + (suffix ? suffix : "");
}

}  // namespace kitfinder
