// Where the search service is: the dispatch server that the start-up probe
// asks (UDP, through relaylink) and the HTTP search service of the
// fallback. Each is read from the environment at each use, with the
// service's own defaults; the defaults stay on this machine.
//   PHONEDECK_DS_DISPATCH_HOST   default "127.0.0.1"
//   PHONEDECK_DS_DISPATCH_PORTS  default "3000,4000" (first try, second try)
//   PHONEDECK_DS_SEARCH_URL      default "http://127.0.0.1/drvsearch.ashx"
//   PHONEDECK_DS_PROBE_WAIT_MS   default 5000: how long DSInit waits for the probe
#ifndef KITORACLE_TRANSPORT_ENDPOINTS_H_
#define KITORACLE_TRANSPORT_ENDPOINTS_H_

#include <string>

namespace kitoracle {

std::string DispatchHost();
void DispatchPorts(int* first, int* second);
std::string SearchUrl();
int ProbeWaitMs(int timeoutSeconds);

}  // namespace kitoracle

#endif  // KITORACLE_TRANSPORT_ENDPOINTS_H_
