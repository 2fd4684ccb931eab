#include "transport/endpoints.h"

#include <cstdio>
#include <cstdlib>

namespace kitoracle {
namespace {
std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != 0 ? value : fallback;
}
}  // namespace

std::string DispatchHost() { return Env("PHONEDECK_DS_DISPATCH_HOST", "127.0.0.1"); }

void DispatchPorts(int* first, int* second) {
  *first = 3000;
  *second = 4000;
  std::string ports = Env("PHONEDECK_DS_DISPATCH_PORTS", "");
  int a = 0, b = 0;
  int n = std::sscanf(ports.c_str(), "%d,%d", &a, &b);
  if (n >= 1 && a > 0 && a < 65536) *first = a;
  if (n == 2 && b > 0 && b < 65536) *second = b;
  if (n == 1) *second = *first;
}

std::string SearchUrl() { return Env("PHONEDECK_DS_SEARCH_URL", "http://127.0.0.1/drvsearch.ashx"); }

int ProbeWaitMs(int timeoutSeconds) {
  std::string text = Env("PHONEDECK_DS_PROBE_WAIT_MS", "");
  char* end = nullptr;
  long ms = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && end != nullptr && *end == 0 && ms >= 0 && ms <= 600000) return int(ms);
  return timeoutSeconds * 1000;
}

}  // namespace kitoracle
