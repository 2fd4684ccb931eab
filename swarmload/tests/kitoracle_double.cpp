// libkitoracle.so for the swarmload tests: the four entry points swarmload
// binds, answering as the test sets them and recording what they were given.
// Threading: every entry point takes one mutex.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#define DOUBLE_API extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_mutex;
int g_result = 0;
std::u16string g_url;
std::u16string g_name;
int g_init_calls = 0;
int g_close_calls = 0;
int g_search_calls = 0;
uint8_t g_last_digest[16] = {0};
int g_reports = 0;
uint32_t g_report_union = 0;
int32_t g_report_kind = 0;
uint8_t g_report_identity[16] = {0};
std::u16string g_report_text;
// While held, DSInit waits (as the real one waits for the search service).
bool g_hold_init = false;
int g_init_waiting = 0;
std::condition_variable g_init_changed;  // with g_mutex

}  // namespace

DOUBLE_API void KitoracleDouble_Reset() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_result = 0;
  g_url.clear();
  g_name.clear();
  g_init_calls = g_close_calls = g_search_calls = g_reports = 0;
  g_report_union = 0;
  g_report_kind = 0;
  g_report_text.clear();
  std::memset(g_report_identity, 0, sizeof g_report_identity);
}

DOUBLE_API void KitoracleDouble_SetAnswer(int result, const char16_t* url, const char16_t* name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_result = result;
  g_url = url;
  g_name = name;
}

// "init,close,search,reports" counts.
DOUBLE_API void KitoracleDouble_Counts(int* init, int* close, int* search, int* reports) {
  std::lock_guard<std::mutex> lock(g_mutex);
  *init = g_init_calls;
  *close = g_close_calls;
  *search = g_search_calls;
  *reports = g_reports;
}

DOUBLE_API void KitoracleDouble_LastDigest(uint8_t out[16]) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::memcpy(out, g_last_digest, 16);
}

DOUBLE_API const char16_t* KitoracleDouble_LastReport(uint32_t* union_id, int32_t* kind, uint8_t identity[16]) {
  static std::u16string copy;
  std::lock_guard<std::mutex> lock(g_mutex);
  *union_id = g_report_union;
  *kind = g_report_kind;
  std::memcpy(identity, g_report_identity, 16);
  copy = g_report_text;
  return copy.c_str();
}

// DSInit waits from now on until the hold is lifted (0).
DOUBLE_API void KitoracleDouble_HoldInit(int hold) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_hold_init = hold != 0;
  g_init_changed.notify_all();
}

// 1 once a DSInit waits on the hold (at most `timeout_ms`), else 0.
DOUBLE_API int KitoracleDouble_WaitInitHeld(int timeout_ms) {
  std::unique_lock<std::mutex> lock(g_mutex);
  return g_init_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [] { return g_init_waiting > 0; }) ? 1 : 0;
}

DOUBLE_API int DSInit() {
  std::unique_lock<std::mutex> lock(g_mutex);
  ++g_init_calls;
  ++g_init_waiting;
  g_init_changed.notify_all();
  g_init_changed.wait(lock, [] { return !g_hold_init; });
  --g_init_waiting;
  return 0;
}

DOUBLE_API void DSClose() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_close_calls;
}

DOUBLE_API int DSSearchServerRes(const uint8_t* digest, char16_t* url, int32_t url_units, char16_t* name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_search_calls;
  std::memcpy(g_last_digest, digest, 16);
  if (g_result != 0) return g_result;
  if (static_cast<int32_t>(g_url.size()) >= url_units || g_name.size() >= 260) return 2;
  std::memcpy(url, g_url.c_str(), (g_url.size() + 1) * sizeof(char16_t));
  std::memcpy(name, g_name.c_str(), (g_name.size() + 1) * sizeof(char16_t));
  return 0;
}

DOUBLE_API int DSDownloadStatReport(uint32_t union_id, const uint8_t* identity, int32_t kind, const char16_t* text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_reports;
  g_report_union = union_id;
  g_report_kind = kind;
  std::memcpy(g_report_identity, identity, 16);
  g_report_text = text;
  return 0;
}
