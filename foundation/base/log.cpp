#include "foundation/base/log.h"

#include <time.h>

#include <cstring>
#include <vector>

#include "foundation/base/ini_engine.h"
#include "foundation/base/path_util.h"

namespace base {

namespace {

BaseLog* g_instance = nullptr;

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
void CutUtf8(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

std::string FormatV(const char* format, va_list args) {
  char buffer[BaseLog::kBufferSize];
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return std::string();
  std::string text(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
  if (static_cast<size_t>(n) >= sizeof buffer) CutUtf8(text, sizeof buffer - 1);
  return text;
}

}  // namespace

void LogFilter::Load(const std::string& logPath) {
  key = GetFileNameOfPath(logPath);
  ini_path = GetDirectoryOfPath(logPath) + "/log.ini";
  mask = ReadMask();
}

int32_t LogFilter::ReadMask() const {
  std::string value = ini::GetProfileString(ini_path, "filter", key, "-1");
  if (value.size() > 32) value.resize(32);
  int32_t result = ini::ParseProfileInt(value);
  return result < 0 ? 15 : result;
}

BaseLog* BaseLog::GetInstance() {
  if (g_instance == nullptr) g_instance = new BaseLog();
  return g_instance;
}

void BaseLog::ReleaseInstance() {
  if (g_instance == nullptr) return;
  g_instance->Close();
  delete g_instance;
  g_instance = nullptr;
}

BaseLog::BaseLog() = default;

BaseLog::~BaseLog() {
  // A log deleted while open still releases its file (the owner normally
  // closes it first).
  if (stream_ != nullptr) std::fclose(stream_);
}

bool BaseLog::Open(const char* name) {
  CSingleLock hold(&lock_);
  if (stream_ != nullptr) return false;
  std::string path = GetModuleDirectoryA();
  if (name != nullptr) {
    path += name;
  } else {
    path += "log/" + GetCurrentModuleTitle() + ".log";
  }
  path_ = path;
  if (GetFileLength(path) > kMaxFileSize) std::remove(path.c_str());
  // Binary append: line ends are written as CR LF by Write itself.
  stream_ = std::fopen(path.c_str(), "ab");
  if (stream_ == nullptr) {
    open_ = false;
    return false;
  }
  open_ = true;
  filter_.Load(path);
  return true;
}

bool BaseLog::Close() {
  CSingleLock hold(&lock_);
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
    open_ = false;
  }
  return true;
}

const char* BaseLog::LevelName(int level) {
  if (level == kLogAll) return "ALL";
  if (level & kLogError) return "ERROR";
  if (level & kLogWarning) return "WARNING";
  if (level & kLogTrace) return "TRACE";
  if (level & kLogInfo) return "INFO";
  return "";
}

bool BaseLog::IsLevelEnabled(int) const { return true; }

int64_t BaseLog::GetFileLength(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  int64_t size = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long at = std::ftell(file);
    size = at < 0 ? 0 : at;
  }
  std::fclose(file);
  return size;
}

std::string BaseLog::FormatLine(int level, const char* source, int line, const std::string& message) {
  std::string file;
  if (source != nullptr) {
    const char* slash = std::strrchr(source, '\\');
    file = slash != nullptr ? slash + 1 : source;
  }
  time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  char header[kBufferSize];
  if (source != nullptr) {
    std::snprintf(header, sizeof header, "[%s|%d-%d-%d %d:%d:%d(%s:%d)] ", LevelName(level), local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, file.c_str(), line);
  } else {
    std::snprintf(header, sizeof header, "[%s|%d-%d-%d %d:%d:%d] ", LevelName(level), local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  }
  // The line (header, message, "\n") fits a 1024-byte buffer: a longer one
  // is cut, keeping its line end.
  std::string body = header;
  body += message;
  CutUtf8(body, kBufferSize - 2);
  body += '\n';
  std::string out;
  out.reserve(body.size() + 8);
  for (char c : body) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void BaseLog::Write(int level, const char* source, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteV(level, source, line, format, args);
  va_end(args);
}

void BaseLog::WriteV(int level, const char* source, int line, const char* format, va_list args) {
  // Nothing is formatted for a closed log (the time stamp costs a clock
  // read and a conversion per line).
  if (!IsLevelEnabled(level) || !open_) return;
  std::string message = format != nullptr ? FormatV(format, args) : std::string();
  std::string text = FormatLine(level, source, line, message);
  WriteRaw(text.data(), text.size());
}

void BaseLog::WriteRaw(const char* bytes, size_t length) {
  CSingleLock hold(&lock_);
  if (stream_ == nullptr) return;
  std::fwrite(bytes, 1, length, stream_);
  std::fflush(stream_);
}

std::string SourceNameOf(const char* filePath) {
  if (filePath == nullptr) return std::string();
  const char* name = filePath;
  for (const char* p = filePath; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr ? std::string(name, dot) : std::string(name);
}

void LogWriteAt(BaseLog* log, int level, const char* filePath, int line, const char* format, ...) {
  if (log == nullptr) return;
  std::string source = SourceNameOf(filePath);
  va_list args;
  va_start(args, format);
  log->WriteV(level, source.c_str(), line, format, args);
  va_end(args);
}

}  // namespace base
