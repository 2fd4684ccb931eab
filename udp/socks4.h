// SOCKS4 and SOCKS4a CONNECT, as udp sends them on a proxy's control
// connection before the SOCKS5 UDP ASSOCIATE that follows on the same
// connection: pure encoders and the test of the proxy's reply. The CONNECT
// names the proxy's own address and port; the user id is always empty.
#ifndef PHONEDECK_UDP_SOCKS4_H
#define PHONEDECK_UDP_SOCKS4_H

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace udp {
namespace socks4 {

constexpr size_t kReplyLength = 8;
constexpr uint8_t kGranted = 0x5A;

// 0x04, 0x01, the port (network order), the IPv4 address, an empty user
// id, 0x00: 9 bytes.
std::vector<uint8_t> ConnectRequest(in_addr address, uint16_t port);
// 0x04, 0x01, the port, 0.0.0.1, an empty user id, 0x00, the host text,
// 0x00: 10 bytes and the text.
std::vector<uint8_t> ConnectRequest4a(const std::string& host, uint16_t port);
// True for exactly 8 bytes with byte 0 = 0x00 and byte 1 = 0x5A (granted).
bool ParseConnectReply(const uint8_t* data, size_t length);

}  // namespace socks4
}  // namespace udp

#endif  // PHONEDECK_UDP_SOCKS4_H
