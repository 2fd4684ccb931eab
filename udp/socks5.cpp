#include "socks5.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstring>

namespace udp {
namespace socks5 {
namespace {

std::string DottedText(const uint8_t* p) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, p, text, sizeof text);
  return text;
}

uint16_t GetBe16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

}  // namespace

std::vector<uint8_t> Greeting() { return {0x05, 0x02, 0x00, 0x02}; }

MethodReply ParseMethodReply(const uint8_t* data, size_t length) {
  MethodReply reply;
  if (length != 2 || data[0] != 0x05) return reply;
  reply.ok = true;
  reply.method = data[1] == 0x00   ? Method::kNone
                 : data[1] == 0x02 ? Method::kUserPassword
                                   : Method::kRefused;
  return reply;
}

std::vector<uint8_t> UserPasswordRequest(const std::string& user, const std::string& password) {
  std::vector<uint8_t> out{0x01};
  size_t u = user.size() > 255 ? 255 : user.size();
  size_t p = password.size() > 255 ? 255 : password.size();
  out.push_back(uint8_t(u));
  out.insert(out.end(), user.begin(), user.begin() + u);
  out.push_back(uint8_t(p));
  out.insert(out.end(), password.begin(), password.begin() + p);
  return out;
}

bool ParseUserPasswordReply(const uint8_t* data, size_t length) {
  return length == 2 && data[0] == 0x01 && data[1] == 0x00;
}

std::vector<uint8_t> AssociateRequest(uint16_t localPort) {
  return {0x05, 0x03, 0x00, kAtypIPv4, 0, 0, 0, 0, uint8_t(localPort >> 8), uint8_t(localPort)};
}

size_t AssociateReplyLength(const uint8_t* data, size_t length) {
  if (length < 5) return 0;
  switch (data[3]) {
    case kAtypIPv4: return 10;
    case kAtypName: return 7 + size_t(data[4]);
    case kAtypIPv6: return 22;
    default: return 5;  // unknown: nothing more is worth reading
  }
}

AssociateReply ParseAssociateReply(const uint8_t* data, size_t length) {
  AssociateReply reply;
  if (length < 10 || data[0] != 0x05 || data[1] != 0x00 || data[2] != 0x00) return reply;
  reply.atyp = data[3];
  if (reply.atyp == kAtypIPv4) {
    reply.relayHost = DottedText(data + 4);
    reply.relayPort = GetBe16(data + 8);
    reply.ok = true;
  } else if (reply.atyp == kAtypName) {
    size_t n = data[4];
    if (n == 0 || length < 7 + n) return reply;
    reply.relayHost.assign(reinterpret_cast<const char*>(data + 5), n);
    reply.relayPort = GetBe16(data + 5 + n);
    reply.ok = true;
  }
  // IPv6 relays and unknown address types are failures.
  return reply;
}

std::vector<uint8_t> UdpRequestHeader(const std::string& destination, uint16_t port) {
  std::vector<uint8_t> out{0x00, 0x00, 0x00};
  if (destination.empty()) return {};
  if (std::isalpha(static_cast<unsigned char>(destination[0]))) {
    if (destination.size() > 255) return {};
    out.push_back(kAtypName);
    out.push_back(uint8_t(destination.size()));
    out.insert(out.end(), destination.begin(), destination.end());
  } else {
    in_addr addr{};
    if (inet_pton(AF_INET, destination.c_str(), &addr) != 1) return {};
    out.push_back(kAtypIPv4);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&addr.s_addr);
    out.insert(out.end(), b, b + 4);
  }
  out.push_back(uint8_t(port >> 8));
  out.push_back(uint8_t(port));
  return out;
}

UdpDatagram ParseUdpDatagram(const uint8_t* data, size_t length) {
  UdpDatagram result;
  if (data == nullptr || length <= 7) return result;
  switch (data[3]) {
    case kAtypIPv4:
      result.headerLength = 10;
      break;
    case kAtypName:
      result.headerLength = 7 + size_t(data[4]);
      break;
    case kAtypIPv6:
      result.headerLength = 22;
      break;
    default:
      return result;
  }
  // A header longer than what arrived is a broken datagram.
  if (result.headerLength > length) return result;
  if (data[3] == kAtypIPv4) {
    result.senderIp = DottedText(data + 4);
    result.senderPort = GetBe16(data + 8);
  }
  result.ok = true;
  return result;
}

}  // namespace socks5
}  // namespace udp
