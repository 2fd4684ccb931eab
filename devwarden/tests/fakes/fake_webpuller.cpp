// A download library for tests: refuses every start until a test lets it
// accept them (FakeDl_AcceptStarts); accepted downloads report the given
// status at once, and the file name /tmp/<32 hex digits>.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mu;
int g_status_of_started = 0;  // 0: refuse starts
int g_next_id = 1;
uint8_t g_last_key[16];
}  // namespace

FAKE_API void DLSetDownloadPath(const char16_t*) {}
FAKE_API int DLStartDownload(const uint8_t* key) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (!g_status_of_started || !key) return 0;
  std::memcpy(g_last_key, key, 16);
  return g_next_id++;
}
FAKE_API void DLStopDownload(int) {}
FAKE_API int DLGetDownloadStatus(int id) {
  std::lock_guard<std::mutex> lock(g_mu);
  return id > 0 && id < g_next_id ? g_status_of_started : 7;
}
FAKE_API uint64_t DLGetDownloadSize(int) { return 0; }
FAKE_API int DLGetDownloadSpeed(int) { return 0; }
FAKE_API int DLGetDownloadFileName(int id, char16_t* path) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (id <= 0 || id >= g_next_id) return 0;
  static const char16_t kDigits[] = u"0123456789abcdef";
  std::u16string name = u"/tmp/";
  for (int i = 0; i < 16; ++i) {
    name.push_back(kDigits[g_last_key[i] >> 4]);
    name.push_back(kDigits[g_last_key[i] & 0xF]);
  }
  std::memcpy(path, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  return static_cast<int>(name.size());
}

// ---- test hooks ----
FAKE_API void FakeDl_AcceptStarts(int status) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_status_of_started = status;
}
