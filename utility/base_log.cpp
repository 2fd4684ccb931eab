// CBaseLog and FunctionChecker.
#include "utility/base_log.h"

#include <sys/stat.h>

#include <cstdarg>
#include <ctime>
#include <mutex>

#include "utility/os/os_env.h"

namespace {

constexpr off_t kMaxLogSize = 5242880;  // 0x500000

std::mutex& InstanceLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

tm LocalNow() {
  const time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  return local;
}

std::string ProgramFolder() {
  const std::string exe = utility_os::ExecutablePath();
  const size_t cut = exe.rfind('/');
  return cut == std::string::npos ? std::string() : exe.substr(0, cut + 1);
}

}  // namespace

CBaseLog* CBaseLog::m_log = nullptr;

CBaseLog::CBaseLog() : m_open(false), m_file(nullptr), m_references(0) {}

CBaseLog::~CBaseLog() {
  if (m_file != nullptr) std::fclose(m_file);
}

CBaseLog* CBaseLog::Log() {
  std::lock_guard<std::mutex> lock(InstanceLock());
  if (m_log == nullptr) m_log = new CBaseLog;
  return m_log;
}

void CBaseLog::Unlog() {
  std::lock_guard<std::mutex> lock(InstanceLock());
  if (m_log == nullptr) return;
  m_log->m_lock.Lock();
  const bool inUse = m_log->m_references > 0;
  m_log->m_lock.UnLock();
  if (inUse) return;
  delete m_log;
  m_log = nullptr;
}

bool CBaseLog::OpenLog(const char* name) {
  m_lock.Lock();
  if (m_open) {
    ++m_references;
    m_lock.UnLock();
    return false;
  }
  m_path = ProgramFolder() + utility_os::NativePath(name != nullptr ? name : "swarmload.log");
  struct stat st;
  if (stat(m_path.c_str(), &st) == 0 && st.st_size > kMaxLogSize) std::remove(m_path.c_str());
  m_file = std::fopen(m_path.c_str(), "a+");
  m_open = m_file != nullptr;
  if (m_open) m_references = 1;
  const bool opened = m_open;
  m_lock.UnLock();
  return opened;
}

bool CBaseLog::IsOpen() {
  m_lock.Lock();
  const bool open = m_open;
  m_lock.UnLock();
  return open;
}

bool CBaseLog::CloseLog() {
  m_lock.Lock();
  if (m_references > 0) --m_references;
  if (m_references == 0) {
    if (m_file != nullptr) std::fclose(m_file);
    m_file = nullptr;
    m_open = false;
  }
  m_lock.UnLock();
  return true;
}

int CBaseLog::WriteLog(const char* data, int length) {
  if (data == nullptr || length < 0) return 0;
  m_lock.Lock();
  int written = 0;
  if (m_open && m_file != nullptr) {
    const tm t = LocalNow();
    std::fprintf(m_file, "[%d-%02d-%02d %02d:%02d:%02d]", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                 t.tm_hour, t.tm_min, t.tm_sec);
    written = static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(length), m_file));
    std::fflush(m_file);
  }
  m_lock.UnLock();
  return written;
}

void CBaseLog::OutFile(int level, const char* format, ...) {
  if ((level & 2) == 0 || format == nullptr) return;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  const tm t = LocalNow();
  char stamp[40];
  std::snprintf(stamp, sizeof(stamp), "[%04d-%02d-%02d %02d:%02d:%02d] ", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  m_lock.Lock();
  if (m_open && m_file != nullptr) {
    std::fputs(stamp, m_file);
    std::fputs(text, m_file);
    std::fputs("\r\n", m_file);
    std::fflush(m_file);
  }
  m_lock.UnLock();
}

uint32_t FunctionChecker::g_nCheckerCounter = 0;

FunctionChecker::FunctionChecker(const char* name)
    : m_sequence(__atomic_fetch_add(&g_nCheckerCounter, 1, __ATOMIC_RELAXED)),
      m_startTick(utility_os::TickCount()),
      m_name(name ? name : "") {
  char text[256];
  std::snprintf(text, sizeof(text), "%s begin %u\n", m_name.c_str(), m_sequence);
  utility_os::DebugOutput(text);
}

FunctionChecker::~FunctionChecker() {
  char text[256];
  std::snprintf(text, sizeof(text), "%s end %u, time use %u ms\n", m_name.c_str(), m_sequence,
                utility_os::TickCount() - m_startTick);
  utility_os::DebugOutput(text);
}
