#include "host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstring>

namespace udp {
namespace {

// One lookup, shared by the caller that waits for it and the resolver's
// completion notice: whichever lets go last frees it, so a caller that
// gave up never leaves the resolver writing into freed memory.
struct PendingLookup {
  std::atomic<int> holders{2};
  std::string host;
  addrinfo hints{};
  gaicb request{};
  sigevent done{};
};

void LetGo(PendingLookup* lookup) {
  if (lookup->holders.fetch_sub(1) != 1) return;
  if (lookup->request.ar_result != nullptr) freeaddrinfo(lookup->request.ar_result);
  delete lookup;
}

void LookupDone(sigval value) { LetGo(static_cast<PendingLookup*>(value.sival_ptr)); }

}  // namespace

bool LookupIPv4(const std::string& host, in_addr* out, int timeoutMs) {
  if (host.empty()) return false;
  if (inet_pton(AF_INET, host.c_str(), out) == 1) return true;
  auto* lookup = new PendingLookup;
  lookup->host = host;
  lookup->hints.ai_family = AF_INET;
  lookup->request.ar_name = lookup->host.c_str();
  lookup->request.ar_request = &lookup->hints;
  lookup->done.sigev_notify = SIGEV_THREAD;
  lookup->done.sigev_notify_function = &LookupDone;
  lookup->done.sigev_value.sival_ptr = lookup;
  gaicb* list[1] = {&lookup->request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, &lookup->done) != 0) {
    delete lookup;  // never started: no notice will come
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  while (gai_error(&lookup->request) == EAI_INPROGRESS) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    timespec wait{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
    const gaicb* const waiting[1] = {&lookup->request};
    gai_suspend(waiting, 1, &wait);  // woken early by signals too: the loop checks again
  }
  bool found = false;
  if (gai_error(&lookup->request) == 0 && lookup->request.ar_result != nullptr) {
    *out = reinterpret_cast<const sockaddr_in*>(lookup->request.ar_result->ai_addr)->sin_addr;
    found = true;
  }
  LetGo(lookup);
  return found;
}

}  // namespace udp
