// Small helpers shared by the udp and relaylink tests that drive the
// simulators: the peer's echo answer and a bounded wait for a condition.
#ifndef PHONEDECK_TESTING_UDP_SIM_TEST_SUPPORT_H
#define PHONEDECK_TESTING_UDP_SIM_TEST_SUPPORT_H

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace udpsim {

// An answer for UdpPeerSim: "e:" followed by the request's payload.
inline std::vector<uint8_t> Echo(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> reply(payload.size() + 2);
  reply[0] = 'e';
  reply[1] = ':';
  std::copy(payload.begin(), payload.end(), reply.begin() + 2);
  return reply;
}

// Polls done() every 10 ms until it holds (true) or ms have passed (false).
template <typename F>
bool WaitFor(F done, int ms = 5000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace udpsim

#endif  // PHONEDECK_TESTING_UDP_SIM_TEST_SUPPORT_H
