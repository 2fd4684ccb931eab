// Interim bodies of the utility services udp uses, written to the
// behaviour the utility library gives them; they move to the utility
// library's own exports once it is linked here.
#include "utility_link.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace udp {
namespace {

std::mutex g_logMutex;  // guards g_log and every line written to it
FILE* g_log = nullptr;

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  path[n] = 0;
  std::string text(path);
  return text.substr(0, text.rfind('/') + 1);
}

uint32_t CrcTableEntry(uint32_t i) {
  for (int k = 0; k < 8; ++k) i = (i & 1) ? (i >> 1) ^ 0xEDB88320u : i >> 1;
  return i;
}

}  // namespace

bool OpenLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log != nullptr) return false;
  std::string path = ProgramFolder() + "log/udp.log";
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && st.st_size > 0x500000) unlink(path.c_str());
  g_log = fopen(path.c_str(), "a+");
  return g_log != nullptr;
}

void CloseLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log != nullptr) fclose(g_log);
  g_log = nullptr;
}

void Log(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log == nullptr) return;
  fprintf(g_log, "[%04d-%02d-%02d %02d:%02d:%02d] %s\r\n", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour, local.tm_min, local.tm_sec, text);
  fflush(g_log);
}

uint32_t Crc32(const uint8_t* data, size_t length) {
  static uint32_t table[256];
  static std::once_flag once;
  std::call_once(once, [] {
    for (uint32_t i = 0; i < 256; ++i) table[i] = CrcTableEntry(i);
  });
  uint32_t crc = 0xFF;
  for (size_t i = 0; i < length; ++i) crc = (crc >> 8) ^ table[(data[i] ^ crc) & 0xFF];
  return crc;
}

void CipherInPlace(uint8_t* data, size_t length) {
  static uint8_t keyStream[1024];
  static std::once_flag once;
  std::call_once(once, [] {
    uint32_t x = 0x5A17C3E9u;
    for (uint8_t& b : keyStream) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = uint8_t(x >> 24);
    }
  });
  for (size_t i = 0; i < length; ++i) data[i] ^= keyStream[i % 1024];
}

}  // namespace udp
