// An INF setup library for tests: every install answers the set code
// (0, an unknown error, at first) and the bus ids it was asked for are kept.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mu;
int g_code = 0;
std::vector<std::u16string> g_bus_ids;
}  // namespace

FAKE_API void QENSetDriverPackage(const char16_t*, int) {}
FAKE_API int QENKitplanter(const char16_t* bus_id) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_bus_ids.push_back(bus_id ? bus_id : u"");
  return g_code;
}

// ---- test hooks ----
FAKE_API void FakeKp_SetCode(int code) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_code = code;
}
// The n-th bus id asked for (from 0), copied into a buffer of 64; 0 when none.
FAKE_API int FakeKp_BusId(int n, char16_t* out64) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (n < 0 || static_cast<size_t>(n) >= g_bus_ids.size()) return 0;
  const std::u16string& id = g_bus_ids[n];
  size_t len = id.size() < 63 ? id.size() : 63;
  id.copy(out64, len);
  out64[len] = 0;
  return 1;
}
FAKE_API void FakeKp_Reset() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_code = 0;
  g_bus_ids.clear();
}
