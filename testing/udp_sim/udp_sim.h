// Loopback simulators for the udp and relaylink tests: a udp peer that
// answers requests and sends remote requests, a dispatch server and a
// SOCKS5 server with UDP ASSOCIATE and user/password authentication.
// Each binds 127.0.0.1 on a free port and counts what it did not expect.
#ifndef PHONEDECK_TESTING_UDP_SIM_H
#define PHONEDECK_TESTING_UDP_SIM_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "relaylink/dispatch_protocol.h"

namespace udpsim {

// A UDP socket on 127.0.0.1 with a thread that hands each datagram over.
class LoopbackUdp {
 public:
  using Handler = std::function<void(const uint8_t* data, size_t len, const std::string& ip, uint16_t port)>;
  ~LoopbackUdp();
  bool Start(Handler handler, uint16_t port = 0);
  void Stop();
  uint16_t Port() const { return port_; }
  int SendTo(const void* data, size_t len, const std::string& ip, uint16_t port);

 private:
  int fd_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;
};

// How the peer cuts and disturbs its replies.
struct ReplyShape {
  size_t fragmentPayload = 1489;  // bytes per reply fragment
  bool reverseOrder = false;
  bool duplicateFirst = false;
  bool dropLast = false;
  bool cipher = false;      // flag 0x04 and the datagram cipher
  bool withCrc = false;     // a CRC over the plain payload
  bool corruptCrc = false;  // a CRC that does not match
  bool silentOnEmpty = false;  // an empty answer sends nothing (a lost reply, or a request without one)
};

// A udp peer: joins the fragments of each request and answers it with
// answer(payload) under the same request id.
class UdpPeerSim {
 public:
  using Answer = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& payload)>;
  bool Start(Answer answer);
  void Stop() { udp_.Stop(); }
  uint16_t Port() const { return udp_.Port(); }
  void SetShape(const ReplyShape& shape);
  // Sends one datagram with a header of its own (a remote request).
  int SendRaw(const std::vector<uint8_t>& datagram, const std::string& ip, uint16_t port);
  int SendRemoteRequest(const std::vector<uint8_t>& payload, uint32_t requestId, const std::string& ip,
                        uint16_t port);
  size_t Requests() const { return requests_; }
  size_t Malformed() const { return malformed_; }
  std::vector<std::vector<uint8_t>> RequestPayloads();
  std::string LastSenderIp();

 private:
  void OnDatagram(const uint8_t* data, size_t len, const std::string& ip, uint16_t port);
  LoopbackUdp udp_;
  Answer answer_;
  std::mutex mutex_;  // guards shape_, payloads_, lastIp_
  ReplyShape shape_;
  std::vector<std::vector<uint8_t>> payloads_;
  std::string lastIp_;
  std::map<uint32_t, std::map<uint8_t, std::vector<uint8_t>>> partial_;  // by request id, then index
  std::atomic<size_t> requests_{0};
  std::atomic<size_t> malformed_{0};
};

// The dispatch server: a server list and the address of each type.
class DispatchSim {
 public:
  // entries make the server list; addrOnly are answered only when asked by type.
  bool Start(std::vector<relaylink::DispatchEntry> entries, std::vector<relaylink::DispatchEntry> addrOnly = {});
  void Stop() { udp_.Stop(); }
  uint16_t Port() const { return udp_.Port(); }
  size_t ListRequests() const { return listRequests_; }
  size_t AddrRequests() const { return addrRequests_; }
  size_t Malformed() const { return malformed_; }
  void SetSilent(bool silent) { silent_ = silent; }
  // Replaces the reply to the next requests with these raw payload bytes.
  void SetRawReply(std::vector<uint8_t> payload);

 private:
  void OnDatagram(const uint8_t* data, size_t len, const std::string& ip, uint16_t port);
  LoopbackUdp udp_;
  std::mutex mutex_;  // guards entries_ and rawReply_
  std::vector<relaylink::DispatchEntry> entries_;
  std::vector<relaylink::DispatchEntry> addrOnly_;
  std::vector<uint8_t> rawReply_;
  std::atomic<bool> silent_{false};
  std::atomic<size_t> listRequests_{0}, addrRequests_{0}, malformed_{0};
};

// A SOCKS5 server on TCP with a UDP relay per association. A client may
// also open with a SOCKS4 or SOCKS4a CONNECT (version byte 4) instead of the
// SOCKS5 method negotiation; the UDP ASSOCIATE then follows on the same
// connection.
class Socks5Sim {
 public:
  ~Socks5Sim();
  // With a user, only user/password (0x02) is offered and checked.
  bool Start(const std::string& user = "", const std::string& password = "");
  void Stop();
  // The reply code to a SOCKS4 CONNECT (0x5A grants it; anything else
  // refuses it and ends the connection).
  void SetSocks4Reply(uint8_t code) { socks4Reply_ = code; }
  uint16_t Port() const { return port_; }
  size_t Associations() const { return associations_; }
  size_t RelayedOut() const { return relayedOut_; }
  size_t RelayedIn() const { return relayedIn_; }
  size_t AuthFailures() const { return authFailures_; }
  size_t Socks4Refusals() const { return socks4Refusals_; }
  size_t Malformed() const { return malformed_; }
  std::vector<uint8_t> LastAuthRequest();
  std::vector<uint8_t> LastRelayHeader();
  // Every byte of the last SOCKS4 or SOCKS4a CONNECT, as it came.
  std::vector<uint8_t> LastSocks4Request();

 private:
  void AcceptLoop();
  void Serve(int client);
  // The opening of a session after its first two bytes; false ends it.
  bool Socks5Negotiation(int client, const uint8_t head[2]);
  bool Socks4Connect(int client, const uint8_t head[2]);
  std::string user_, password_;
  std::atomic<uint8_t> socks4Reply_{0x5A};
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread acceptThread_;
  std::mutex mutex_;  // guards sessions_, lastAuth_, lastHeader_, lastSocks4_
  std::vector<std::thread> sessions_;
  std::vector<uint8_t> lastAuth_, lastHeader_, lastSocks4_;
  std::atomic<size_t> associations_{0}, relayedOut_{0}, relayedIn_{0}, authFailures_{0}, socks4Refusals_{0},
      malformed_{0};
};

}  // namespace udpsim

#endif  // PHONEDECK_TESTING_UDP_SIM_H
