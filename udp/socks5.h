// SOCKS5 (RFC 1928) and its user/password sub-negotiation (RFC 1929):
// the messages udp exchanges with a proxy, as pure encoders and parsers.
#ifndef PHONEDECK_UDP_SOCKS5_H
#define PHONEDECK_UDP_SOCKS5_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace udp {
namespace socks5 {

constexpr uint8_t kAtypIPv4 = 0x01;
constexpr uint8_t kAtypName = 0x03;
constexpr uint8_t kAtypIPv6 = 0x04;
// Largest relay header: RSV, FRAG, ATYP, length byte, 255 name bytes, port.
constexpr size_t kMaxUdpHeader = 4 + 1 + 255 + 2;

// Greeting: version 5, two methods, no authentication and user/password.
std::vector<uint8_t> Greeting();

enum class Method { kNone, kUserPassword, kRefused };
struct MethodReply {
  bool ok = false;
  Method method = Method::kRefused;
};
MethodReply ParseMethodReply(const uint8_t* data, size_t length);  // needs 2 bytes

// 0x01, user length, user, password length, password (each cut to 255).
std::vector<uint8_t> UserPasswordRequest(const std::string& user, const std::string& password);
bool ParseUserPasswordReply(const uint8_t* data, size_t length);  // true: accepted

// UDP ASSOCIATE for 0.0.0.0 and the local port (0 when not known yet).
std::vector<uint8_t> AssociateRequest(uint16_t localPort);

// The reply of UDP ASSOCIATE. Known tells how many bytes make the whole
// reply once the first five arrived (0 while fewer are in hand).
size_t AssociateReplyLength(const uint8_t* data, size_t length);
struct AssociateReply {
  bool ok = false;
  uint8_t atyp = 0;
  std::string relayHost;  // dotted text or name
  uint16_t relayPort = 0;
};
AssociateReply ParseAssociateReply(const uint8_t* data, size_t length);

// The relay header in front of every datagram sent through the relay:
// ATYP 0x03 with the name when the destination starts with a letter, else
// ATYP 0x01 with the IPv4 address. Empty when the destination is unusable.
std::vector<uint8_t> UdpRequestHeader(const std::string& destination, uint16_t port);

struct UdpDatagram {
  bool ok = false;  // false: truncated header or unknown address type
  std::string senderIp;  // dotted text for ATYP 0x01, empty otherwise
  uint16_t senderPort = 0;
  size_t headerLength = 0;  // the datagram starts here
};
UdpDatagram ParseUdpDatagram(const uint8_t* data, size_t length);

}  // namespace socks5
}  // namespace udp

#endif  // PHONEDECK_UDP_SOCKS5_H
