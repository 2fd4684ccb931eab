// A driver information library for tests: the start-up calls and the
// statistics report, counted; every other procedure is missing on purpose.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mu;
std::map<std::string, int> g_calls;
int g_init_result = 0;
void Count(const char* name) {
  std::lock_guard<std::mutex> lock(g_mu);
  ++g_calls[name];
}
}  // namespace

FAKE_API int DGInit() {
  Count("DGInit");
  return g_init_result;
}
FAKE_API void DGClose() { Count("DGClose"); }
FAKE_API void DGSetMajorAppID(int) { Count("DGSetMajorAppID"); }
FAKE_API void DGSetClientVer(uint64_t) { Count("DGSetClientVer"); }
FAKE_API void DGSetUnionID(int) { Count("DGSetUnionID"); }
FAKE_API void DGSetLocalBrandStr(const char16_t*, const char16_t*, const char16_t*) { Count("DGSetLocalBrandStr"); }
FAKE_API void DGSetLocalSystemInfo(int, uint16_t, uint8_t) { Count("DGSetLocalSystemInfo"); }
FAKE_API int DGStatReport(int kind, uintptr_t) {
  Count("DGStatReport");
  return kind == 7 ? 1 : 0;
}

FAKE_API int FakeKf_Calls(const char* name) {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_calls[name];
}
FAKE_API void FakeKf_SetInitResult(int result) { g_init_result = result; }
FAKE_API void FakeKf_Reset() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_calls.clear();
  g_init_result = 0;
}
