// The search service simulator as a program, for the demo and the tests that
// run the whole program. It starts on 127.0.0.1 and prints
//   SEARCHSIM READY dispatch_port=<port> search_url=<url>
// then one line per request as it arrives
//   SEARCHSIM REQUEST <transport> <service> <command>
// until its standard input ends; then one line per error it recorded
// ("SEARCHSIM ERROR <text>"), and it ends with exit code 0.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "search_sim.h"

namespace {
// Prints the requests after the first `shown`; returns how many there are.
size_t PrintRequests(searchsim::SearchServiceSim& sim, size_t shown) {
  const std::vector<searchsim::Received> all = sim.Requests();
  for (size_t i = shown; i < all.size(); ++i) {
    const searchsim::Received& r = all[i];
    std::printf("SEARCHSIM REQUEST %s %u 0x%02x\n", r.transport.c_str(), static_cast<unsigned>(r.service),
                r.packet.empty() ? 0u : static_cast<unsigned>(r.packet[0]));
  }
  std::fflush(stdout);
  return all.size();
}
}  // namespace

int main() {
  searchsim::SearchServiceSim sim;
  if (!sim.Start()) {
    std::fprintf(stderr, "search_sim: cannot start on 127.0.0.1\n");
    return 1;
  }
  std::printf("SEARCHSIM READY dispatch_port=%u search_url=%s\n", static_cast<unsigned>(sim.DispatchPort()),
              sim.SearchUrl().c_str());
  std::fflush(stdout);
  size_t shown = 0;
  for (;;) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&in, 1, 100);
    shown = PrintRequests(sim, shown);
    if (ready > 0) {
      char buffer[256];
      if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) break;  // the input ended
    }
  }
  PrintRequests(sim, shown);
  for (const std::string& e : sim.Errors()) std::printf("SEARCHSIM ERROR %s\n", e.c_str());
  std::fflush(stdout);
  sim.Stop();
  return 0;
}
