// The search service simulator as a program, for the demo and the tests that
// run the whole program: it starts on 127.0.0.1, prints one line
//   SEARCHSIM READY dispatch_port=<port> search_url=<url>
// runs until its standard input ends, then prints one line per request it
// received ("SEARCHSIM REQUEST <transport> <service> <command>") and per
// error ("SEARCHSIM ERROR <text>"), and ends (exit code 0).
#include <cstdio>
#include <string>

#include "search_sim.h"

int main() {
  searchsim::SearchServiceSim sim;
  if (!sim.Start()) {
    std::fprintf(stderr, "search_sim: cannot start on 127.0.0.1\n");
    return 1;
  }
  std::printf("SEARCHSIM READY dispatch_port=%u search_url=%s\n", static_cast<unsigned>(sim.DispatchPort()),
              sim.SearchUrl().c_str());
  std::fflush(stdout);
  char buffer[256];
  while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
  }
  for (const searchsim::Received& r : sim.Requests()) {
    std::printf("SEARCHSIM REQUEST %s %u 0x%02x\n", r.transport.c_str(), static_cast<unsigned>(r.service),
                r.packet.empty() ? 0u : static_cast<unsigned>(r.packet[0]));
  }
  for (const std::string& e : sim.Errors()) std::printf("SEARCHSIM ERROR %s\n", e.c_str());
  std::fflush(stdout);
  sim.Stop();
  return 0;
}
