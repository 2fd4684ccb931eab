// The market site on its own (the demo and manual runs): prints
// "PHONEDECK_MARKET_HOST=<base>" and "PHONEDECK_COMPLETION_HOST=<base>",
// then serves until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>

#include "market_site.h"

int main() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // the server's threads inherit the mask
  market_site::MarketSite site;
  if (site.Start() < 0) {
    std::fprintf(stderr, "market_site: cannot listen on 127.0.0.1\n");
    return 1;
  }
  std::printf("PHONEDECK_MARKET_HOST=%s\nPHONEDECK_COMPLETION_HOST=%s\n", site.Base().c_str(), site.Base().c_str());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  site.Stop();
  return 0;
}
