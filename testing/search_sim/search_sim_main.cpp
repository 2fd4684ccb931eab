// search_service_sim: the search service simulator as a program, for the
// demo and for manual runs. Prints the environment that points the client
// at it, one VARIABLE=value per line, then serves until SIGINT, SIGTERM or
// SIGHUP. Exits 1 when it recorded an error.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "search_sim.h"

int main() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // before any thread starts: only sigwait takes them

  searchsim::SearchServiceSim sim;
  if (!sim.Start()) {
    std::fprintf(stderr, "search_service_sim: cannot start on 127.0.0.1\n");
    return 2;
  }
  std::printf("PHONEDECK_DS_DISPATCH_HOST=127.0.0.1\n");
  std::printf("PHONEDECK_DS_DISPATCH_PORTS=%u,%u\n", sim.DispatchPort(), sim.DispatchPort());
  std::printf("PHONEDECK_DS_SEARCH_URL=%s\n", sim.SearchUrl().c_str());
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stop, &signal);

  int status = 0;
  for (const std::string& error : sim.Errors()) {
    std::fprintf(stderr, "search_service_sim: %s\n", error.c_str());
    status = 1;
  }
  sim.Stop();
  return status;
}
