#include "socks4.h"

#include <cstring>

namespace udp {
namespace socks4 {
namespace {

std::vector<uint8_t> RequestHead(uint16_t port, const uint8_t address[4]) {
  return {0x04, 0x01, uint8_t(port >> 8), uint8_t(port), address[0], address[1], address[2], address[3], 0x00};
}

}  // namespace

std::vector<uint8_t> ConnectRequest(in_addr address, uint16_t port) {
  uint8_t bytes[4];
  std::memcpy(bytes, &address.s_addr, 4);  // already in network order
  return RequestHead(port, bytes);
}

std::vector<uint8_t> ConnectRequest4a(const std::string& host, uint16_t port) {
  static const uint8_t kNameFollows[4] = {0, 0, 0, 1};
  std::vector<uint8_t> out = RequestHead(port, kNameFollows);
  out.insert(out.end(), host.begin(), host.end());
  out.push_back(0x00);
  return out;
}

bool ParseConnectReply(const uint8_t* data, size_t length) {
  return length == kReplyLength && data[0] == 0x00 && data[1] == kGranted;
}

}  // namespace socks4
}  // namespace udp
