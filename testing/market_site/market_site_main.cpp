// The market site on its own (the demo and manual runs): prints its base
// address, serves until stdin closes.
#include <cstdio>
#include <iostream>
#include <string>

#include "market_site.h"

int main() {
  market_site::MarketSite site;
  if (site.Start() < 0) {
    std::fprintf(stderr, "market_site: cannot listen on 127.0.0.1\n");
    return 1;
  }
  std::printf("%s\n", site.Base().c_str());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {}
  site.Stop();
  return 0;
}
