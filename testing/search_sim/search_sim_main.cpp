// search_service_sim: the search service simulator as a program, for the
// demo and for manual runs. Prints the environment that points the client
// at it, one VARIABLE=value per line, then one line per request as it
// arrives ("REQUEST <transport> <service> <command in hex>"), and serves
// until SIGINT, SIGTERM or SIGHUP. Exits 1 when it recorded an error.
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "search_sim.h"

namespace {
// Prints the requests after the first `shown`; returns how many there are.
size_t PrintRequests(searchsim::SearchServiceSim& sim, size_t shown) {
  const std::vector<searchsim::Received> all = sim.Requests();
  for (size_t i = shown; i < all.size(); ++i) {
    const searchsim::Received& r = all[i];
    std::printf("REQUEST %s %u 0x%02x\n", r.transport.c_str(), static_cast<unsigned>(r.service),
                r.packet.empty() ? 0u : static_cast<unsigned>(r.packet[0]));
  }
  std::fflush(stdout);
  return all.size();
}
}  // namespace

int main() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // before any thread starts: only sigtimedwait takes them

  searchsim::SearchServiceSim sim;
  if (!sim.Start()) {
    std::fprintf(stderr, "search_service_sim: cannot start on 127.0.0.1\n");
    return 2;
  }
  std::printf("PHONEDECK_DS_DISPATCH_HOST=127.0.0.1\n");
  std::printf("PHONEDECK_DS_DISPATCH_PORTS=%u,%u\n", sim.DispatchPort(), sim.DispatchPort());
  std::printf("PHONEDECK_DS_SEARCH_URL=%s\n", sim.SearchUrl().c_str());
  std::fflush(stdout);

  size_t shown = 0;
  const timespec tick{0, 100 * 1000 * 1000};
  while (sigtimedwait(&stop, nullptr, &tick) < 0) shown = PrintRequests(sim, shown);
  PrintRequests(sim, shown);

  int status = 0;
  for (const std::string& error : sim.Errors()) {
    std::fprintf(stderr, "search_service_sim: %s\n", error.c_str());
    status = 1;
  }
  sim.Stop();
  return status;
}
