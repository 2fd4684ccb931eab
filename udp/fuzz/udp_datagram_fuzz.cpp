// Fuzz target: received datagrams, reply fragments, SOCKS5 relay and
// association replies and SOCKS4 connect replies, as they come off the wire.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "datagram.h"
#include "socks4.h"
#include "socks5.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  udp::ParsedDatagram parsed = udp::ParseDatagram(data, size);
  if (parsed.ok) {
    udp::FragmentSet set;
    set.Add(parsed.header);
    (void)set.Complete();
  }
  // The input cut into up to four fragments of one reply.
  std::vector<std::pair<const uint8_t*, size_t>> pieces;
  size_t step = size / 4 + 1;
  for (size_t offset = 0; offset < size; offset += step) {
    pieces.emplace_back(data + offset, size - offset < step ? size - offset : step);
  }
  uint8_t out[udp::kMaxMessage];
  udp::JoinFragments(pieces, out, size % sizeof out);

  udp::socks5::UdpDatagram relayed = udp::socks5::ParseUdpDatagram(data, size);
  if (relayed.ok && relayed.headerLength > size) __builtin_trap();
  size_t want = udp::socks5::AssociateReplyLength(data, size);
  (void)want;
  udp::socks5::ParseAssociateReply(data, size);
  udp::socks5::ParseMethodReply(data, size);
  udp::socks4::ParseConnectReply(data, size);
  return 0;
}
