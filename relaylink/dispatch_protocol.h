// The two exchanges with the dispatch server (the payloads after udp's
// header; little-endian), as pure encoders and parsers.
#ifndef PHONEDECK_RELAYLINK_DISPATCH_PROTOCOL_H
#define PHONEDECK_RELAYLINK_DISPATCH_PROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace relaylink {

struct DispatchEntry {
  uint8_t type = 0;
  uint16_t port0 = 0, port1 = 0, port2 = 0;
  std::string host;
};

std::vector<uint8_t> ServerListRequest();             // 0x02 0x00
std::vector<uint8_t> ServerAddrRequest(uint8_t type);  // 0x04 0x00 type

// A 2-byte length and that many bytes; returns 2 + L, or 0 when the length
// field or the text does not fit in the bytes left.
size_t ReadLengthString(size_t bytesLeft, const uint8_t* data, std::string* out);

struct ServerListResult {
  bool ok = false;
  std::vector<DispatchEntry> entries;
};
// Code, reserved, count n, then n entries of type, three ports, host.
ServerListResult ParseServerList(const uint8_t* data, size_t length);

struct ServerAddrResult {
  bool ok = false;  // false: shorter than 11 bytes or the host passes the end
  DispatchEntry entry;
};
// Code, reserved, type, three ports, host length, host.
ServerAddrResult ParseServerAddrReply(const uint8_t* data, size_t length);

// Encoders of the replies, for the dispatch simulator and the tests.
std::vector<uint8_t> EncodeServerList(const std::vector<DispatchEntry>& entries);
std::vector<uint8_t> EncodeServerAddrReply(const DispatchEntry& entry);

}  // namespace relaylink

#endif  // PHONEDECK_RELAYLINK_DISPATCH_PROTOCOL_H
