#include "host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace udp {
namespace {

// One lookup, shared by the caller that waits for it and the thread that
// asks the resolver: whichever lets go last frees it, so a caller that gave
// up never leaves the resolver writing into freed memory. (A thread of our
// own rather than getaddrinfo_a: the resolver's internal threads are not
// seen by the thread sanitizer, which then crashes in them.)
// Threading: `mutex` guards `finished`, `found` and `address`.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool found = false;
  in_addr address{};
};

void Resolve(const std::string& host, const std::shared_ptr<PendingLookup>& lookup) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  const bool ok = getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0 && result != nullptr;
  std::lock_guard<std::mutex> lock(lookup->mutex);
  if (ok) lookup->address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
  if (result != nullptr) freeaddrinfo(result);
  lookup->found = ok;
  lookup->finished = true;
  lookup->done.notify_all();
}

}  // namespace

bool LookupIPv4(const std::string& host, in_addr* out, int timeoutMs) {
  if (host.empty()) return false;
  if (inet_pton(AF_INET, host.c_str(), out) == 1) return true;
  auto lookup = std::make_shared<PendingLookup>();
  try {
    std::thread(Resolve, host, lookup).detach();
  } catch (const std::system_error&) {
    return false;  // no thread: no lookup
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  lookup->done.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                        [&lookup] { return lookup->finished; });
  if (!lookup->finished || !lookup->found) return false;
  *out = lookup->address;
  return true;
}

}  // namespace udp
