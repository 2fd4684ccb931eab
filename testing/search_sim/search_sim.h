// A loopback simulator of the driver search service, speaking both ways the
// client reaches it: datagrams through the simulated dispatch server (one
// simulated udp peer per service type, so the service type of a request is
// known) and HTTP POSTs to /drvsearch.ashx (the 11-byte package header in
// front of both bodies, the ServerID header naming the service type). It
// dispatches on service type and command, answers from a fixture table
// (search_fixture.h) and is strict: an unknown command, a short packet, a
// trailing byte, a bad header or a request on the wrong service is recorded
// as an error and not answered.
//
// The same HTTP server hands out the fixture's files (GET and HEAD under
// /files/, with a Content-Disposition naming the file) and redirects
// (/redirect/<name> to /files/<name>), all on 127.0.0.1.
//
// Threading: requests arrive on the udp peers' threads and the HTTP
// server's threads; mutex_ guards the records, the errors and the injected
// faults.
#ifndef PHONEDECK_TESTING_SEARCH_SIM_H
#define PHONEDECK_TESTING_SEARCH_SIM_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search_fixture.h"
#include "udp_sim.h"

namespace httplib {
class Server;
}

namespace searchsim {

using Bytes = std::vector<uint8_t>;

struct Received {
  std::string transport;  // "udp" or "http"
  uint8_t service = 0;
  Bytes packet;
};

struct HttpHeaders {
  std::string contentLength, serverId, unionId, hostmark, clientVersion;
};

class SearchServiceSim {
 public:
  SearchServiceSim();
  ~SearchServiceSim();
  bool Start();
  void Stop();

  uint16_t DispatchPort() const { return dispatch_.Port(); }
  uint16_t HttpPort() const { return httpPort_; }
  std::string SearchUrl() const;                           // http://127.0.0.1:<port>/drvsearch.ashx
  std::string FileUrl(const std::string& name) const;      // .../files/<name>
  std::string RedirectUrl(const std::string& name) const;  // .../redirect/<name>
  // Points the client at this simulator (PHONEDECK_DS_* variables).
  void ExportEnvironment(int probeWaitMs = 5000) const;

  const Fixture& fixture() const { return fixture_; }

  std::vector<Received> Requests();
  std::vector<std::string> Errors();
  HttpHeaders LastHttpHeaders();
  size_t FileRequests() const { return fileRequests_; }
  void Clear();

  // Faults: the next `count` UDP requests get no reply (a lost datagram);
  // the next request with `command` is answered with `reply` as it stands.
  void DropUdp(int count) { dropUdp_ = count; }
  void SetRawReply(uint8_t command, Bytes reply);
  // The dispatch server stops answering: the probe waits out relaylink's
  // time-outs on both ports.
  void SetDispatchSilent(bool silent) { dispatch_.SetSilent(silent); }
  // The dispatch server answers with an empty server list: the probe fails
  // at once.
  void SetDispatchEmpty(bool empty);

  // Decodes one request strictly and builds its answer; false (with a
  // recorded error) for anything the service would not accept. An empty
  // answer with true means a request without reply (0x41).
  bool Answer(uint8_t service, const Bytes& packet, Bytes* reply);

 private:
  void Error(const std::string& text);
  bool StartHttp();

  Fixture fixture_;
  udpsim::DispatchSim dispatch_;
  std::map<uint8_t, std::unique_ptr<udpsim::UdpPeerSim>> peers_;
  std::unique_ptr<httplib::Server> http_;
  std::thread httpThread_;
  uint16_t httpPort_ = 0;
  std::mutex mutex_;  // guards requests_, errors_, rawReplies_, lastHeaders_
  std::vector<Received> requests_;
  std::vector<std::string> errors_;
  std::map<uint8_t, Bytes> rawReplies_;
  HttpHeaders lastHeaders_;
  std::atomic<int> dropUdp_{0};
  std::atomic<size_t> fileRequests_{0};
};

}  // namespace searchsim

#endif  // PHONEDECK_TESTING_SEARCH_SIM_H
